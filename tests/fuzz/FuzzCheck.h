#pragma once
// The harnesses' model checks. A failed check aborts, which the fuzzer reports
// as a crash and the corpus replay as a failed test.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))
