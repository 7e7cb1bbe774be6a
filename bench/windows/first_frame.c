/* first_frame TITLE X Y RRGGBB -- COMMAND...: starts COMMAND and prints the
 * milliseconds until a window titled TITLE shows colour RRGGBB at its pixel
 * (X, Y) on this X display; then ends COMMAND (SIGKILL) and its children
 * with it (its own process group), and waits for the window to go. Status 1
 * after 60 s without it. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

/* The first viewable window titled `title` under `w`, or 0. */
static Window find(Display* display, Window w, const char* title) {
  char* name = NULL;
  XWindowAttributes attributes;
  if (XFetchName(display, w, &name) && name != NULL) {
    const int same = strcmp(name, title) == 0;
    XFree(name);
    if (same && XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsViewable) return w;
  }
  Window root, parent, *children = NULL;
  unsigned int count = 0;
  Window found = 0;
  if (XQueryTree(display, w, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count && found == 0; ++i) found = find(display, children[i], title);
    if (children != NULL) XFree(children);
  }
  return found;
}

static int ignore_errors(Display* display, XErrorEvent* error) {
  (void)display;
  (void)error;
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 7 || strcmp(argv[5], "--") != 0) {
    fputs("usage: first_frame TITLE X Y RRGGBB -- COMMAND...\n", stderr);
    return 2;
  }
  const int x = atoi(argv[2]), y = atoi(argv[3]);
  const unsigned long want = strtoul(argv[4], NULL, 16);
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) return 1;
  XSetErrorHandler(ignore_errors); /* the window may go between two calls */
  const double start = now_ms();
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    execvp(argv[6], argv + 6);
    _exit(127);
  }
  setpgid(child, child);
  int status = 1;
  while (now_ms() - start < 60000) {
    const Window w = find(display, DefaultRootWindow(display), argv[1]);
    XImage* image = w != 0 ? XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap) : NULL;
    if (image != NULL) {
      const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
      XDestroyImage(image);
      if (pixel == want) {
        printf("%.1f\n", now_ms() - start);
        status = 0;
        break;
      }
    }
    usleep(2000);
  }
  kill(-child, SIGKILL);
  waitpid(child, NULL, 0);
  /* Gone from the screen too, so that the next run never finds this one's window. */
  for (const double end = now_ms() + 5000; now_ms() < end && find(display, DefaultRootWindow(display), argv[1]) != 0;) {
    usleep(10000);
  }
  XCloseDisplay(display);
  return status;
}
