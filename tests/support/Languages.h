// Test helper: the six languages of the message table, for tests that check
// a text in every one of them.
#pragma once

#include "core/MessageTable.h"

namespace vltrx::test {

inline constexpr Language kLanguages[] = {Language::De, Language::En, Language::Fr,
                                          Language::It, Language::Es, Language::Ru};

}  // namespace vltrx::test
