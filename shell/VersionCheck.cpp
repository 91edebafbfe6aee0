#include "shell/VersionCheck.h"

#include <climits>
#include <cstdlib>

#include "editor/IGraphics.h"
#include "resources/Version.h"

namespace {

// Every fixed text is a literal, so that the failure messages need no memory to be shown.
constexpr const char* kCaption = "Check Online for Update";
constexpr const char* kContactError = "An error occurred while contacting " SARN_MAKER_WEB_DOMAIN ".";
constexpr const char* kInvalidCall = "Invalid call to " SARN_MAKER_WEB_DOMAIN ".";
constexpr const char* kUpToDate = "Your version is up to date.";
constexpr const char* kNewVersionCaption = "New Version of " "Sarn" " Detected";
constexpr const char* kNewVersionHead = "A new version of " "Sarn" " is available.\n\n"
                                        "\tYour version: \t" SARN_VERSION_TEXT "\n"
                                        "\tNew version: \t";
constexpr const char* kNewVersionTail = "\n\nDo you want to go to " SARN_MAKER_WEB_ADDRESS " to get the new version?";
constexpr const char* kCutMark = "...";
constexpr const char* kNoWebLibrary =
    "The update check needs libcurl (libcurl.so.4), which is not installed on this system.";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHostCharacter(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
}

// The port part of an override: 1..65535 written in decimal digits only.
int ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return 0;
  int port = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return 0;
    port = port * 10 + (c - '0');
  }
  return port <= 65535 ? port : 0;
}

void Show(IGraphics* editor, const char* text, const char* caption, int type) {
  if (editor) editor->ShowMessage(text, caption, type);
}

int ReportUnsafe(const WebReply& reply, IGraphics* editor) {
  if (reply.unavailable) {
    Show(editor, kNoWebLibrary, kCaption, IGraphics::kMessageError);
    return kUpdateUnavailable;
  }
  if (reply.raised) {
    Show(editor, kContactError, kCaption, IGraphics::kMessageError);
    return kUpdateRaised;
  }
  if (reply.text.empty()) {
    Show(editor, kContactError, kCaption, IGraphics::kMessageError);
    return kUpdateNoReply;
  }
  if (reply.text.find('<') != std::string::npos) {  // an HTML page, not a number
    Show(editor, kInvalidCall, kCaption, IGraphics::kMessageError);
    return kUpdateNotANumber;
  }
  if (ReadLeadingInteger(reply.text) < kFirstNewerVersion) {
    Show(editor, kUpToDate, kCaption, IGraphics::kMessageInformation);
    return kUpdateReplyUnderstood;
  }
  if (!editor) return kUpdateReplyUnderstood;
  const std::string question = kNewVersionHead + BuildVersionText(reply.text) + kNewVersionTail;
  if (editor->ShowMessage(question.c_str(), kNewVersionCaption, IGraphics::kMessageYesNo) != IGraphics::kAnswerNo) {
    editor->OpenWebAddress(kMakerDownloadPage, nullptr, nullptr, nullptr);
  }
  return kUpdateReplyUnderstood;
}

}  // namespace

UpdateServer ResolveUpdateServer(const char* override) {
  UpdateServer server;
  if (!override || !override[0]) {
    server.valid = true;
    server.host = kMakerWebHost;
    server.port = kMakerWebPort;
    return server;
  }
  const std::string text(override);
  const size_t colon = text.find(':');
  server.host = text.substr(0, colon);
  server.port = colon == std::string::npos ? kMakerWebPort : ParsePort(text.substr(colon + 1));
  bool plainHost = !server.host.empty();
  for (char c : server.host) plainHost = plainHost && IsHostCharacter(c);
  server.valid = plainHost && server.port != 0;
  return server;
}

std::string BuildVersionText(const std::string& reply) {
  std::string version;
  if (reply.size() > 0) version += reply[0];
  version += '.';
  if (reply.size() > 1) version += reply[1];
  version += '.';
  const size_t restFrom = reply.size() > 2 && reply[2] == '0' ? 3 : 2;
  if (reply.size() > restFrom) {
    const size_t room = kMaxShownVersionLength - version.size();
    const size_t restLength = reply.size() - restFrom;
    if (restLength <= room) {
      version.append(reply, restFrom, restLength);
    } else {
      const size_t markLength = std::char_traits<char>::length(kCutMark);
      version.append(reply, restFrom, room - markLength);
      version += kCutMark;
    }
  }
  return version;
}

int ReportVersionReply(const WebReply& reply, IGraphics* editor) noexcept {
  try {
    return ReportUnsafe(reply, editor);
  } catch (...) {
    try {
      Show(editor, kContactError, kCaption, IGraphics::kMessageError);
    } catch (...) {  // the editor itself failed; there is nobody left to tell
    }
    return kUpdateRaised;
  }
}

int CheckForUpdate(IGraphics* editor, const std::atomic<bool>* cancel) noexcept {
  WebReply reply;
  try {
    const UpdateServer server = ResolveUpdateServer(std::getenv(kUpdateServerVariable));
    if (server.valid) {
      WebRequest request;
      request.host = server.host;
      request.port = server.port;
      request.object = kVersionQuery;
      request.agent = kVersionQueryAgent;
      request.maxReplyBytes = kMaxVersionReplyBytes;
      request.cancel = cancel;
      reply = FetchWebObject(request);
    }
  } catch (...) {
    reply.raised = true;
  }
  if (cancel && cancel->load()) return kUpdateNoReply;  // nobody is there to be told
  return ReportVersionReply(reply, editor);
}
