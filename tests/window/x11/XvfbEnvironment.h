// An X server of the test's own: a private Xvfb (24-bit, -noreset) started before the first test and
// stopped after the last, with DISPLAY pointing at it in between.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

class XvfbEnvironment : public ::testing::Environment {
 public:
  // geometry: the screen, e.g. "1280x800x24".
  explicit XvfbEnvironment(const char* geometry) : mGeometry(geometry) {}

  void SetUp() override {
    // Xvfb picks a free display itself and writes its number when it is ready.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    mServer = fork();
    ASSERT_GE(mServer, 0);
    if (mServer == 0) {
      close(ready[0]);
      const int quiet = open("/dev/null", O_WRONLY);
      if (quiet >= 0) {
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
      }
      const std::string fd = std::to_string(ready[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", mGeometry.c_str(), "-noreset", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
      if (poll(&p, 1, 100) <= 0) continue;
      char c[16];
      const ssize_t n = read(ready[0], c, sizeof(c));
      if (n <= 0) break;
      number.append(c, static_cast<size_t>(n));
    }
    close(ready[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start (tools/setup.sh installs it)";
    number.pop_back();
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  void TearDown() override {
    if (mServer > 0) {
      kill(mServer, SIGTERM);
      waitpid(mServer, nullptr, 0);
    }
  }

 private:
  std::string mGeometry;
  pid_t mServer = -1;
};
