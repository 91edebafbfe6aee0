// The shell's Windows services run for real under Wine: the settings file through the system's
// profile functions, the folder queries, and the editor's file-chooser rules. A plain program (no
// test framework in the cross build); exits non-zero on the first failed check group.
#include <winsock2.h>
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <thread>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "editor/UserFolders.h"
#include "editor/win/IGraphicsWin.h"
#include "shell/Configuration.h"
#include "shell/VersionCheck.h"
#include "shell/WebRequest.h"

namespace {

int gFailures = 0;

void Check(bool ok, const char* what, int line) {
  if (ok) return;
  std::printf("FAIL line %d: %s\n", line, what);
  ++gFailures;
}
#define CHECK(x) Check((x), #x, __LINE__)
#define CHECK_EQ(a, b) Check((a) == (b), #a " == " #b, __LINE__)

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A fresh folder under the temporary folder.
std::string MakeTempFolder(const char* name) {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  std::string folder = std::string(base) + name + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

void TestFileChooserRules() {
  CHECK_EQ(IGraphicsWin::FileFilter("fxp"), std::string("*.fxp\0*.fxp\0\0", 13));
  CHECK_EQ(IGraphicsWin::FileFilter("fxp fxb"), std::string("*.fxp;*.fxb\0*.fxp;*.fxb\0\0", 25));
  CHECK_EQ(IGraphicsWin::FileFilter(std::string(200, 'x').c_str()), std::string());  // would not fit 256 bytes
  CHECK_EQ(IGraphicsWin::DefaultExtension("fxb"), "fxb");
  CHECK_EQ(IGraphicsWin::DefaultExtension("fxp fxb"), "fxp");
  CHECK_EQ(IGraphicsWin::DefaultExtension("abcdefghijklmnopq"), "abcdefghijklmno");
  CHECK_EQ(IGraphicsWin::DefaultExtension(" "), "");
  // Without an editor window there is no dialog: the file comes back empty.
  IGraphicsWin editor(nullptr, 772, 620);
  std::string file = "Sarn";
  std::string folder = "C:\\";
  editor.PromptForFile(file, IGraphics::kFileSave, folder, "fxb");
  CHECK(file.empty());
}

void TestFolders() {
  IGraphicsWin editor(nullptr, 772, 620);
  const std::string appData = editor.AppDataFolder(false);
  CHECK(!LocalAppDataFolder().empty());
  CHECK_EQ(appData, LocalAppDataFolder() + "\\");
  CHECK(!DocumentsFolder().empty());
  CHECK(!editor.DesktopFolder().empty() && editor.DesktopFolder().back() == '\\');
  // This program holds the code, so the module folder is the program's folder.
  CHECK(!editor.ModuleFolder().empty());
  CHECK_EQ(editor.ModuleFolder(), editor.HostProgramFolder());
  CHECK_EQ(PathSeparator(), '\\');
}

void TestFirstStart() {
  const std::string settings = LocalAppDataFolder() + "\\KelmorMusic";
  DeleteFileA((settings + "\\sarn.ini").c_str());
  RemoveDirectoryA(settings.c_str());
  Configuration configuration;
  CHECK_EQ(configuration.ConfigurationFilePath(), settings + "\\sarn.ini");
  CHECK(GetFileAttributesA(configuration.ConfigurationFilePath().c_str()) != INVALID_FILE_ATTRIBUTES);
  CHECK_EQ(configuration.ProgramFolder(), DocumentsFolder());
  CHECK_EQ(configuration.DocumentsFolder(), DocumentsFolder());
  CHECK_EQ(configuration.StartupBankFile(), "");
  CHECK(!configuration.MidiThru());
  CHECK_EQ(configuration.ReadConfiguration(), Configuration::kRead);
  DeleteFileA(configuration.ConfigurationFilePath().c_str());
  CHECK_EQ(configuration.ReadConfiguration(), Configuration::kFileMissing);
}

void TestProfileSemantics() {
  const std::string appData = MakeTempFolder("sarn-appdata-");
  const std::string documents = MakeTempFolder("sarn-documents-");
  const std::string file = appData + "\\KelmorMusic\\sarn.ini";
  {
    Configuration created(appData, documents);
    CHECK_EQ(created.ConfigurationFilePath(), file);
  }
  WriteText(file,
            "[Other]\r\nkey=1\r\n[MIDI Global]\r\nMIDI Thru=TRUE\r\nIgnore Program Change=yes\r\n"
            "[MIDI Control]\r\nCC7=abc\r\nCC8=0\r\nCC9=-1\r\nCC10=007\r\nCC11=200\r\n");
  Configuration reader(appData, documents);
  CHECK(reader.MidiThru());
  CHECK(!reader.IgnoreProgramChange());
  CHECK_EQ(reader.ControllerMapping(7), -1);
  CHECK_EQ(reader.ControllerMapping(8), 0);
  CHECK_EQ(reader.ControllerMapping(9), -1);
  CHECK_EQ(reader.ControllerMapping(10), 7);
  CHECK_EQ(reader.ControllerMapping(11), 200);

  // Saving with no controllers empties the section and keeps the other sections.
  for (int c = 0; c < Configuration::kNumControllers; ++c) reader.SetControllerMapping(c, -1);
  CHECK(reader.SaveConfiguration(Configuration::kSaveAll));
  std::string text = ReadText(file);
  CHECK(text.find("CC") == std::string::npos);
  CHECK(text.find("[Other]") != std::string::npos && text.find("key=1") != std::string::npos);
  CHECK(text.find("MIDI Thru=true") != std::string::npos);

  // The startup bank key comes and goes.
  CHECK(reader.SetStartupBank("C:\\Banks\\My Bank.fxb"));
  CHECK(ReadText(file).find("File=C:\\Banks\\My Bank.fxb") != std::string::npos);
  CHECK(reader.ClearStartupBank());
  CHECK(ReadText(file).find("File=") == std::string::npos);

  // A long program folder reads back whole; past 258 characters it is cut.
  const std::string longFolder = "C:\\" + std::string(100, 'p');
  CHECK(reader.SaveDefaultPath(longFolder));
  reader.SetControllerMapping(74, 2);
  CHECK(reader.SaveConfiguration(Configuration::kSaveAll));
  Configuration other(appData, documents);
  CHECK_EQ(other.ProgramFolder(), longFolder);
  CHECK_EQ(other.ControllerMapping(74), 2);
  const std::string tooLong = "C:\\" + std::string(300, 'q');
  CHECK(reader.SaveDefaultPath(tooLong));
  CHECK_EQ(Configuration(appData, documents).ProgramFolder(), tooLong.substr(0, 258));

  DeleteFileA(file.c_str());
  RemoveDirectoryA((appData + "\\KelmorMusic").c_str());
  RemoveDirectoryA(appData.c_str());
  RemoveDirectoryA(documents.c_str());
}

// Answers one connection on 127.0.0.1 with reply as the body and keeps the request it received.
class OneReplyServer {
 public:
  explicit OneReplyServer(std::string reply) : mReply(std::move(reply)) {
    mListener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length);
    mPort = ntohs(address.sin_port);
    listen(mListener, 1);
    mThread = std::thread([this] { Serve(); });
  }
  ~OneReplyServer() {
    closesocket(mListener);
    mThread.join();
  }
  int Port() const { return mPort; }
  const std::string& Request() const { return mRequest; }

 private:
  void Serve() {
    const SOCKET client = accept(mListener, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char buffer[4096];
    while (mRequest.find("\r\n\r\n") == std::string::npos) {
      const int received = recv(client, buffer, sizeof(buffer), 0);
      if (received <= 0) break;
      mRequest.append(buffer, static_cast<size_t>(received));
    }
    const std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(mReply.size()) + "\r\nConnection: close\r\n\r\n" + mReply;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
    closesocket(client);
  }

  std::string mReply;
  SOCKET mListener;
  int mPort = 0;
  std::string mRequest;
  std::thread mThread;
};

// The WinINet request against a local server: the request line, the agent, and the judged reply.
void TestVersionCheck() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  struct Case {
    const char* reply;
    int result;
  };
  const Case cases[] = {{"1004", kUpdateReplyUnderstood}, {"1012", kUpdateReplyUnderstood},
                        {"1012<html>", kUpdateNotANumber},  {"", kUpdateNoReply}};
  for (const Case& c : cases) {
    OneReplyServer server(c.reply);
    const std::string address = "127.0.0.1:" + std::to_string(server.Port());
    _putenv_s(kUpdateServerVariable, address.c_str());
    CHECK_EQ(CheckForUpdate(nullptr), c.result);
  }
  {
    OneReplyServer server("1005");
    WebRequest request;
    request.host = "127.0.0.1";
    request.port = server.Port();
    request.object = kVersionQuery;
    request.agent = kVersionQueryAgent;
    CHECK_EQ(FetchWebObject(request).text, "1005");
    CHECK(server.Request().rfind("GET /music/version/?file=sarn HTTP/1.", 0) == 0);
    CHECK(server.Request().find("User-Agent: Sarn\r\n") != std::string::npos);
  }
  // Nothing listening: no reply, and the result says so.
  _putenv_s(kUpdateServerVariable, "127.0.0.1:9");
  CHECK_EQ(CheckForUpdate(nullptr), kUpdateNoReply);
  WSACleanup();
}

}  // namespace

int main() {
  TestFileChooserRules();
  TestFolders();
  TestFirstStart();
  TestProfileSemantics();
  TestVersionCheck();
  std::printf("%s: %d failed checks\n", gFailures ? "FAILED" : "passed", gFailures);
  return gFailures ? 1 : 0;
}
