/* How long a program takes to put its first window on the screen, and what it weighs then.
 *
 * Usage: map_timer SECONDS PROGRAM [ARGUMENT...]
 * Starts PROGRAM on the X display of $DISPLAY and waits, on X events alone, for the MapNotify
 * of the first top-level window it maps: this client selects SubstructureNotify on the root
 * window before the program starts, so the server tells it the moment the window is mapped
 * (no polling). SECONDS later it reads the program's resident memory, ends the program and
 * prints one line: "map_ms=N rss_kib=N". Exits non-zero when either could not be taken. */

#define _POSIX_C_SOURCE 200809L

#include <X11/Xlib.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kMapTimeoutSeconds = 60 };

static int childReaped = 0; /* a reaped child's number may already belong to another process */

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec * 1e3 + (double)now.tv_nsec / 1e6;
}

/* Waits for the MapNotify of a top-level window that is not an override-redirect one (menus
 * and tooltips are). Returns 0 once seen, -1 on a time-out or when the program has ended. */
static int WaitForMap(Display* display, pid_t child) {
  const double deadline = Now() + kMapTimeoutSeconds * 1e3;
  while (Now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && !event.xmap.override_redirect) {
        return 0;
      }
    }
    if (waitpid(child, NULL, WNOHANG) == child) {
      childReaped = 1;
      fprintf(stderr, "map_timer: the program ended before it showed a window\n");
      return -1;
    }
    /* Sleeps until the X server writes; the short bound only notices a program that died. */
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ConnectionNumber(display), &readable);
    struct timeval bound = {0, 200 * 1000};
    select(ConnectionNumber(display) + 1, &readable, NULL, NULL, &bound);
  }
  fprintf(stderr, "map_timer: no window within %d s\n", kMapTimeoutSeconds);
  return -1;
}

/* VmRSS of `pid` in KiB, or -1. */
static long ResidentKib(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE* status = fopen(path, "r");
  if (status == NULL) {
    return -1;
  }
  char line[256];
  long kib = -1;
  while (fgets(line, sizeof line, status) != NULL) {
    if (sscanf(line, "VmRSS: %ld kB", &kib) == 1) {
      break;
    }
  }
  fclose(status);
  return kib;
}

static void Stop(pid_t child) {
  if (childReaped) {
    return;
  }
  kill(child, SIGTERM);
  waitpid(child, NULL, 0);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: map_timer SECONDS PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  const unsigned settle = (unsigned)strtoul(argv[1], NULL, 10);
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "map_timer: cannot open the display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False); /* the selection holds before the program can map anything */

  const double start = Now();
  const pid_t child = fork();
  if (child < 0) {
    perror("map_timer: fork");
    return 1;
  }
  if (child == 0) {
    close(ConnectionNumber(display));
    execvp(argv[2], argv + 2);
    fprintf(stderr, "map_timer: cannot start %s: %s\n", argv[2], strerror(errno));
    _exit(127);
  }
  if (WaitForMap(display, child) != 0) {
    Stop(child);
    return 1;
  }
  const double mapped = Now() - start;
  sleep(settle);
  const long kib = ResidentKib(child);
  Stop(child);
  XCloseDisplay(display);
  if (kib < 0) {
    fprintf(stderr, "map_timer: cannot read the program's resident memory\n");
    return 1;
  }
  printf("map_ms=%.1f rss_kib=%ld\n", mapped, kib);
  return 0;
}
