// Start-up measurements for the benchmarks, each the median of many runs:
//   timing handoff N STAMP PROGRAM ARGS...  from the start of PROGRAM to the
//       moment the program it launches (the stamp program, on the search
//       path) writes its clock into the file STAMP;
//   timing stamp FILE  (the launched program) writes the clock into FILE;
//   timing run N PROGRAM ARGS...  from start to end, input answered from
//       the file in BENCH_INPUT when set;
//   timing window N TITLE PROGRAM ARGS...  from start to the moment a
//       window with TITLE is mapped on the display.
//   timing measure PROGRAM ARGS...  one run: wall time, user and system CPU
//       in seconds, to the tenth of a millisecond (/usr/bin/time gives
//       hundredths), and peak resident memory in KB (at least this
//       program's own, which a child inherits as its peak).
// BENCH_BEFORE, when set, is a shell command run (untimed) before each run.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Starts the program; start is the moment it was started.
pid_t Start(char** argv, double& start) {
  if (const char* before = std::getenv("BENCH_BEFORE")) {
    if (std::system(before) != 0) std::fprintf(stderr, "BENCH_BEFORE failed\n");
  }
  start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    const char* input = std::getenv("BENCH_INPUT");
    const int in = open(input ? input : "/dev/null", O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvp(argv[0], argv);
    _exit(127);
  }
  return pid;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A window may be gone before its name is asked for: that is no error here.
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

void Report(const char* what, const std::vector<double>& ms) {
  std::printf("%s %.2f\n", what, Median(ms));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  if (mode == "measure") {
    double start = 0;
    const pid_t pid = Start(argv + 2, start);
    rusage usage;
    int status = 0;
    if (wait4(pid, &status, 0, &usage) != pid) return 1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
      std::fprintf(stderr, "%s could not be started\n", argv[2]);
      return 1;
    }
    const double wall = Now() - start;
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    std::printf("%.4f %.4f %.4f %ld\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
                usage.ru_maxrss);
    return 0;
  }
  if (mode == "stamp") {
    const double now = Now();
    FILE* f = std::fopen(argv[2], "w");
    if (!f) return 1;
    std::fprintf(f, "%.9f\n", now);
    return std::fclose(f) == 0 ? 0 : 1;
  }
  const int runs = std::atoi(argv[2]);
  std::vector<double> ms;
  if (mode == "handoff") {
    const char* stamp = argv[3];
    for (int i = 0; i < runs; ++i) {
      unlink(stamp);
      double start = 0;
      const pid_t pid = Start(argv + 4, start);
      double launched = 0;
      for (int wait = 0; wait < 5000 && launched == 0; ++wait) {
        if (FILE* f = std::fopen(stamp, "r")) {
          if (std::fscanf(f, "%lf", &launched) != 1) launched = 0;
          std::fclose(f);
        }
        if (launched == 0) usleep(1000);
      }
      waitpid(pid, nullptr, 0);
      ms.push_back((launched - start) * 1000);
    }
    Report("handoff_ms", ms);
  } else if (mode == "run") {
    for (int i = 0; i < runs; ++i) {
      double start = 0;
      waitpid(Start(argv + 3, start), nullptr, 0);
      ms.push_back((Now() - start) * 1000);
    }
    Report("run_ms", ms);
  } else if (mode == "window") {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    XSetErrorHandler(IgnoreXError);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    for (int i = 0; i < runs; ++i) {
      double start = 0;
      const pid_t pid = Start(argv + 4, start);
      double shown = 0;
      while (shown == 0 && Now() - start < 10) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify) continue;
        char* name = nullptr;
        if (XFetchName(display, event.xmap.window, &name) && name) {
          if (std::strcmp(name, argv[3]) == 0) shown = Now();
          XFree(name);
        }
      }
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      ms.push_back((shown - start) * 1000);
    }
    Report("window_ms", ms);
  }
  return 0;
}
