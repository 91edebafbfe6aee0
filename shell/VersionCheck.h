// The options menu's "Check Online for Update": asks the maker's web server for the number of the
// newest release, compares it with this build and tells the user, offering the download page when a
// newer release exists. Runs synchronously on the editor's thread; takes no lock, touches no engine state.
#pragma once

#include <atomic>
#include <string>

#include "shell/WebRequest.h"

class IGraphics;

// The maker's site, fixed at build time (a domain reserved for examples until a real one exists).
#ifndef SARN_MAKER_WEB_HOST
#define SARN_MAKER_WEB_HOST "www.kelmormusic.example"
#endif
#ifndef SARN_MAKER_WEB_DOMAIN
#define SARN_MAKER_WEB_DOMAIN "kelmormusic.example"
#endif
#ifndef SARN_MAKER_WEB_ADDRESS
#define SARN_MAKER_WEB_ADDRESS "http://www.kelmormusic.example"
#endif
#ifndef SARN_MAKER_DOWNLOAD_PAGE
#define SARN_MAKER_DOWNLOAD_PAGE "http://www.kelmormusic.example/music/sarn/"
#endif
constexpr const char* kMakerWebHost = SARN_MAKER_WEB_HOST;
constexpr int kMakerWebPort = 80;
constexpr const char* kMakerWebDomain = SARN_MAKER_WEB_DOMAIN;
constexpr const char* kMakerWebAddress = SARN_MAKER_WEB_ADDRESS;
constexpr const char* kMakerDownloadPage = SARN_MAKER_DOWNLOAD_PAGE;
constexpr const char* kVersionQuery = "music/version/?file=sarn";
constexpr const char* kVersionQueryAgent = "Sarn";
// "host" or "host:port": asks that server instead of the maker's (tests point it at a local server).
constexpr const char* kUpdateServerVariable = "SARN_UPDATE_SERVER";

// The reply is never read beyond this; the new version shown is cut to kMaxShownVersionLength
// characters (ending in "...") so that an endless reply cannot make an endless message box.
constexpr size_t kMaxVersionReplyBytes = 64 * 1024;
constexpr size_t kMaxShownVersionLength = 32;

// CheckForUpdate results.
constexpr int kUpdateReplyUnderstood = 0;  // up to date, or a newer version reported
constexpr int kUpdateNoReply = -1;         // no reply text arrived
constexpr int kUpdateRaised = -2;          // the exchange failed with an exception (out of memory)
constexpr int kUpdateNotANumber = -3;      // the reply is not a version number (it contains '<')
constexpr int kUpdateUnavailable = -4;     // the system cannot make web requests (no libcurl)

struct UpdateServer {
  bool valid = false;
  std::string host;
  int port = 0;
};

// The server to ask: the maker's when override is null or empty, else override as "host[:port]"
// (port 80 when absent). An override that is not a plain host name or address with a port of
// 1..65535 is invalid, and then nothing is asked at all.
UpdateServer ResolveUpdateServer(const char* override);

// ReadLeadingInteger reads the server's number.
#include "plugin/NumberText.h"

// The reply as a version text: character 0, ".", character 1, ".", then the rest from character 3
// when character 2 is '0', else from character 2 (1005 -> 1.0.5, 1012 -> 1.0.12, 1100 -> 1.1.0).
// Missing characters are left out; the result is cut to kMaxShownVersionLength.
std::string BuildVersionText(const std::string& reply);

// Judges a reply and tells the user through editor (nothing is shown when editor is null; the result
// is the same). Returns one of the kUpdate... results.
int ReportVersionReply(const WebReply& reply, IGraphics* editor) noexcept;

// Asks the server (ResolveUpdateServer of the environment) and reports the reply. When cancel is set
// and becomes true, the request ends within about a second and nothing is reported (kUpdateNoReply).
int CheckForUpdate(IGraphics* editor, const std::atomic<bool>* cancel = nullptr) noexcept;
