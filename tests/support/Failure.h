// Test helper: the code a call ends with, for error tests that assert codes.
#pragma once

#include <functional>

#include "core/CError.h"
#include "ui/Ui.h"

namespace vltrx::test {

/// Code of the CError or ExitRequest that f throws; 0 when it returns.
inline int failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const CError& e) {
    return e.code();
  } catch (const ExitRequest& e) {
    return e.code;
  }
  return 0;
}

}  // namespace vltrx::test
