#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

// Skips a test that lacks something of the machine, unless the test
// environment (scripts/test-env) promised it by setting the variable
// promise: a run that has lost its display must fail, not pass with its
// desktop tests skipped.
#define POSTIQUE_SKIP_UNLESS_PROMISED(promise, why)                                   \
  do {                                                                                \
    if (std::getenv(promise)) {                                                       \
      FAIL() << why << ", though the test environment promised it (" promise " set)"; \
    }                                                                                 \
    GTEST_SKIP() << why;                                                              \
  } while (false)
