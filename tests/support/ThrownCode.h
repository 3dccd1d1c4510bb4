// Test helper: the CError code that a call throws (0 when it throws none).
// Header-only, usable by every test suite.
#pragma once

#include "core/CError.h"

#include <functional>

namespace vltrx::test {

inline int thrownCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const CError& e) {
    return e.code();
  }
  return 0;
}

}  // namespace vltrx::test
