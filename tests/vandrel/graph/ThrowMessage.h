#pragma once
// Expects `stmt` to throw vandrel's constant message text `msg`.
#include <gtest/gtest.h>

#define EXPECT_THROW_MSG(stmt, msg)        \
  do {                                     \
    try {                                  \
      stmt;                                \
      ADD_FAILURE() << "no throw: " #stmt; \
    } catch (const char* m) {              \
      EXPECT_STREQ(m, msg);                \
    }                                      \
  } while (0)
