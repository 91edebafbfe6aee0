// The HTTP GET through libcurl, shaped like the Windows one: no proxy, User-Agent and Accept "*/*",
// the reply taken in pieces of up to 1024 bytes and cut at the bound. libcurl is opened when the first
// request is made, not linked: it brings some forty libraries (TLS, Kerberos, LDAP, SSH) that a plug-in
// loaded by every scan of a host should not map for one rarely used menu item.
#include "shell/WebRequest.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <mutex>
#include <new>

namespace {

// Debian and its kin ship the same API built against GnuTLS under a second name.
constexpr const char* kCurlLibraryNames[] = {"libcurl.so.4", "libcurl-gnutls.so.4"};

// The few libcurl functions the request uses, looked up in the library opened by soname. The library
// stays loaded for the life of the process: curl_global_init must not run twice.
struct CurlLibrary {
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_setopt) easySetopt = nullptr;
  decltype(&curl_easy_perform) easyPerform = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  decltype(&curl_slist_append) slistAppend = nullptr;
  decltype(&curl_slist_free_all) slistFreeAll = nullptr;
  bool ready = false;
};

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

const CurlLibrary& Curl() {
  static CurlLibrary curl;
  static std::once_flag once;
  std::call_once(once, [] {
    void* library = nullptr;
    for (const char* name : kCurlLibraryNames) {
      if (!library) library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    }
    if (!library) return;
    const bool found = Find(library, "curl_global_init", curl.globalInit) &&
                       Find(library, "curl_easy_init", curl.easyInit) &&
                       Find(library, "curl_easy_setopt", curl.easySetopt) &&
                       Find(library, "curl_easy_perform", curl.easyPerform) &&
                       Find(library, "curl_easy_cleanup", curl.easyCleanup) &&
                       Find(library, "curl_slist_append", curl.slistAppend) &&
                       Find(library, "curl_slist_free_all", curl.slistFreeAll);
    curl.ready = found && curl.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  });
  return curl;
}

// A host that accepts the connection and then stalls must not freeze the editor for ever.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kStallSeconds = 30;  // abort when less than 1 byte/s arrives for this long

struct Sink {
  std::string* text;
  size_t maxBytes;
  const std::atomic<bool>* cancel;
  bool raised = false;
};

// Called by libcurl about once a second and on every piece; non-zero aborts the transfer.
int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const Sink& sink = *static_cast<const Sink*>(user);
  return sink.cancel && sink.cancel->load() ? 1 : 0;
}

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
  explicit EasyHandle(const CurlLibrary& curl) : mCurl(curl), mHandle(curl.easyInit()) {}
  ~EasyHandle() {
    if (mHandle) mCurl.easyCleanup(mHandle);
    if (mHeaders) mCurl.slistFreeAll(mHeaders);
  }
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;

  CURL* get() const { return mHandle; }
  bool AddHeader(const char* header) {
    curl_slist* grown = mCurl.slistAppend(mHeaders, header);
    if (!grown) return false;
    mHeaders = grown;
    return true;
  }
  curl_slist* Headers() const { return mHeaders; }

 private:
  const CurlLibrary& mCurl;
  CURL* mHandle;
  curl_slist* mHeaders = nullptr;
};

}  // namespace

WebReply FetchWebObject(const WebRequest& request) noexcept {
  WebReply reply;
  if (request.port < 1 || request.port > 65535 || request.maxReplyBytes == 0) return reply;
  try {
    const CurlLibrary& library = Curl();
    if (!library.ready) {
      reply.unavailable = true;
      return reply;
    }
    EasyHandle easy(library);
    CURL* curl = easy.get();
    if (!curl || !easy.AddHeader("Accept: */*")) return reply;
    const std::string url = "http://" + request.host + ":" + std::to_string(request.port) + "/" + request.object;
    Sink sink{&reply.text, request.maxReplyBytes, request.cancel};
    const auto set = library.easySetopt;

    set(curl, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    set(curl, CURLOPT_PROTOCOLS_STR, "http");
    set(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif
    set(curl, CURLOPT_PROXY, "");  // direct access, whatever the environment says
    set(curl, CURLOPT_USERAGENT, request.agent.c_str());
    set(curl, CURLOPT_HTTPHEADER, easy.Headers());
    set(curl, CURLOPT_FOLLOWLOCATION, 1L);  // as WinINet does by default
    set(curl, CURLOPT_MAXREDIRS, 5L);
    set(curl, CURLOPT_NOSIGNAL, 1L);  // a plug-in leaves the host's signals alone
    set(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    set(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    set(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kWebReadPiece));
    set(curl, CURLOPT_WRITEFUNCTION, AppendPiece);
    set(curl, CURLOPT_WRITEDATA, &sink);
    set(curl, CURLOPT_NOPROGRESS, 0L);
    set(curl, CURLOPT_XFERINFOFUNCTION, CheckCancel);
    set(curl, CURLOPT_XFERINFODATA, &sink);
    // The outcome does not matter: whatever arrived before a failure or the cut is the reply.
    library.easyPerform(curl);
    reply.raised = sink.raised;
  } catch (...) {
    reply.raised = true;
  }
  return reply;
}
