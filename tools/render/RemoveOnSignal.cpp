#include "tools/render/RemoveOnSignal.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Only async-signal-safe state: a fixed buffer and a flag.
char gPath[PATH_MAX];
volatile sig_atomic_t gArmed = 0;
bool gInstalled = false;

void OnSignal(int signal) {
  if (gArmed) unlink(gPath);
  // Blocked while this handler runs, the signal raised again takes its default action on return.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void Install() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous;
    // A signal the caller ignores (nohup) stays ignored.
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
  gInstalled = true;
}

}  // namespace

namespace RemoveOnSignal {

void Arm(const std::string& path) {
  gArmed = 0;
  if (path.size() >= sizeof(gPath)) return;
  std::memcpy(gPath, path.c_str(), path.size() + 1);
  if (!gInstalled) Install();
  gArmed = 1;
}

int CreateArmed(std::string& pathTemplate, int suffixLength) {
  sigset_t held, previous;
  sigemptyset(&held);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, &previous);
  const int fd = mkstemps(&pathTemplate[0], suffixLength);
  const int createError = errno;
  if (fd >= 0) Arm(pathTemplate);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  errno = createError;
  return fd;
}

void Disarm() { gArmed = 0; }

}  // namespace RemoveOnSignal
