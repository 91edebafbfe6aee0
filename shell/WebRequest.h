// One plain HTTP GET, as the version check needs it. The platform half (WinINet on Windows, libcurl
// elsewhere) is chosen at build time; both send the same request and read the reply the same way.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

struct WebRequest {
  std::string host;
  int port = 80;
  std::string object;  // path and query without the leading '/', e.g. "music/version/?file=sarn"
  std::string agent;   // sent as the User-Agent
  // The reply is read in pieces of up to kWebReadPiece bytes and never grows beyond this.
  size_t maxReplyBytes = 64 * 1024;
  // When set and true, the request ends as soon as it can (within about a second): the instance is
  // closing and nobody waits for the answer.
  const std::atomic<bool>* cancel = nullptr;
};

// Size of one read from the connection.
constexpr size_t kWebReadPiece = 1024;

struct WebReply {
  std::string text;     // what arrived before a read failed, delivered nothing or hit the bound
  bool raised = false;  // the exchange ran out of memory (or threw otherwise); text is incomplete
  bool unavailable = false;  // no request could be made: the system lacks the library for it
};

// Sends "GET /object" to host:port with the agent name and the accepted type "*/*", without a proxy,
// and reads the reply until a read fails, delivers 0 bytes or the bound is reached. A host that cannot
// be reached gives an empty text. Blocks the calling thread; never throws.
WebReply FetchWebObject(const WebRequest& request) noexcept;
