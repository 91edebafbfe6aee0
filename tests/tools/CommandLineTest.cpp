#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/render/CommandLine.h"
#include "tools/render/ProgramSelect.h"

namespace {

bool Parse(std::vector<const char*> args, RenderOptions& options, std::string& error) {
  args.insert(args.begin(), "sarn-render");
  return ParseCommandLine(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CommandLine, DefaultsWithoutArguments) {
  RenderOptions options;
  std::string error;
  ASSERT_TRUE(Parse({}, options, error)) << error;
  EXPECT_EQ(options.sampleRate, 44100.0);
  EXPECT_EQ(options.blockSize, 256);
  EXPECT_EQ(options.tailSeconds, 3.0);
  EXPECT_TRUE(options.midiPath.empty());
  EXPECT_TRUE(options.program.empty());
  EXPECT_FALSE(options.floatOutput);
}

TEST(CommandLine, ShortLongAndInlineFormsSetTheSameOptions) {
  const std::vector<std::vector<const char*>> forms = {
      {"-m", "x.so", "-p", "Big Strings", "-r", "48000", "-b", "100", "-o", "a.wav", "--tail", "1.5", "-q", "s.mid"},
      {"--module", "x.so", "--program", "Big Strings", "--rate", "48000", "--block", "100", "--output", "a.wav",
       "--tail", "1.5", "--quiet", "s.mid"},
      {"s.mid", "--module=x.so", "--program=Big Strings", "--rate=48000", "--block=100", "--output=a.wav",
       "--tail=1.5", "--quiet"},
      // Bundled short options, values joined to their option, unambiguous prefixes of long options.
      {"-b100", "-qo", "a.wav", "-r48000", "--mod", "x.so", "--prog=Big Strings", "--ta", "1.5", "s.mid"},
  };
  for (const auto& form : forms) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(Parse(form, options, error)) << error;
    EXPECT_EQ(options.modulePath, "x.so");
    EXPECT_EQ(options.program, "Big Strings");
    EXPECT_EQ(options.sampleRate, 48000.0);
    EXPECT_EQ(options.blockSize, 100);
    EXPECT_EQ(options.outputPath, "a.wav");
    EXPECT_EQ(options.tailSeconds, 1.5);
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.midiPath, "s.mid");
  }
}

TEST(CommandLine, BadArgumentsAreRefusedWithAMessage) {
  struct Case {
    std::vector<const char*> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--volume", "3"}, "unknown option --volume"},
      {{"-r"}, "needs a value"},
      {{"-r", "44.1k"}, "sample rate"},
      {{"-r", "100"}, "sample rate"},
      {{"-r", "9999999999999999999"}, "sample rate"},
      {{"-b", "0"}, "block size"},
      {{"-b", "100000"}, "block size"},
      {{"--tail", "-1"}, "tail"},
      {{"--tail", "nan"}, "tail"},
      {{"-p", ""}, "program is empty"},
      {{"--quiet=yes"}, "takes no value"},
      {{"a.mid", "b.mid"}, "more than one MIDI file"},
      {{"--f"}, "option --f is ambiguous (--float, --follow-program-changes)"},
      {{"-qz"}, "unknown option -z"},
      {{"--qui=1"}, "option --quiet takes no value"},
      {{"--block"}, "option --block needs a value"},
      {{"--channels", "0"}, "channels are"},
  };
  for (const Case& c : cases) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(Parse(c.args, options, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << "\"" << error << "\"";
  }
}

TEST(CommandLine, ChannelListsBecomeChannelMasks) {
  RenderOptions options;
  std::string error;
  ASSERT_TRUE(Parse({}, options, error));
  EXPECT_EQ(options.channels, 0xFDFF) << "every channel but 10 by default";
  struct Case {
    const char* text;
    int mask;  // -1: refused
  };
  const Case cases[] = {{"all", 0xFFFF}, {"1-9,11-16", 0xFDFF}, {"10", 0x0200}, {"1,3,16", 0x8005},
                        {"2-2", 0x0002},  {"0", -1},           {"17", -1},      {"1-17", -1},
                        {"5-3", -1},      {"1,,2", -1},        {"", -1},        {"-3", -1},
                        {"1-", -1},       {"+1", -1},          {" 1", -1},      {"drums", -1}};
  for (const Case& c : cases) {
    const bool parsed = Parse({"--channels", c.text}, options, error);
    EXPECT_EQ(parsed, c.mask >= 0) << "\"" << c.text << "\"";
    if (parsed) {
      EXPECT_EQ(options.channels, c.mask) << c.text;
    } else {
      EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos) << error;
    }
  }
}

TEST(CommandLine, DefaultOutputFollowsTheMidiFileName) {
  EXPECT_EQ(DefaultOutputPath(""), "demo.wav");
  EXPECT_EQ(DefaultOutputPath("songs/tune.mid"), "songs/tune.wav");
  EXPECT_EQ(DefaultOutputPath("tune"), "tune.wav");
  EXPECT_EQ(DefaultOutputPath("dir.v2/tune"), "dir.v2/tune.wav");
  EXPECT_EQ(DefaultOutputPath("dir/.hidden"), "dir/.hidden.wav");
}

TEST(ProgramSelect, NumbersAndNamesResolveToIndices) {
  const std::vector<std::string> names = {"Phazed Orchestra", "Big Strings", "Init", "big strings 2"};
  struct Case {
    const char* which;
    int index;
  };
  const Case cases[] = {{"0", 0}, {"3", 3}, {"Big Strings", 1}, {"init", 2}, {"BIG STRINGS", 1}, {"big strings 2", 3}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(FindProgram(names, c.which, error), c.index) << c.which << ": " << error;
  }
  std::string error;
  EXPECT_EQ(FindProgram(names, "4", error), -1);
  EXPECT_NE(error.find("0 to 3"), std::string::npos) << error;
  EXPECT_EQ(FindProgram(names, "Small Strings", error), -1);
  EXPECT_NE(error.find("no program is named \"Small Strings\""), std::string::npos) << error;
}

}  // namespace
