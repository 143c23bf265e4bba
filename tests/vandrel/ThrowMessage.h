#pragma once
// Expects a statement (or a callable) to throw vandrel's constant message
// text `msg`; shared by the unit tests of every subsystem.
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

// The same for a callable, for call sites that read better as a lambda.
template <class F>
void ExpectThrows(F f, const char* message) {
  try {
    f();
    ADD_FAILURE() << "no failure, expected: " << message;
  } catch (const char* m) {
    EXPECT_STREQ(m, message);
  }
}
