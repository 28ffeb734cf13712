#pragma once
// The POSIX call the packer's test tables use to prepare their folders, for
// the Windows build of those tables. Force-included there only.

#ifdef _WIN32
#include <direct.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

// Replaces the trailing "XXXXXX" of pattern and makes that directory.
inline char* mkdtemp(char* pattern) {
  const size_t length = strlen(pattern);
  if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static unsigned counter = GetCurrentProcessId() * 7919u + GetTickCount();
  const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned value = ++counter * 2654435761u;
    for (size_t i = length - 6; i < length; ++i, value /= 36) pattern[i] = digits[value % 36];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

#endif
