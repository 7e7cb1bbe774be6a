// xpointer: pointer input for the real-window tests through XTest, as fast as
// an 8 kHz mouse or a backlog brings it (xdotool's one request a move is far
// slower). Steps run in order on one connection to $DISPLAY:
//   down B | up B        press or release button B
//   at X Y               the pointer to X, Y
//   sweep N RATE X0 Y0 X1 Y1
//                        N moves to and fro between the two points (each move
//                        a pixel or more), RATE a second (0: all at once)
// Prints how many moves it sent and in how many ms.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static double NowMs() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

static long Arg(char** argv, int at, int argc) {
  if (at >= argc) {
    std::fprintf(stderr, "xpointer: %s wants more numbers\n", argv[at - 1]);
    std::exit(2);
  }
  return std::strtol(argv[at], nullptr, 10);
}

// N moves along the line from (x0, y0) to (x1, y1) and back, `span` moves each way.
static void Sweep(Display* d, long n, long rate, long x0, long y0, long x1, long y1) {
  const long span = std::labs(x1 - x0) > std::labs(y1 - y0) ? std::labs(x1 - x0) : std::labs(y1 - y0);
  const double start = NowMs();
  for (long i = 0; i < n; ++i) {
    const long k = span == 0 ? 0 : i % (2 * span) < span ? i % (2 * span) : 2 * span - i % (2 * span);
    XTestFakeMotionEvent(d, -1, static_cast<int>(x0 + (x1 - x0) * k / (span ? span : 1)),
                         static_cast<int>(y0 + (y1 - y0) * k / (span ? span : 1)), CurrentTime);
    if (rate > 0 && (i + 1) % (rate / 1000 > 0 ? rate / 1000 : 1) == 0) {
      XFlush(d);
      const double due = start + static_cast<double>(i + 1) * 1e3 / static_cast<double>(rate);
      for (double now = NowMs(); now < due; now = NowMs()) {
        const timespec pause = {0, static_cast<long>((due - now) * 1e6)};
        nanosleep(&pause, nullptr);
      }
    }
  }
  XSync(d, False);
  std::printf("%ld moves in %.0f ms\n", n, NowMs() - start);
}

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  if (d == nullptr || !XTestQueryExtension(d, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "xpointer: no X display with XTest\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "down") == 0 || std::strcmp(argv[i], "up") == 0) {
      XTestFakeButtonEvent(d, static_cast<unsigned>(Arg(argv, i + 1, argc)), argv[i][0] == 'd', CurrentTime);
      i += 1;
    } else if (std::strcmp(argv[i], "at") == 0) {
      XTestFakeMotionEvent(d, -1, static_cast<int>(Arg(argv, i + 1, argc)), static_cast<int>(Arg(argv, i + 2, argc)),
                           CurrentTime);
      i += 2;
    } else if (std::strcmp(argv[i], "sweep") == 0) {
      Sweep(d, Arg(argv, i + 1, argc), Arg(argv, i + 2, argc), Arg(argv, i + 3, argc), Arg(argv, i + 4, argc),
            Arg(argv, i + 5, argc), Arg(argv, i + 6, argc));
      i += 6;
    } else {
      std::fprintf(stderr, "xpointer: unknown step %s\n", argv[i]);
      return 2;
    }
  }
  XSync(d, False);
  XCloseDisplay(d);
  return 0;
}
