#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "shell/Configuration.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A folder under /tmp for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/sarn-config-XXXXXX";
    mPath = mkdtemp(name) ? name : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(mPath, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(mPath, ignored);
  }
  const std::string& Path() const { return mPath; }
  std::string operator/(const std::string& name) const { return mPath + "/" + name; }

 private:
  std::string mPath;
};

TEST(ProfileFileText, ReadsLikeTheProfileFunctions) {
  TempFolder temp;
  ProfileFile file(temp / "a.ini");
  EXPECT_EQ(file.ReadString("S", "k", "fallback", 64), "fallback");  // no file yet
  const struct {
    const char* text;
    const char* value;
  } cases[] = {
      {"[S]\nk=v\n", "v"},
      {"[s]\nK=v\n", "v"},
      {"  [ S ]  \r\n  k  =  v w  \r\n", "v w"},
      {"[S]\nk=\"v\"\n", "v"},
      {"[S]\nk='v'\n", "v"},
      {"[S]\nk=\n", ""},
      {"[S]\nk=a=b\n", "a=b"},
      {"[S]\nk=first\nk=second\n", "first"},
      {"\xEF\xBB\xBF[S]\nk=v", "v"},
      {"[S]\n;k=v\n", "fallback"},
      {"[S]\nk\n", "fallback"},
      {"k=v\n[S]\n", "fallback"},
      {"[T]\nk=v\n[S]\nj=w\n", "fallback"},
      {"[S\nk=v\n", "fallback"},
  };
  for (const auto& c : cases) {
    WriteText(file.Path(), c.text);
    EXPECT_EQ(file.ReadString("S", "k", "fallback", 64), c.value) << c.text;
  }
  WriteText(file.Path(), "[S]\nk=abcdef\n");
  EXPECT_EQ(file.ReadString("S", "k", "", 4), "abc");
  EXPECT_EQ(file.ReadString("S", "k", "", 1), "");
  EXPECT_EQ(file.ReadString("S", "x", "defaults", 4), "def");
}

TEST(ProfileFileText, WritesChangeOnlyTheirLines) {
  TempFolder temp;
  ProfileFile file(temp / "a.ini");
  const std::string other = "; note\nfree text\n[Other]\nk=keep\n\n";
  const struct {
    const char* before;
    bool empty;  // empty the section instead of writing k
    const char* after;
  } cases[] = {
      {"", false, "[S]\nk=new\n"},
      {"", true, "[S]\n"},
      {"[s]\nK=old\nj=1\n", false, "[s]\nK=new\nj=1\n"},
      {"[S]\nj=1\n\n[T]\n", false, "[S]\nj=1\nk=new\n\n[T]\n"},
      {"[S]\nj=1\n; why\nk=2\n\n[T]\nk=3\n", true, "[S]\n; why\n\n[T]\nk=3\n"},
      {"[T]\r\n", false, "[T]\r\n[S]\r\nk=new\r\n"},
      {"[S]\r\nk=old\r\n", false, "[S]\r\nk=new\r\n"},
      {"[S]\r\nj=1\r\n", false, "[S]\r\nj=1\r\nk=new\r\n"},
  };
  for (const auto& c : cases) {
    WriteText(file.Path(), other + c.before);
    ASSERT_TRUE(c.empty ? file.EmptySection("S") : file.WriteString("S", "k", "new")) << c.before;
    EXPECT_EQ(ReadText(file.Path()), other + c.after) << c.before;
  }
  // A line break in a value would break the file apart.
  EXPECT_FALSE(file.WriteString("S", "k", "a\n[Evil]"));
  EXPECT_FALSE(file.WriteString("S\n", "k", "v"));
  EXPECT_EQ(ReadText(file.Path()), other + "[S]\r\nj=1\r\nk=new\r\n");
}

// The file is replaced on every write; who may read it must not change with it.
TEST(ProfileFileText, WritesKeepTheFilesPermissions) {
  TempFolder temp;
  ProfileFile file(temp / "a.ini");
  for (const mode_t mode : {0600, 0640, 0604, 0664}) {
    WriteText(file.Path(), "[S]\nk=old\n");
    ASSERT_EQ(chmod(file.Path().c_str(), mode), 0);
    ASSERT_TRUE(file.WriteString("S", "k", "new")) << std::oct << mode;
    struct stat status;
    ASSERT_EQ(stat(file.Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(ReadText(file.Path()), "[S]\nk=new\n") << std::oct << mode;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
}

TEST(ProfileFileText, ConcurrentWritersLoseNothing) {
  TempFolder temp;
  const std::string path = temp / "a.ini";
  ASSERT_TRUE(ProfileFile(path).WriteString("S", "sentinel", "1"));
  constexpr int kKeys = 40;
  bool readerSawEverything = true;
  auto writer = [&](const char* prefix) {
    ProfileFile file(path);
    for (int i = 0; i < kKeys; ++i) file.WriteString("S", (prefix + std::to_string(i)).c_str(), "v");
  };
  std::thread first(writer, "a"), second(writer, "b");
  std::thread reader([&] {
    ProfileFile file(path);
    for (int i = 0; i < 200; ++i) readerSawEverything &= file.ReadString("S", "sentinel", "", 8) == "1";
  });
  first.join();
  second.join();
  reader.join();
  EXPECT_TRUE(readerSawEverything);
  ProfileFile file(path);
  for (int i = 0; i < kKeys; ++i) {
    EXPECT_EQ(file.ReadString("S", ("a" + std::to_string(i)).c_str(), "lost", 8), "v") << i;
    EXPECT_EQ(file.ReadString("S", ("b" + std::to_string(i)).c_str(), "lost", 8), "v") << i;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
}

// A configuration write killed at any moment: the file holds the settings before or after it,
// never a piece of them. The writer saves the whole configuration, long startup bank path included.
TEST(ProfileFileText, WriterKilledAtRandomMomentsLeavesTheOldOrTheNewFile) {
  TempFolder temp;
  const std::string path = temp / "sarn.ini";
  const std::string longPath = "/banks/" + std::string(240, 'x') + ".fxb";
  // Every text the file can hold between the writer's writes: no bank line, the long one or the short
  // one, with either switch value.
  std::vector<std::string> whole;
  for (const std::string& bank : {std::string(), "File=" + longPath + "\n", std::string("File=/b.fxb\n")}) {
    for (const char* thru : {"false", "true"}) {
      whole.push_back("[Startup Bank]\n" + bank + "[MIDI Global]\nMIDI Thru=" + thru + "\n");
    }
  }
  ProfileFile setup(path);
  setup.EmptySection("Startup Bank");
  setup.WriteString("Startup Bank", "File", longPath.c_str());
  setup.WriteString("MIDI Global", "MIDI Thru", "false");
  ASSERT_EQ(ReadText(path), whole[2]);
  std::srand(1208);
  std::vector<int> seen(whole.size(), 0);
  for (int round = 0; round < 60; ++round) {
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      ProfileFile file(path);
      for (unsigned n = 1;; ++n) {
        file.EmptySection("Startup Bank");
        file.WriteString("Startup Bank", "File", n % 2 ? "/b.fxb" : longPath.c_str());
        file.WriteString("MIDI Global", "MIDI Thru", n % 2 ? "true" : "false");
      }
    }
    usleep(static_cast<useconds_t>(std::rand() % 12000));
    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    const std::string text = ReadText(path);
    ASSERT_NE(std::find(whole.begin(), whole.end(), text), whole.end()) << "round " << round << ":\n" << text;
    ++seen[static_cast<size_t>(std::find(whole.begin(), whole.end(), text) - whole.begin())];
    for (const auto& entry : fs::directory_iterator(temp.Path())) {
      if (entry.path().filename() != "sarn.ini") fs::remove_all(entry.path());
    }
  }
  std::printf("texts found:");
  for (int count : seen) std::printf(" %d", count);
  std::printf("\n");
}

TEST(ProfileFileText, OversizedFileIsLeftAlone) {
  TempFolder temp;
  ProfileFile file(temp / "a.ini");
  WriteText(file.Path(), "[S]\nk=v\n");
  fs::resize_file(file.Path(), 9 * 1024 * 1024);
  EXPECT_FALSE(file.WriteString("S", "k", "w"));
  EXPECT_EQ(file.ReadString("S", "k", "fallback", 64), "fallback");
  EXPECT_EQ(fs::file_size(file.Path()), 9u * 1024 * 1024);
}

// A settings folder with a prepared sarn.ini, and the configuration read from it.
class ConfigurationFile : public ::testing::Test {
 protected:
  std::string AppData() const { return temp.Path(); }
  std::string File() const { return temp / "KelmorMusic/sarn.ini"; }
  void Prepare(const std::string& text) {
    fs::create_directories(temp / "KelmorMusic");
    WriteText(File(), text);
  }
  Configuration Load() const { return Configuration(AppData(), "/home/user/Documents"); }

  TempFolder temp;
};

TEST_F(ConfigurationFile, ControllerValuesFromTheFile) {
  const struct {
    const char* text;
    int entry;
  } cases[] = {
      {"abc", -1}, {"0", 0},    {"-1", -1},   {"007", 7},     {"74", 74}, {"12abc", 12}, {"200", 200},
      {"-5", -5},  {"-0", -1},  {"+3", 3},    {"\"9\"", 9},   {"00", 0},  {"99999999999", INT_MAX},
  };
  for (const auto& c : cases) {
    Prepare(std::string("[MIDI Control]\nCC7=") + c.text + "\n");
    EXPECT_EQ(Load().ControllerMapping(7), c.entry) << "CC7=" << c.text;
  }
}

TEST_F(ConfigurationFile, SwitchValuesFromTheFile) {
  const struct {
    const char* text;
    bool on;
  } cases[] = {{"TRUE", true}, {"true", true}, {"True", true}, {"  true  ", true},
               {"yes", false}, {"1", false},   {"false", false}, {"truely", false}};
  for (const auto& c : cases) {
    Prepare(std::string("[midi global]\nmidi thru=") + c.text + "\nIGNORE PROGRAM CHANGE=" + c.text + "\n");
    const Configuration configuration = Load();
    EXPECT_EQ(configuration.MidiThru(), c.on) << c.text;
    EXPECT_EQ(configuration.IgnoreProgramChange(), c.on) << c.text;
  }
}

TEST_F(ConfigurationFile, EmptyOrMissingValuesKeepWhatIsInMemory) {
  Prepare("[MIDI Global]\nMIDI Thru=\n[MIDI Control]\nCC7=\n");
  Configuration configuration = Load();
  configuration.SetMidiThru(true);
  configuration.SetIgnoreProgramChange(true);
  configuration.SetControllerMapping(7, 3);
  configuration.SetControllerMapping(8, 4);
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kRead);
  EXPECT_TRUE(configuration.MidiThru());             // empty value
  EXPECT_TRUE(configuration.IgnoreProgramChange());  // no key: the current setting is the default
  EXPECT_EQ(configuration.ControllerMapping(7), 3);  // empty value
  EXPECT_EQ(configuration.ControllerMapping(8), -1); // no key: unassigned
}

TEST_F(ConfigurationFile, SavedByOneInstanceReadByAnother) {
  Prepare("; kept\n[Other]\nkey=1\n[MIDI Control]\nCC5=9\n");
  Configuration writer = Load();
  writer.SetMidiThru(true);
  writer.SetControllerMapping(5, -1);
  writer.SetControllerMapping(1, 0);
  writer.SetControllerMapping(74, 2);
  writer.SetControllerMapping(119, 59);
  ASSERT_TRUE(writer.SetStartupBank("/banks/My Bank.fxb"));
  ASSERT_TRUE(writer.SaveConfiguration(Configuration::kSaveAll));

  const Configuration reader = Load();
  EXPECT_TRUE(reader.MidiThru());
  EXPECT_FALSE(reader.IgnoreProgramChange());
  EXPECT_EQ(reader.StartupBankFile(), "/banks/My Bank.fxb");
  for (int controller = 0; controller < Configuration::kNumControllers; ++controller) {
    const int expected = controller == 1 ? 0 : controller == 74 ? 2 : controller == 119 ? 59 : -1;
    EXPECT_EQ(reader.ControllerMapping(controller), expected) << controller;
  }
  const std::string text = ReadText(File());
  EXPECT_EQ(text.find("CC5="), std::string::npos);
  EXPECT_NE(text.find("CC74=2\n"), std::string::npos);
  EXPECT_EQ(text.rfind("; kept\n[Other]\nkey=1\n", 0), 0u);
}

TEST_F(ConfigurationFile, SavingWithoutControllersLeavesTheSectionEmpty) {
  Prepare("[MIDI Control]\nCC1=3\nCC2=4\n[Global]\nPath to Program Files=/p\n");
  Configuration configuration = Load();
  configuration.SetControllerMapping(1, -1);
  configuration.SetControllerMapping(2, -1);
  ASSERT_TRUE(configuration.SaveConfiguration(Configuration::kSaveAll));
  const std::string text = ReadText(File());
  EXPECT_NE(text.find("[MIDI Control]\n[Global]\nPath to Program Files=/p\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Startup Bank]\nFile=\n"), std::string::npos) << text;
  EXPECT_EQ(Load().StartupBankFile(), "");
}

TEST_F(ConfigurationFile, OneSwitchSavesOnlyThatSwitch) {
  Prepare("[MIDI Control]\nCC3=4\n");
  Configuration configuration = Load();
  configuration.SetMidiThru(true);
  configuration.SetIgnoreProgramChange(true);
  configuration.SetControllerMapping(3, -1);
  ASSERT_TRUE(configuration.SaveConfiguration(Configuration::kSaveMidiThru));
  std::string text = ReadText(File());
  EXPECT_NE(text.find("MIDI Thru=true"), std::string::npos);
  EXPECT_EQ(text.find("Ignore Program Change"), std::string::npos);
  EXPECT_NE(text.find("CC3=4"), std::string::npos);
  ASSERT_TRUE(configuration.SaveConfiguration(Configuration::kSaveIgnoreProgramChange));
  EXPECT_NE(ReadText(File()).find("Ignore Program Change=true"), std::string::npos);
}

TEST_F(ConfigurationFile, UnselectingTheStartupBankRemovesTheKey) {
  Prepare("");
  Configuration configuration = Load();
  ASSERT_TRUE(configuration.SetStartupBank("/a.fxb"));
  ASSERT_TRUE(configuration.ClearStartupBank());
  EXPECT_EQ(configuration.StartupBankFile(), "");
  EXPECT_EQ(ReadText(File()), "[Startup Bank]\n");
  ASSERT_TRUE(configuration.SetStartupBank("/b.fxb"));
  EXPECT_EQ(ReadText(File()), "[Startup Bank]\nFile=/b.fxb\n");
  // Forgetting a bank that failed to load is for this instance only.
  configuration.ForgetStartupBank();
  EXPECT_EQ(configuration.StartupBankFile(), "");
  EXPECT_EQ(Load().StartupBankFile(), "/b.fxb");
}

TEST_F(ConfigurationFile, ProgramFolderReadBackUpTo258Characters) {
  Prepare("");
  for (const size_t length : {100u, 258u, 300u}) {
    const std::string folder = "/" + std::string(length - 1, 'p');
    Configuration configuration = Load();
    ASSERT_TRUE(configuration.SaveDefaultPath(folder));
    EXPECT_EQ(configuration.ProgramFolder(), folder);
    EXPECT_NE(ReadText(File()).find(folder + "\n"), std::string::npos);  // written whole
    EXPECT_EQ(Load().ProgramFolder(), folder.substr(0, 258)) << length;
  }
}

TEST_F(ConfigurationFile, ReportsAMissingFile) {
  Prepare("");
  Configuration configuration = Load();
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kRead);
  fs::remove(File());
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kFileMissing);
}

TEST_F(ConfigurationFile, FailedWriteKeepsTheOldFile) {
  const std::string old = "[Global]\nPath to Program Files=/old\n";
  Prepare(old);
  Configuration configuration = Load();
  // A file may not grow past 100 bytes: writing the temporary file fails as on a full disk.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100;
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved_path = configuration.SaveDefaultPath("/" + std::string(200, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved_path);
  EXPECT_EQ(ReadText(File()), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(temp / "KelmorMusic"), fs::directory_iterator()), 1);

  // The file's place taken by a folder fails for every user, root included.
  fs::remove(File());
  fs::create_directory(File());
  EXPECT_FALSE(configuration.SaveConfiguration(Configuration::kSaveAll));
  EXPECT_FALSE(configuration.SetStartupBank("/x.fxb"));
  EXPECT_TRUE(fs::is_empty(File()));
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kFileMissing);
  EXPECT_EQ(configuration.StartupBankFile(), "");
}

TEST_F(ConfigurationFile, ReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders, so the write cannot fail";
  const std::string old = "[Startup Bank]\nFile=/old.fxb\n";
  Prepare(old);
  Configuration configuration = Load();
  fs::permissions(temp / "KelmorMusic", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(configuration.SetStartupBank("/new.fxb"));
  EXPECT_EQ(ReadText(File()), old);
}

TEST_F(ConfigurationFile, UnusableSettingsFolderKeepsInitialValues) {
  WriteText(temp / "not-a-folder", "");
  Configuration configuration(temp / "not-a-folder", "/docs");
  EXPECT_EQ(configuration.ConfigurationFilePath(), temp / "not-a-folder/KelmorMusic/sarn.ini");
  EXPECT_EQ(configuration.ProgramFolder(), "/docs");
  EXPECT_EQ(configuration.ControllerMapping(0), -1);
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kFileMissing);
  EXPECT_FALSE(configuration.SaveConfiguration(Configuration::kSaveAll));
  EXPECT_EQ(Configuration("", "/docs").ReadConfiguration(), Configuration::kFileMissing);
}

// The platform's own folders: $XDG_CONFIG_HOME and the documents folder named in user-dirs.dirs.
class FirstStart : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
      const char* value = std::getenv(name);
      saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", (temp / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1);
    fs::create_directories(temp / "config");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

  TempFolder temp;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(FirstStart, CreatesTheFolderAndAnEmptyFile) {
  WriteText(temp / "config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/My Documents\"\n");
  Configuration configuration;
  const std::string file = temp / "config/KelmorMusic/sarn.ini";
  EXPECT_EQ(configuration.ConfigurationFilePath(), file);
  ASSERT_TRUE(fs::is_regular_file(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_EQ(configuration.DocumentsFolder(), temp / "home/My Documents");
  EXPECT_EQ(configuration.ProgramFolder(), temp / "home/My Documents");
  EXPECT_EQ(configuration.StartupBankFile(), "");
  EXPECT_FALSE(configuration.MidiThru());
  EXPECT_FALSE(configuration.IgnoreProgramChange());
  for (int controller = 0; controller < Configuration::kNumControllers; ++controller) {
    EXPECT_EQ(configuration.ControllerMapping(controller), -1);
  }
  EXPECT_EQ(configuration.ReadConfiguration(), Configuration::kRead);
}

TEST_F(FirstStart, FreshAccountWithoutConfigFolderGetsTheWholePath) {
  setenv("XDG_CONFIG_HOME", (temp / "home/.config").c_str(), 1);  // neither home nor .config exists
  const Configuration configuration;
  EXPECT_TRUE(fs::is_regular_file(temp / "home/.config/KelmorMusic/sarn.ini"));
}

TEST_F(FirstStart, DocumentsFolderDefaultsToHome) {
  const Configuration configuration;
  EXPECT_EQ(configuration.DocumentsFolder(), temp / "home/Documents");
  EXPECT_TRUE(fs::is_regular_file(temp / "config/KelmorMusic/sarn.ini"));
}

}  // namespace
