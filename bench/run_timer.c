/* Times whole runs of two commands, alternating so that both see the same
 * machine: each run is spawned with its output going to /dev/null and timed
 * from spawn to exit.
 *
 *   run_timer RUNS -- COMMAND_A [ARGS...] -- COMMAND_B [ARGS...]
 *
 * Prints one line per command (median, mean and minimum in microseconds) and
 * the ratio of A's median wall time to B's. Fails when any run fails: exits
 * with a status other than 0 and the one RUN_TIMER_STATUS names (a command
 * such as cmp says 1 for "different"). */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

enum { kWarmUp = 50 };

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

static double run_once(char **argv, const posix_spawn_file_actions_t *actions) {
  const double start = now_us();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], actions, NULL, argv, environ) != 0) {
    fprintf(stderr, "run_timer: cannot start %s\n", argv[0]);
    exit(1);
  }
  int status = 0;
  const char *also_ok = getenv("RUN_TIMER_STATUS");
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      (WEXITSTATUS(status) != 0 && (also_ok == NULL || WEXITSTATUS(status) != atoi(also_ok)))) {
    fprintf(stderr, "run_timer: %s failed\n", argv[0]);
    exit(1);
  }
  return now_us() - start;
}

static int by_value(const void *a, const void *b) {
  const double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

static double report(const char *name, double *times, int runs) {
  double sum = 0;
  for (int i = 0; i < runs; ++i) sum += times[i];
  qsort(times, (size_t)runs, sizeof *times, by_value);
  const double median = runs % 2 ? times[runs / 2] : (times[runs / 2 - 1] + times[runs / 2]) / 2;
  printf("%-6s median %8.1f us  mean %8.1f us  min %8.1f us  (%d runs)\n", name, median, sum / runs, times[0],
         runs);
  return median;
}

int main(int argc, char **argv) {
  int split = 0;
  for (int i = 3; i < argc; ++i) {
    if (strcmp(argv[i], "--") == 0) split = i;
  }
  const int runs = argc > 1 ? atoi(argv[1]) : 0;
  if (runs < 1 || argc < 6 || strcmp(argv[2], "--") != 0 || split < 4 || split == argc - 1) {
    fprintf(stderr, "use: run_timer RUNS -- COMMAND_A [ARGS...] -- COMMAND_B [ARGS...]\n");
    return 2;
  }
  argv[split] = NULL;
  char **a = argv + 3, **b = argv + split + 1;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

  double *ta = malloc(sizeof *ta * (size_t)runs), *tb = malloc(sizeof *tb * (size_t)runs);
  if (ta == NULL || tb == NULL) return 1;
  for (int i = 0; i < kWarmUp; ++i) {
    run_once(a, &actions);
    run_once(b, &actions);
  }
  for (int i = 0; i < runs; ++i) {
    ta[i] = run_once(a, &actions);
    tb[i] = run_once(b, &actions);
  }
  const double ma = report("A", ta, runs);
  const double mb = report("B", tb, runs);
  printf("ratio  %.3f\n", ma / mb);
  return 0;
}
