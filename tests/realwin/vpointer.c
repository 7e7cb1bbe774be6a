/* A pointer for the Wayland tests, made through the compositor's virtual
 * pointer protocol. Says "ok" on stdout once the compositor has the pointer,
 * then reads one step a line from stdin and answers "ok" once it has each:
 *   move X Y        the pointer to (X, Y), logical pixels of the layout
 *   glide X Y N     there in N moves, 10 ms apart
 *   down BUTTON     press left, right or middle; up BUTTON releases it
 * Usage: rw_vpointer LAYOUT-WIDTH LAYOUT-HEIGHT */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "virtual_pointer.h"

struct globals {
  struct wl_seat* seat;
  struct zwlr_virtual_pointer_manager_v1* manager;
};

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  struct globals* g = data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !g->seat)
    g->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    g->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static uint32_t now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

static int button_code(const char* name) {
  return strcmp(name, "left") == 0     ? BTN_LEFT
         : strcmp(name, "right") == 0  ? BTN_RIGHT
         : strcmp(name, "middle") == 0 ? BTN_MIDDLE
                                       : -1;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s LAYOUT-WIDTH LAYOUT-HEIGHT\n", argv[0]);
    return 2;
  }
  const unsigned width = (unsigned)atoi(argv[1]), height = (unsigned)atoi(argv[2]);
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    perror("rw_vpointer: no Wayland display");
    return 1;
  }
  struct globals g = {0};
  static const struct wl_registry_listener listener = {global, global_remove};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, &g);
  if (wl_display_roundtrip(display) < 0 || !g.manager) {
    fprintf(stderr, "rw_vpointer: the compositor offers no virtual pointer\n");
    return 1;
  }
  struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.manager, g.seat);
  if (wl_display_roundtrip(display) < 0) return 1;
  printf("ok\n");
  fflush(stdout);
  double x = 0, y = 0, to_x, to_y;
  int steps;
  char line[128], verb[8], button[8];
  while (fgets(line, sizeof line, stdin)) {
    steps = 1;
    if (sscanf(line, "move %lf %lf", &to_x, &to_y) == 2 ||
        sscanf(line, "glide %lf %lf %d", &to_x, &to_y, &steps) == 3) {
      for (int i = 1; i <= steps; i++) {
        const double at_x = x + (to_x - x) * i / steps, at_y = y + (to_y - y) * i / steps;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), (uint32_t)at_x, (uint32_t)at_y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_flush(display);
        if (i < steps) nanosleep(&(struct timespec){0, 10000000}, NULL);
      }
      x = to_x, y = to_y;
    } else if (sscanf(line, "%7s %7s", verb, button) == 2 && button_code(button) >= 0 &&
               (strcmp(verb, "down") == 0 || strcmp(verb, "up") == 0)) {
      zwlr_virtual_pointer_v1_button(
          pointer, now_ms(), (uint32_t)button_code(button),
          strcmp(verb, "down") == 0 ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
      zwlr_virtual_pointer_v1_frame(pointer);
    } else {
      fprintf(stderr, "rw_vpointer: what is '%s'?\n", strtok(line, "\n"));
      return 2;
    }
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ok\n");
    fflush(stdout);
  }
  wl_display_disconnect(display);
  return 0;
}
