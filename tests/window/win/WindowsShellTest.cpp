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
#include <vector>

#include "editor/UserFolders.h"
#include "editor/win/IGraphicsWin.h"
#include "plugin/HostlessInstrument.h"
#include "plugin/ProgramFiles.h"
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

// A plug-in with 64 programs whose values and names depend on seed.
class FilePlug : public HostlessInstrument {
 public:
  explicit FilePlug(int seed) : HostlessInstrument(0x00010004) {
    for (int p = 0; p < NPresets(); ++p) {
      for (int i = 0; i < NParams(); ++i) GetParam(i)->SetFromNormalized(((i * 7 + (p + seed) * 13) % 97) / 96.0);
      RecallPreset(p);
      ModifyCurrentPreset(("Program " + std::to_string(p + seed)).c_str());
    }
    RecallPreset(0);
  }
  std::string Values() const {
    std::string values;
    for (int i = 0; i < NParams(); ++i) values += std::to_string(GetParam(i)->Value()) + " ";
    return values;
  }
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The same folder as UTF-8 and UTF-16, both written by the compiler from the same characters, so the
// check does not share the plug-in's own conversion.
struct Name {
  const char* utf8;
  const wchar_t* wide;
};

// Save, load and save again over the same file, for names outside the ANSI code page, the euro sign,
// and paths near the length limit; a failed save keeps the old file.
void TestSavePaths() {
  char tempA[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tempA);
  std::string base = std::string(tempA) + "sarn-paths-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(base.c_str(), nullptr);
  const std::wstring wideBase(base.begin(), base.end());  // the temporary folder is plain ASCII here
  const Name names[] = {
      {u8"\u0411\u0430\u043d\u043a\u0438", L"\u0411\u0430\u043d\u043a\u0438"},          // Cyrillic
      {u8"\u0389\u03c7\u03bf\u03b9", L"\u0389\u03c7\u03bf\u03b9"},                      // Greek
      {u8"\u97f3\u8272\u30d0\u30f3\u30af", L"\u97f3\u8272\u30d0\u30f3\u30af"},          // CJK
      {u8"Strings \u20ac 5", L"Strings \u20ac 5"},                                      // euro sign
      {u8"Caf\u00e9 \u00c0 la carte", L"Caf\u00e9 \u00c0 la carte"},                   // Latin-1
  };
  FilePlug first(1);
  FilePlug second(2);
  for (const Name& name : names) {
    const std::string folder = base + "\\" + name.utf8;
    const std::wstring wideFolder = wideBase + L"\\" + name.wide;
    CHECK(CreateDirectoryW(wideFolder.c_str(), nullptr) != FALSE);
    for (const char* extension : {".fxb", ".fxp"}) {
      const bool bank = extension[3] == 'b';
      const std::string path = folder + "\\" + name.utf8 + extension;
      const std::wstring widePath = wideFolder + L"\\" + name.wide + (bank ? L".fxb" : L".fxp");
      CHECK(bank ? SaveBankFile(first, path.c_str()) : SaveProgramFile(first, path.c_str()));
      CHECK(Exists(widePath));
      FilePlug reader(9);
      CHECK(bank ? LoadBankFile(reader, path.c_str()) : LoadProgramFile(reader, path.c_str()));
      CHECK_EQ(std::string(reader.GetPresetName(bank ? 63 : 0)), bank ? "Program 64" : "Program 1");
      CHECK_EQ(reader.Values(), first.Values());
      // Saving over it replaces it.
      CHECK(bank ? SaveBankFile(second, path.c_str()) : SaveProgramFile(second, path.c_str()));
      CHECK(bank ? LoadBankFile(reader, path.c_str()) : LoadProgramFile(reader, path.c_str()));
      CHECK_EQ(std::string(reader.GetPresetName(bank ? 63 : 0)), bank ? "Program 65" : "Program 2");
      CHECK(DeleteFileW(widePath.c_str()) != FALSE);
    }
    // The folder holds nothing else: no temporary file stayed behind.
    CHECK(RemoveDirectoryW(wideFolder.c_str()) != FALSE);
  }

  // Whole paths of 250 and 259 characters (MAX_PATH less its terminator), through folders of 50.
  for (size_t length : {static_cast<size_t>(250), static_cast<size_t>(259)}) {
    std::string folder = base;
    std::vector<std::string> folders;
    while (folder.size() + 51 + 10 < length) {
      folder += "\\" + std::string(50, static_cast<char>('a' + folders.size()));
      folders.push_back(folder);
      CHECK(CreateDirectoryW((L"\\\\?\\" + std::wstring(folder.begin(), folder.end())).c_str(), nullptr) != FALSE);
    }
    const std::string path = folder + "\\" + std::string(length - folder.size() - 5, 'n') + ".fxb";
    CHECK_EQ(path.size(), length);
    CHECK(SaveBankFile(first, path.c_str()));
    FilePlug reader(9);
    CHECK(LoadBankFile(reader, path.c_str()));
    CHECK_EQ(std::string(reader.GetPresetName(63)), "Program 64");
    CHECK(SaveBankFile(second, path.c_str()));
    const std::wstring widePath = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    CHECK(DeleteFileW(widePath.c_str()) != FALSE);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      CHECK(RemoveDirectoryW((L"\\\\?\\" + std::wstring(it->begin(), it->end())).c_str()) != FALSE);
    }
  }

  // A save that cannot replace the file (another program holds it open without sharing) fails, keeps
  // the old file whole and leaves no temporary file.
  const std::string kept = base + "\\" + u8"\u20ac kept.fxb";
  const std::wstring wideKept = wideBase + L"\\\u20ac kept.fxb";
  CHECK(SaveBankFile(first, kept.c_str()));
  HANDLE holder = CreateFileW(wideKept.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  CHECK(holder != INVALID_HANDLE_VALUE);
  CHECK(!SaveBankFile(second, kept.c_str()));
  CloseHandle(holder);
  FilePlug reader(9);
  CHECK(LoadBankFile(reader, kept.c_str()));
  CHECK_EQ(std::string(reader.GetPresetName(63)), "Program 64");
  CHECK(DeleteFileW(wideKept.c_str()) != FALSE);
  // A missing folder: false, nothing created.
  CHECK(!SaveBankFile(first, (base + "\\" + u8"\u97f3\\x.fxb").c_str()));
  CHECK(RemoveDirectoryA(base.c_str()) != FALSE);
}

// A startup bank in a folder named outside the ANSI code page is found again through the settings.
void TestStartupBankPath() {
  const std::string appData = MakeTempFolder("sarn-appdata-u-");
  const std::string documents = MakeTempFolder("sarn-documents-u-");
  const std::string bank = documents + "\\" + u8"\u0411\u0430\u043d\u043a \u20ac.fxb";
  FilePlug first(1);
  CHECK(SaveBankFile(first, bank.c_str()));
  {
    Configuration config(appData, documents);
    CHECK(config.SetStartupBank(bank));
  }
  Configuration later(appData, documents);
  CHECK_EQ(later.StartupBankFile(), bank);
  FilePlug reader(9);
  CHECK(LoadBankFile(reader, later.StartupBankFile().c_str()));
  CHECK_EQ(std::string(reader.GetPresetName(63)), "Program 64");
  const std::wstring wide = std::wstring(documents.begin(), documents.end()) + L"\\\u0411\u0430\u043d\u043a \u20ac.fxb";
  CHECK(DeleteFileW(wide.c_str()) != FALSE);
  DeleteFileA((appData + "\\KelmorMusic\\sarn.ini").c_str());
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
  TestSavePaths();
  TestStartupBankPath();
  TestVersionCheck();
  std::printf("%s: %d failed checks\n", gFailures ? "FAILED" : "passed", gFailures);
  return gFailures ? 1 : 0;
}
