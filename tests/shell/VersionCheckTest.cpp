#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "editor/headless/IGraphicsHeadless.h"
#include "resources/Version.h"
#include "shell/VersionCheck.h"
#include "shell/WebRequest.h"

namespace {

// A listening socket on 127.0.0.1 (ephemeral port) that answers each of up to `connections` clients
// with one canned response and records the request head each one sent. It gives up after a few
// seconds without clients and stops when destroyed.
class ReplyServer {
 public:
  explicit ReplyServer(std::string response, int connections = 1)
      : mResponse(std::move(response)), mConnections(connections) {
    mListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (mListener < 0 || bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(mListener, 4) != 0 || getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
      return;
    }
    mPort = ntohs(address.sin_port);
    mThread = std::thread([this] { Serve(); });
  }
  ~ReplyServer() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    if (mListener >= 0) close(mListener);
  }
  ReplyServer(const ReplyServer&) = delete;
  ReplyServer& operator=(const ReplyServer&) = delete;

  int Port() const { return mPort; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(mPort); }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRequests;
  }

 private:
  void Serve() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int served = 0; served < mConnections && !mStop && std::chrono::steady_clock::now() < giveUp;) {
      pollfd waiting{mListener, POLLIN, 0};
      if (poll(&waiting, 1, 50) <= 0) continue;
      const int client = accept(mListener, nullptr, nullptr);
      if (client < 0) continue;
      timeval limit{5, 0};
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
      setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
      const std::string head = ReadHead(client);
      {
        std::lock_guard<std::mutex> lock(mMutex);
        mRequests.push_back(head);
      }
      SendAll(client);
      close(client);
      ++served;
    }
  }
  static std::string ReadHead(int client) {
    std::string head;
    char piece[512];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192) {
      const ssize_t got = recv(client, piece, sizeof(piece), 0);
      if (got <= 0) break;
      head.append(piece, static_cast<size_t>(got));
    }
    return head;
  }
  // Stops quietly when the client hangs up early (as it does past its read bound).
  void SendAll(int client) const {
    size_t sent = 0;
    while (sent < mResponse.size() && !mStop) {
      const ssize_t put = send(client, mResponse.data() + sent, mResponse.size() - sent, MSG_NOSIGNAL);
      if (put <= 0) break;
      sent += static_cast<size_t>(put);
    }
    shutdown(client, SHUT_WR);
  }

  const std::string mResponse;
  const int mConnections;
  int mListener = -1;
  int mPort = 0;
  std::atomic<bool> mStop{false};
  std::thread mThread;
  std::mutex mMutex;
  std::vector<std::string> mRequests;
};

std::string WithLength(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

std::string UntilClose(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + body;
}

// A port on 127.0.0.1 that refuses connections: bound for the test's life, never listening.
class RefusingPort {
 public:
  RefusingPort() {
    mSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (mSocket < 0 || bind(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(mSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot bind on 127.0.0.1";
    }
    mPort = ntohs(address.sin_port);
  }
  ~RefusingPort() {
    if (mSocket >= 0) close(mSocket);
  }
  int Port() const { return mPort; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(mPort); }

 private:
  int mSocket = -1;
  int mPort = 0;
};

// Points the check at a local address for one test. Afterwards the variable names no usable server,
// so that no later check in this process can reach the maker's host.
class ServerOverride {
 public:
  explicit ServerOverride(const std::string& address) { setenv(kUpdateServerVariable, address.c_str(), 1); }
  ~ServerOverride() { setenv(kUpdateServerVariable, "127.0.0.1:0", 1); }
};

const std::string kTenMegabytes(10 * 1024 * 1024, ' ');

std::string NewVersionQuestion(const std::string& version) {
  return "A new version of Sarn is available.\n\n\tYour version: \t" + std::string(kVersionText) +
         "\n\tNew version: \t" + version +
         "\n\nDo you want to go to http://www.kelmormusic.example to get the new version?";
}

const char* const kContactError = "An error occurred while contacting kelmormusic.example.";
const char* const kInvalidCall = "Invalid call to kelmormusic.example.";
const char* const kUpToDate = "Your version is up to date.";
const char* const kCaption = "Check Online for Update";
const char* const kNewCaption = "New Version of Sarn Detected";
const char* const kDownloadPage = "http://www.kelmormusic.example/music/sarn/";

struct ExchangeCase {
  const char* name;
  std::string response;  // what the server sends; empty: the connection is refused
  int answer;            // queued answer to the question, 0 for none
  int result;
  std::string text;
  const char* caption;
  int type;
  bool opened;
};

std::vector<ExchangeCase> ExchangeCases() {
  const std::string tenMegabytesOfDigits(10 * 1024 * 1024, '9');
  return {
      {"1004 is this version", WithLength("1004"), 0, 0, kUpToDate, kCaption, 64, false},
      {"1005 answered Yes", WithLength("1005"), IGraphics::kAnswerYes, 0, NewVersionQuestion("1.0.5"), kNewCaption,
       4, true},
      {"1005 answered No", WithLength("1005"), IGraphics::kAnswerNo, 0, NewVersionQuestion("1.0.5"), kNewCaption, 4,
       false},
      {"1012 answered Yes", UntilClose("1012"), IGraphics::kAnswerYes, 0, NewVersionQuestion("1.0.12"), kNewCaption,
       4, true},
      {"1100 answered Yes", WithLength("1100"), IGraphics::kAnswerYes, 0, NewVersionQuestion("1.1.0"), kNewCaption,
       4, true},
      {"'<' after digits", WithLength("1012<html>"), 0, -3, kInvalidCall, kCaption, 16, false},
      {"empty reply", WithLength(""), 0, -1, kContactError, kCaption, 16, false},
      {"text without digits", WithLength("hello"), 0, 0, kUpToDate, kCaption, 64, false},
      {"refused connection", "", 0, -1, kContactError, kCaption, 16, false},
      {"1012 and 10 MB of padding", UntilClose("1012" + kTenMegabytes), IGraphics::kAnswerYes, 0,
       NewVersionQuestion("1.0.12" + std::string(23, ' ') + "..."), kNewCaption, 4, true},
      {"10 MB of digits", UntilClose(tenMegabytesOfDigits), IGraphics::kAnswerNo, 0,
       NewVersionQuestion("9.9." + std::string(25, '9') + "..."), kNewCaption, 4, false},
  };
}

void ExpectVersionQuery(const std::string& head) {
  EXPECT_EQ(head.rfind("GET /music/version/?file=sarn HTTP/1.", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Sarn\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept: */*\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Accept:"), head.rfind("Accept:")) << "one accepted type only\n" << head;
}

TEST(VersionCheck, ServerRepliesAreJudgedAndReported) {
  for (const ExchangeCase& c : ExchangeCases()) {
    SCOPED_TRACE(c.name);
    const bool refused = c.response.empty();
    RefusingPort refusing;
    ReplyServer server(refused ? WithLength("1012") : c.response, refused ? 0 : 2);
    ServerOverride pointAt(refused ? refusing.Address() : server.Address());

    IGraphicsHeadless editor;
    if (c.answer) editor.QueueAnswer(c.answer);
    EXPECT_EQ(CheckForUpdate(&editor), c.result);
    ASSERT_EQ(editor.Messages().size(), 1u);
    EXPECT_EQ(editor.Messages()[0].text, c.text);
    EXPECT_EQ(editor.Messages()[0].caption, c.caption);
    EXPECT_EQ(editor.Messages()[0].type, c.type);
    if (c.opened) {
      EXPECT_EQ(editor.OpenedAddresses(), std::vector<std::string>{kDownloadPage});
    } else {
      EXPECT_TRUE(editor.OpenedAddresses().empty());
    }

    // Without an editor nothing can be shown, but the outcome is the same.
    EXPECT_EQ(CheckForUpdate(nullptr), c.result);

    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), refused ? 0u : 2u);
    for (const std::string& head : requests) ExpectVersionQuery(head);
  }
}

TEST(VersionCheck, AnUnusableServerOverrideAsksNobody) {
  ServerOverride pointAt("127.0.0.1:http");
  IGraphicsHeadless editor;
  EXPECT_EQ(CheckForUpdate(&editor), -1);
  ASSERT_EQ(editor.Messages().size(), 1u);
  EXPECT_EQ(editor.Messages()[0].text, kContactError);
  EXPECT_EQ(editor.Messages()[0].type, 16);
}

// An editor that runs out of memory when asked the new-version question.
class EditorOutOfMemory : public IGraphicsHeadless {
 public:
  EditorOutOfMemory() : IGraphicsHeadless() {}
  int ShowMessage(const char* text, const char* caption, int type) override {
    if (type == kMessageYesNo) throw std::bad_alloc();
    return IGraphicsHeadless::ShowMessage(text, caption, type);
  }
};

TEST(VersionCheck, AnExceptionShowsTheContactErrorAndGivesMinusTwo) {
  EditorOutOfMemory editor;
  EXPECT_EQ(ReportVersionReply({"1012", false}, &editor), -2);
  ASSERT_EQ(editor.Messages().size(), 1u);
  EXPECT_EQ(editor.Messages()[0].text, kContactError);
  EXPECT_EQ(editor.Messages()[0].caption, kCaption);
  EXPECT_EQ(editor.Messages()[0].type, 16);
  EXPECT_TRUE(editor.OpenedAddresses().empty());

  IGraphicsHeadless plain;
  EXPECT_EQ(ReportVersionReply({"1012", true}, &plain), -2);  // the exchange itself ran out of memory
  ASSERT_EQ(plain.Messages().size(), 1u);
  EXPECT_EQ(plain.Messages()[0].text, kContactError);
  EXPECT_EQ(ReportVersionReply({"", true}, nullptr), -2);
}

TEST(WebRequest, ReadStopsAtTheBoundAndKeepsWhatArrived) {
  std::string body = "1012";
  body += std::string(10 * 1024 * 1024, '7');
  for (const size_t bound : {size_t{64 * 1024}, size_t{1500}, size_t{1}}) {
    SCOPED_TRACE(bound);
    ReplyServer server(UntilClose(body));
    WebRequest request;
    request.host = "127.0.0.1";
    request.port = server.Port();
    request.object = "music/version/?file=sarn";
    request.agent = "Sarn";
    request.maxReplyBytes = bound;
    const WebReply reply = FetchWebObject(request);
    EXPECT_FALSE(reply.raised);
    EXPECT_EQ(reply.text.size(), bound);
    EXPECT_EQ(reply.text, body.substr(0, bound));
  }
}

TEST(WebRequest, WholeReplyBelowTheBoundAndNothingFromARefusedPort) {
  const std::string body = "Sarn 1012\r\nsecond line\n";
  ReplyServer server(WithLength(body));
  WebRequest request;
  request.host = "127.0.0.1";
  request.port = server.Port();
  request.object = "music/version/?file=sarn";
  request.agent = "Sarn";
  EXPECT_EQ(FetchWebObject(request).text, body);

  RefusingPort refusing;
  request.port = refusing.Port();
  const WebReply none = FetchWebObject(request);
  EXPECT_TRUE(none.text.empty());
  EXPECT_FALSE(none.raised);
}

TEST(VersionCheck, LeadingIntegerReading) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"1005", 1005},
      {"  \t\r\n1012", 1012},
      {"+1100", 1100},
      {"-5", -5},
      {"0001005", 1005},
      {"12abc", 12},
      {"1012<html>", 1012},
      {"hello", 0},
      {"", 0},
      {"-", 0},
      {"+ 7", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999999999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadLeadingInteger(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(ReadLeadingInteger(std::string(10 * 1024 * 1024, '9')), INT_MAX);
}

// The server's number for this release is the one before the first newer one, and it reads back as
// this release's text.
TEST(VersionCheck, ThisReleaseReadsBackFromItsServerNumber) {
  EXPECT_EQ(BuildVersionText(std::to_string(kFirstNewerVersion - 1)), kVersionText);
}

TEST(VersionCheck, VersionTextBuilding) {
  struct Case {
    std::string reply;
    std::string version;
  } cases[] = {
      {"1005", "1.0.5"},
      {"1012", "1.0.12"},
      {"1100", "1.1.0"},  // character 2 is '0', so the rest starts at character 3
      {"2000", "2.0.0"},
      {"1012\n", "1.0.12\n"},
      {"100x", "1.0.x"},
      {"100", "1.0."},
      {"99", "9.9."},
      {"9", "9.."},
      {"", ".."},
      {"1" + std::string(29, '2'), "1.2." + std::string(28, '2')},  // just fits the 32 characters
      {"1" + std::string(30, '2'), "1.2." + std::string(25, '2') + "..."},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildVersionText(c.reply), c.version) << '"' << c.reply << '"';
  EXPECT_EQ(BuildVersionText(std::string(10 * 1024 * 1024, '9')).size(), kMaxShownVersionLength);
}

TEST(VersionCheck, ServerOverrideParsing) {
  struct Case {
    const char* value;
    bool valid;
    const char* host;
    int port;
  } cases[] = {
      {nullptr, true, "www.kelmormusic.example", 80},
      {"", true, "www.kelmormusic.example", 80},
      {"127.0.0.1:8080", true, "127.0.0.1", 8080},
      {"localhost", true, "localhost", 80},
      {"127.0.0.1:65535", true, "127.0.0.1", 65535},
      {"127.0.0.1:", false, "", 0},
      {"127.0.0.1:0", false, "", 0},
      {"127.0.0.1:65536", false, "", 0},
      {"127.0.0.1:123456", false, "", 0},
      {"127.0.0.1:80x", false, "", 0},
      {":80", false, "", 0},
      {"evil/path:80", false, "", 0},
      {"user@host:80", false, "", 0},
  };
  for (const Case& c : cases) {
    const UpdateServer server = ResolveUpdateServer(c.value);
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    EXPECT_EQ(server.valid, c.valid);
    if (c.valid) {
      EXPECT_EQ(server.host, c.host);
      EXPECT_EQ(server.port, c.port);
    }
  }
}

TEST(VersionCheck, MakerSiteLiesInTheSpaceReservedForExamples) {
  const std::string host = kMakerWebHost;
  const std::string page = kMakerDownloadPage;
  EXPECT_EQ(host.substr(host.size() - 8), ".example");
  EXPECT_EQ(page.rfind(kMakerWebAddress, 0), 0u);
  EXPECT_NE(host.find(kMakerWebDomain), std::string::npos);
}

TEST(WebRequest, ACancelEndsARequestToAServerThatNeverAnswers) {
  // Listening, so the connection is made, but nothing is ever read or sent: a stalled server.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ServerOverride pointAt("127.0.0.1:" + std::to_string(ntohs(address.sin_port)));

  std::atomic<bool> cancel{false};
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  IGraphicsHeadless editor;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckForUpdate(&editor, &cancel), kUpdateNoReply);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  closer.join();
  close(listener);
  EXPECT_LT(seconds, 5.0) << "the server stalls for 30 s before the request gives up by itself";
  EXPECT_TRUE(editor.Messages().empty());
}

}  // namespace
