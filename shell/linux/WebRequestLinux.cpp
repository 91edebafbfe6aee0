// The HTTP GET through libcurl, shaped like the Windows one: no proxy, User-Agent and Accept "*/*",
// the reply taken in pieces of up to 1024 bytes and cut at the bound.
#include "shell/WebRequest.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <new>

namespace {

// A host that accepts the connection and then stalls must not freeze the editor for ever.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kStallSeconds = 30;  // abort when less than 1 byte/s arrives for this long

// The libcurl functions used here. libcurl is opened at the first request instead of being linked:
// loading it with the thirty libraries it needs costs about 10 ms of CPU, which every host that scans
// or opens the plug-in would pay, while most instances never make a request.
struct CurlApi {
  CURLcode (*globalInit)(long flags);
  CURL* (*easyInit)();
  void (*easyCleanup)(CURL* handle);
  CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...);
  CURLcode (*easyPerform)(CURL* handle);
  curl_slist* (*slistAppend)(curl_slist* list, const char* text);
  void (*slistFreeAll)(curl_slist* list);
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Loaded and initialized once for the process, and kept; null when libcurl cannot be had (then no
// host can be reached).
const CurlApi* Curl() {
  static const CurlApi* const api = []() -> const CurlApi* {
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) library = dlopen("libcurl-gnutls.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    static CurlApi loaded;
    const bool complete =
        Resolve(library, "curl_global_init", loaded.globalInit) &&
        Resolve(library, "curl_easy_init", loaded.easyInit) &&
        Resolve(library, "curl_easy_cleanup", loaded.easyCleanup) &&
        Resolve(library, "curl_easy_setopt", loaded.easySetopt) &&
        Resolve(library, "curl_easy_perform", loaded.easyPerform) &&
        Resolve(library, "curl_slist_append", loaded.slistAppend) &&
        Resolve(library, "curl_slist_free_all", loaded.slistFreeAll);
    if (!complete || loaded.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    return &loaded;
  }();
  return api;
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
  explicit EasyHandle(const CurlApi& api) : mApi(api), mHandle(api.easyInit()) {}
  ~EasyHandle() {
    if (mHandle) mApi.easyCleanup(mHandle);
    if (mHeaders) mApi.slistFreeAll(mHeaders);
  }
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;

  CURL* get() const { return mHandle; }
  bool AddHeader(const char* header) {
    curl_slist* grown = mApi.slistAppend(mHeaders, header);
    if (!grown) return false;
    mHeaders = grown;
    return true;
  }
  curl_slist* Headers() const { return mHeaders; }

 private:
  const CurlApi& mApi;
  CURL* mHandle;
  curl_slist* mHeaders = nullptr;
};

}  // namespace

WebReply FetchWebObject(const WebRequest& request) noexcept {
  WebReply reply;
  if (request.port < 1 || request.port > 65535 || request.maxReplyBytes == 0) return reply;
  try {
    const CurlApi* api = Curl();
    if (!api) return reply;
    EasyHandle easy(*api);
    CURL* curl = easy.get();
    if (!curl || !easy.AddHeader("Accept: */*")) return reply;
    const std::string url = "http://" + request.host + ":" + std::to_string(request.port) + "/" + request.object;
    Sink sink{&reply.text, request.maxReplyBytes};

    api->easySetopt(curl, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    api->easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    api->easySetopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif
    api->easySetopt(curl, CURLOPT_PROXY, "");  // direct access, whatever the environment says
    api->easySetopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
    api->easySetopt(curl, CURLOPT_HTTPHEADER, easy.Headers());
    api->easySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);  // as WinINet does by default
    api->easySetopt(curl, CURLOPT_MAXREDIRS, 5L);
    api->easySetopt(curl, CURLOPT_NOSIGNAL, 1L);  // a plug-in leaves the host's signals alone
    api->easySetopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    api->easySetopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    api->easySetopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    api->easySetopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kWebReadPiece));
    api->easySetopt(curl, CURLOPT_WRITEFUNCTION, AppendPiece);
    api->easySetopt(curl, CURLOPT_WRITEDATA, &sink);
    // The outcome does not matter: whatever arrived before a failure or the cut is the reply.
    api->easyPerform(curl);
    reply.raised = sink.raised;
  } catch (...) {
    reply.raised = true;
  }
  return reply;
}
