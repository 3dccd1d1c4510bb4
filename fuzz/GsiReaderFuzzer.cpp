// Fuzz target for the GSI reader. The first byte picks the comment and code
// word indexes, point-id mode and code page; the rest is the file. Every
// read must end with a layout or an error (and no layout left behind), never
// a crash or a hang; every word value must be finite.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "formats/GsiReader.h"
#include "tests/support/FakeCategories.h"
#include "ui/Ui.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace vltrx;

constexpr std::array<int, 4> kCommentIndexes = {71, 0, 41, 11};
constexpr std::array<int, 4> kCategoryIndexes = {0, 41, 71, 99};
constexpr std::array<uint32_t, 4> kCodePages = {1252, 65001, 932, 4242};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // Any 15 or 23 bytes as a word.
  for (size_t length : {15u, 23u}) {
    if (text.size() < length) continue;
    double value;
    bool angle;
    if (gsiValue(text.substr(0, length), value) && !std::isfinite(value)) std::abort();
    if (gsiRawValue(text.substr(0, length), value, angle) && !std::isfinite(value)) std::abort();
    if (gsiText(text.substr(0, length)).size() > length) std::abort();
  }

  GsiReadSettings settings;
  settings.commentWordIndex = kCommentIndexes[mode % 4];
  settings.categoryWordIndex = kCategoryIndexes[(mode >> 2) % 4];
  settings.alphaNumIds = (mode & 0x10) != 0;
  settings.codePage = kCodePages[(mode >> 6) % kCodePages.size()];

  resetMeasurementStore();
  test::FakeCategories categories;
  SilentUi ui;
  ui.setQuiet((mode & 0x20) != 0);
  try {
    LineReader lines(MemoryInput{text});
    const BlockId layout = readGsiLines(lines, rootFolder(), "fuzz", settings, categories, ui);
    if (!isLayout(layout)) std::abort();
  } catch (const CError& e) {
    if (e.code() >= 0) std::abort();
    if (childAt(rootFolder(), 0) != 0) std::abort();
  } catch (const ExitRequest&) {
    if (childAt(rootFolder(), 0) != 0) std::abort();
  }
  resetMeasurementStore();
  return 0;
}
