// The HTTP GET through WinINet: direct access (no proxy), an HTTP service connection, one request with
// the accepted type "*/*", and a read loop of pieces of up to 1024 bytes.
#include "shell/WebRequest.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>

namespace {

// Appends what the request delivers until a read fails, delivers nothing or the bound is reached.
void ReadReply(HINTERNET httpRequest, size_t maxBytes, std::string& text) {
  char piece[kWebReadPiece];
  while (text.size() < maxBytes) {
    const DWORD wanted = static_cast<DWORD>(std::min(sizeof(piece), maxBytes - text.size()));
    DWORD delivered = 0;
    if (!InternetReadFile(httpRequest, piece, wanted, &delivered) || delivered == 0) break;
    text.append(piece, delivered);
  }
}

}  // namespace

WebReply FetchWebObject(const WebRequest& request) noexcept {
  WebReply reply;
  if (request.port < 1 || request.port > 65535) return reply;
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET httpRequest = nullptr;
  try {
    session = InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (session) {
      connection = InternetConnectA(session, request.host.c_str(), static_cast<INTERNET_PORT>(request.port),
                                    nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    if (connection) {
      LPCSTR acceptTypes[] = {"*/*", nullptr};
      httpRequest = HttpOpenRequestA(connection, "GET", request.object.c_str(), nullptr, nullptr, acceptTypes, 0, 0);
    }
    if (httpRequest && HttpSendRequestA(httpRequest, nullptr, 0, nullptr, 0)) {
      ReadReply(httpRequest, request.maxReplyBytes, reply.text);
    }
  } catch (...) {
    reply.raised = true;
  }
  // Request, connection, session, in that order; a handle never opened goes in as absent.
  InternetCloseHandle(httpRequest);
  InternetCloseHandle(connection);
  InternetCloseHandle(session);
  return reply;
}
