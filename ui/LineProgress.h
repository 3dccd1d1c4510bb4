// The line loop of the table readers: every line of a file to a handler,
// with the progress bar in KiB of the file.
#pragma once

#include "core/LineReader.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace vltrx {

/// Lines between two progress updates.
inline constexpr uint32_t kProgressLines = 16 * 1024;

/// Calls handle(line) for every line of lines inside a progress phase of
/// 100 steps over the file's KiB, updated every kProgressLines lines and
/// filled at the end. The phase stays open: the caller ends it after its
/// own work on what was read.
template <class Handle>
void readLinesWithProgress(LineReader& lines, Ui& ui, Handle&& handle) {
  const uint64_t kib = lines.size() / 1024 + 1;
  const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(kib, UINT32_MAX));
  ui.beginPhase(100, total);
  std::string_view line;
  uint32_t sinceProgress = 0;
  while (lines.next(line)) {
    handle(line);
    if (++sinceProgress == kProgressLines) {
      sinceProgress = 0;
      ui.update(static_cast<uint32_t>(std::min<uint64_t>(lines.position() / 1024, total)));
    }
  }
  ui.update(total);
}

}  // namespace vltrx
