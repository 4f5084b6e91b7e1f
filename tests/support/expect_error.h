// Checking that code fails with the right error number, in the spirit of
// EXPECT_THROW: EXPECT_ERROR(decodeBmp(bytes), err::InvalidPicture).
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "core/error.h"

namespace zwp::test {

// The number of the Error that action raises, or 0 when it raises none.
inline int errorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

// The refusal that action raises (always error 481), or Refusal::None when
// it raises none.
inline Refusal refusalOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::InvalidPicture);
    return e.reason();
  }
  return Refusal::None;
}

}  // namespace zwp::test

#define EXPECT_ERROR(statement, number) \
  EXPECT_EQ(::zwp::test::errorNumberOf([&] { (void)(statement); }), (number)) << "from: " #statement
