// Fuzz target for the TXT reader. The first byte picks delimiter, decimal
// character, point-id mode and code page, the second the layout string; the
// rest is the file. Every read must end with a layout or an error (and no
// layout left behind), never a crash or a hang.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "formats/TxtReader.h"
#include "tests/support/FakeCategories.h"
#include "ui/Ui.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace vltrx;

constexpr std::array<char, 5> kDelimiters = {11, 9, ';', ',', ' '};
constexpr std::array<const char*, 8> kLayouts = {"#XYZ", "#NEZ", "#XYIZ", "#XYZKP", "XY", "#EN", "kp#yxz", "#XYEZ"};
constexpr std::array<uint32_t, 4> kCodePages = {1252, 65001, 932, 4242};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);

  TxtReadSettings settings;
  settings.delimiter = kDelimiters[mode % kDelimiters.size()];
  settings.decimal = (mode & 0x08) ? ',' : '.';
  settings.pidReduce = (mode & 0x10) != 0;
  settings.alphaNumIds = (mode & 0x20) != 0;
  settings.codePage = kCodePages[(mode >> 6) % kCodePages.size()];
  settings.acceptDuplicateIds = (mode & 0x04) != 0;
  settings.layout = kLayouts[data[1] % kLayouts.size()];

  resetMeasurementStore();
  test::FakeCategories categories;
  SilentUi ui;
  ui.setQuiet((data[1] & 0x80) != 0);
  try {
    LineReader lines(MemoryInput{text});
    const BlockId layout = readTxtLines(lines, rootFolder(), "fuzz", settings, categories, ui);
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
