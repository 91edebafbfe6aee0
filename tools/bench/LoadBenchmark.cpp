// Start-up cost of the instrument as a host scanning plug-ins or opening a session meets it: each
// repetition runs in a fresh process (this program run again as a child), which loads the module,
// opens an instance, sets the sample rate, switches it on and renders the first block; then switches
// it off, sets a second rate, switches it on and renders one block more. Both spans are measured as
// the child's process CPU time.
//
//   out/linux/sarn-bench-load [--module=PATH] [--repetitions=N] [--first-rate=HZ] [--second-rate=HZ]
//
// The module defaults to Sarn.so beside this executable; 5 repetitions, 48 kHz then 44.1 kHz.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/render/VstModule.h"

namespace {

constexpr int kBlock = 256;

struct Options {
  std::string module;
  int repetitions = 5;
  double firstRate = 48000.0;
  double secondRate = 44100.0;
};

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}


// Rate, on, one block: what a host does before it hears the instrument.
bool StartAtRate(VstModule& module, double rate) {
  module.Transport().sampleRate = rate;
  module.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  module.Dispatch(effSetBlockSize, 0, kBlock);
  module.Dispatch(effMainsChanged, 0, 1);
  static float left[kBlock], right[kBlock], silence[kBlock];
  float* inputs[2] = {silence, silence};
  float* outputs[2] = {left, right};
  AEffect* effect = module.Effect();
  if (effect->numOutputs != 2 || !effect->processReplacing) return false;
  effect->processReplacing(effect, inputs, outputs, kBlock);
  return true;
}

// The child: prints "<load to first block ms> <second rate ms>".
int RunChild(const Options& options) {
  const double start = ProcessCpuMs();
  VstModule module;
  std::string error;
  if (!module.Load(options.module, error)) {
    std::fprintf(stderr, "sarn-bench-load: %s\n", error.c_str());
    return 1;
  }
  module.Dispatch(effOpen);
  if (!StartAtRate(module, options.firstRate)) {
    std::fprintf(stderr, "sarn-bench-load: the module is not a stereo instrument\n");
    return 1;
  }
  const double loaded = ProcessCpuMs();
  module.Dispatch(effMainsChanged, 0, 0);
  StartAtRate(module, options.secondRate);
  const double changed = ProcessCpuMs();
  std::printf("%.3f %.3f\n", loaded - start, changed - loaded);
  return 0;
}

// Runs one child and reads its two figures.
bool RunRepetition(const char* self, const std::vector<std::string>& arguments, double& load, double& change) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return false;
  }
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    std::vector<char*> argv{const_cast<char*>(self), const_cast<char*>("--child")};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(self, argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  char text[128] = {};
  size_t used = 0;
  ssize_t got = 0;
  while (used < sizeof(text) - 1 && (got = read(pipeEnds[0], text + used, sizeof(text) - 1 - used)) > 0) used += got;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::sscanf(text, "%lf %lf", &load, &change) == 2;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) * 0.5;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.module = ModuleBesideExecutable();
  bool child = false;
  std::vector<std::string> passOn;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--child") {
      child = true;
      continue;
    }
    if (a.rfind("--module=", 0) == 0) {
      options.module = a.substr(9);
    } else if (a.rfind("--repetitions=", 0) == 0) {
      options.repetitions = std::max(1, std::atoi(a.c_str() + 14));
    } else if (a.rfind("--first-rate=", 0) == 0) {
      options.firstRate = std::atof(a.c_str() + 13);
    } else if (a.rfind("--second-rate=", 0) == 0) {
      options.secondRate = std::atof(a.c_str() + 14);
    } else {
      std::fprintf(stderr, "usage: sarn-bench-load [--module=PATH] [--repetitions=N] [--first-rate=HZ] "
                           "[--second-rate=HZ]\n");
      return 2;
    }
    passOn.push_back(a);
  }
  if (child) return RunChild(options);

  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return 1;
  self[length] = 0;
  std::vector<double> loads, changes;
  for (int r = 0; r < options.repetitions; ++r) {
    double load = 0.0, change = 0.0;
    if (!RunRepetition(self, passOn, load, change)) {
      std::fprintf(stderr, "sarn-bench-load: repetition %d failed\n", r + 1);
      return 1;
    }
    loads.push_back(load);
    changes.push_back(change);
  }
  std::printf("module: %s\n", options.module.c_str());
  std::printf("CPU ms, median (min-max) of %d fresh processes:\n", options.repetitions);
  std::printf("  load, open, %.0f Hz, first block: %.2f (%.2f-%.2f)\n", options.firstRate, Median(loads),
              *std::min_element(loads.begin(), loads.end()), *std::max_element(loads.begin(), loads.end()));
  std::printf("  change to %.0f Hz, one block:     %.2f (%.2f-%.2f)\n", options.secondRate, Median(changes),
              *std::min_element(changes.begin(), changes.end()), *std::max_element(changes.begin(), changes.end()));
  return 0;
}
