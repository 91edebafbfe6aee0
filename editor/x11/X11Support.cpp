// Pixels to windows, fonts and keys for our own windows, the X error handler of our connections, and starting
// the desktop's programs (file choosers, the browser) without a shell.
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "editor/x11/X11Session.h"

// ---------------------------------------------------------------- pixels

namespace {

int MaskShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int MaskBits(unsigned long mask) {
  mask >>= MaskShift(mask);
  int bits = 0;
  while (mask & 1) {
    mask >>= 1;
    ++bits;
  }
  return bits;
}

unsigned long Channel(int value, unsigned long mask) {
  const int bits = MaskBits(mask);
  if (bits <= 0) return 0;
  const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                         : static_cast<unsigned long>(value) >> (8 - bits);
  return (scaled << MaskShift(mask)) & mask;
}

}  // namespace

void PutBitmap(Display* display, Drawable target, GC gc, const X11Pixels& pixels, LICE_IBitmap& bitmap,
               const LICE_Rect& area, int x, int y) {
  const int width = area.Width();
  const int height = area.Height();
  if (!display || !target || width <= 0 || height <= 0) return;
  if (pixels.direct) {
    // Our pixels are the visual's: the image borrows the bitmap's rows.
    XImage* image = XCreateImage(display, pixels.visual, 24, ZPixmap, 0, reinterpret_cast<char*>(bitmap.Bits()),
                                 static_cast<unsigned>(bitmap.Width()), static_cast<unsigned>(bitmap.Height()), 32,
                                 bitmap.RowSpan() * 4);
    if (!image) return;
    image->byte_order = LSBFirst;
    XPutImage(display, target, gc, image, area.left, area.top, x, y, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  // Any other visual: the area converted pixel by pixel.
  XImage* image = XCreateImage(display, pixels.visual, static_cast<unsigned>(pixels.depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!image) return;
  image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * height));
  if (!image->data) {
    XDestroyImage(image);
    return;
  }
  const Visual* v = pixels.visual;
  for (int row = 0; row < height; ++row) {
    const LICE_pixel* source = bitmap.Row(area.top + row) + area.left;
    for (int column = 0; column < width; ++column) {
      const LICE_pixel p = source[column];
      XPutPixel(image, column, row,
                Channel(LICE_GETR(p), v->red_mask) | Channel(LICE_GETG(p), v->green_mask) |
                    Channel(LICE_GETB(p), v->blue_mask));
    }
  }
  XPutImage(display, target, gc, image, 0, 0, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XDestroyImage(image);
}

// ---------------------------------------------------------------- fonts and keys

std::unique_ptr<LICE_CachedFont> MakeFont(const char* face, int height, bool bold, bool italic) {
  LICE_FontDescription description;
  description.face = face ? face : "Arial";
  description.height = height;
  description.weight = bold ? 700 : 400;
  description.italic = italic;
  description.quality = 2;
  LICE_FontHandle handle = LICE_CreateFont(description);
  if (!handle) return nullptr;
  auto font = std::make_unique<LICE_CachedFont>();
  if (!font->SetFromHandle(handle, LICE_CachedFont::kOwnsHandle)) return nullptr;
  return font;
}

DialogKey DialogKeyOf(KeySym key) {
  switch (key) {
    case XK_Return:
    case XK_KP_Enter: return DialogKey::kEnter;
    case XK_Escape: return DialogKey::kEscape;
    case XK_BackSpace: return DialogKey::kBackspace;
    default: return DialogKey::kOther;
  }
}

// ---------------------------------------------------------------- errors

namespace {

struct DisplayErrors {
  std::mutex lock;
  std::vector<std::pair<Display*, int>> displays;  // ours, with the last error code
  XErrorHandler previous = nullptr;
  bool installed = false;
};

DisplayErrors& Errors() {
  static DisplayErrors errors;
  return errors;
}

int OnXError(Display* display, XErrorEvent* event) {
  XErrorHandler previous;
  {
    DisplayErrors& errors = Errors();
    std::lock_guard<std::mutex> hold(errors.lock);
    for (auto& entry : errors.displays) {
      if (entry.first == display) {
        entry.second = event ? event->error_code : 1;
        return 0;
      }
    }
    previous = errors.previous;
  }
  return previous ? previous(display, event) : 0;
}

// A broken connection of ours: the editor stops drawing instead of the process ending.
void OnConnectionLost(Display*, void*) {}

}  // namespace

void RegisterDisplay(Display* display) {
  DisplayErrors& errors = Errors();
  std::lock_guard<std::mutex> hold(errors.lock);
  if (!errors.installed) {
    errors.previous = XSetErrorHandler(OnXError);
    if (errors.previous == OnXError) errors.previous = nullptr;
    errors.installed = true;
  }
  errors.displays.emplace_back(display, 0);
  XSetIOErrorExitHandler(display, OnConnectionLost, nullptr);
}

void UnregisterDisplay(Display* display) {
  DisplayErrors& errors = Errors();
  std::lock_guard<std::mutex> hold(errors.lock);
  errors.displays.erase(std::remove_if(errors.displays.begin(), errors.displays.end(),
                                       [display](const auto& entry) { return entry.first == display; }),
                        errors.displays.end());
  if (errors.displays.empty() && errors.installed) {
    // The module may be unloaded next: the host's handler goes back, unless someone replaced ours since.
    const XErrorHandler current = XSetErrorHandler(errors.previous);
    if (current != OnXError) XSetErrorHandler(current);
    errors.installed = false;
    errors.previous = nullptr;
  }
}

int TakeDisplayError(Display* display) {
  DisplayErrors& errors = Errors();
  std::lock_guard<std::mutex> hold(errors.lock);
  for (auto& entry : errors.displays) {
    if (entry.first == display) {
      const int code = entry.second;
      entry.second = 0;
      return code;
    }
  }
  return 0;
}

bool WaitForDisplay(Display* display, int wakeFd, int timeoutMs) {
  if (XPending(display) > 0) return true;
  pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  const int count = wakeFd >= 0 ? 2 : 1;
  int result;
  do {
    result = poll(fds, static_cast<nfds_t>(count), timeoutMs);
  } while (result < 0 && errno == EINTR);
  return !(fds[0].revents & (POLLERR | POLLHUP | POLLNVAL));
}

// ---------------------------------------------------------------- programs

std::string FindProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string list = path && path[0] ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(':', start), list.size());
    const std::string folder = list.substr(start, end - start);
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + name;
      struct stat info {};
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return {};
}

namespace {

std::vector<char*> Arguments(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

int RunAndRead(const std::vector<std::string>& argv, std::string& output, const std::atomic<bool>* stop, int wakeFd) {
  output.clear();
  if (argv.empty()) return -1;
  std::vector<char*> args = Arguments(argv);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return -1;
  const pid_t child = fork();
  if (child < 0) {
    close(out[0]);
    close(out[1]);
    return -1;
  }
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  bool stopped = false;
  for (;;) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int result = poll(fds, wakeFd >= 0 ? 2 : 1, 200);
    if (stop && stop->load(std::memory_order_acquire)) {
      kill(child, SIGTERM);
      stopped = true;
      break;
    }
    if (result < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      char drain[64];
      while (read(wakeFd, drain, sizeof(drain)) > 0) {
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP)) {
      char buffer[4096];
      const ssize_t n = read(out[0], buffer, sizeof(buffer));
      if (n <= 0) break;
      output.append(buffer, static_cast<size_t>(n));
    }
  }
  close(out[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (stopped) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> args = Arguments(argv);
  // The grandchild runs the program; a pipe closed by a successful exec tells us it started. The
  // child ends at once, so nothing is left for us to reap.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      const int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        dup2(devnull, STDIN_FILENO);
        dup2(devnull, STDOUT_FILENO);
      }
      execv(args[0], args.data());
      const int error = errno;
      if (write(report[1], &error, sizeof(error)) < 0) {
        // Nothing more to tell.
      }
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof(error));
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}
