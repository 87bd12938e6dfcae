// The few POSIX calls that the test helpers shared with the Linux build use, for the Windows build.
// Included ahead of every test source there; the engine and the programs never see it.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Replaces the trailing XXXXXX of `templ` and creates that folder; `templ`, or NULL on failure.
static inline char* mkdtemp(char* templ) {
  size_t n = strlen(templ);
  if (n < 6 || strcmp(templ + n - 6, "XXXXXX") != 0) return NULL;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    unsigned v = (unsigned)rand() * 7919u + (unsigned)_getpid() * 104729u + ++counter * 2654435761u;
    for (int i = 0; i < 6; ++i, v /= 36) templ[n - 6 + i] = kLetters[v % 36];
    if (_mkdir(templ) == 0) return templ;
  }
  return NULL;
}
#endif
