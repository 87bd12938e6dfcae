// Test support: the Jet error number a piece of work fails with, or 0 when it succeeds.
#pragma once

#include <functional>

#include "jet/base/error.h"

namespace testing_support {

inline int errorNumber(const std::function<void()>& work) {
  try {
    work();
  } catch (const jet::Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace testing_support
