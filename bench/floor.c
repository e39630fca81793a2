/* The floor one run of tolvik is measured against: a static C program that
 * prints a text of the given length (lines of 63 characters) and exits. */
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char **argv) {
  static char text[65536];
  size_t length = argc > 1 ? strtoul(argv[1], NULL, 10) : 0;
  if (length > sizeof text) length = sizeof text;
  memset(text, 'x', length);
  for (size_t i = 63; i < length; i += 64) text[i] = '\n';
  return write(STDOUT_FILENO, text, length) == (ssize_t)length ? 0 : 1;
}
