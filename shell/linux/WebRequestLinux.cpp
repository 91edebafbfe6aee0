// The HTTP GET through libcurl, shaped like the Windows one: no proxy, User-Agent and Accept "*/*",
// the reply taken in pieces of up to 1024 bytes and cut at the bound.
#include "shell/WebRequest.h"

#include <curl/curl.h>

#include <mutex>
#include <new>

namespace {

// A host that accepts the connection and then stalls must not freeze the editor for ever.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kStallSeconds = 30;  // abort when less than 1 byte/s arrives for this long

bool GlobalInitDone() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

struct Sink {
  std::string* text;
  size_t maxBytes;
  bool raised = false;
};

// Returning less than offered aborts the transfer: at the bound, or when the text cannot grow.
size_t AppendPiece(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const size_t offered = size * count;
  const size_t room = sink.maxBytes - sink.text->size();
  const size_t taken = offered < room ? offered : room;
  try {
    sink.text->append(data, taken);
  } catch (...) {  // no exception may pass through libcurl
    sink.raised = true;
    return 0;
  }
  const bool full = sink.text->size() >= sink.maxBytes;
  return full ? 0 : offered;
}

class EasyHandle {
 public:
  EasyHandle() : mHandle(curl_easy_init()) {}
  ~EasyHandle() {
    if (mHandle) curl_easy_cleanup(mHandle);
    if (mHeaders) curl_slist_free_all(mHeaders);
  }
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;

  CURL* get() const { return mHandle; }
  bool AddHeader(const char* header) {
    curl_slist* grown = curl_slist_append(mHeaders, header);
    if (!grown) return false;
    mHeaders = grown;
    return true;
  }
  curl_slist* Headers() const { return mHeaders; }

 private:
  CURL* mHandle;
  curl_slist* mHeaders = nullptr;
};

}  // namespace

WebReply FetchWebObject(const WebRequest& request) noexcept {
  WebReply reply;
  if (request.port < 1 || request.port > 65535 || request.maxReplyBytes == 0) return reply;
  try {
    if (!GlobalInitDone()) return reply;
    EasyHandle easy;
    CURL* curl = easy.get();
    if (!curl || !easy.AddHeader("Accept: */*")) return reply;
    const std::string url = "http://" + request.host + ":" + std::to_string(request.port) + "/" + request.object;
    Sink sink{&reply.text, request.maxReplyBytes};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct access, whatever the environment says
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, easy.Headers());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);  // as WinINet does by default
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // a plug-in leaves the host's signals alone
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kWebReadPiece));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendPiece);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    // The outcome does not matter: whatever arrived before a failure or the cut is the reply.
    curl_easy_perform(curl);
    reply.raised = sink.raised;
  } catch (...) {
    reply.raised = true;
  }
  return reply;
}
