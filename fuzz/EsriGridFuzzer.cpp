// Fuzz target for the ESRI ASCII grid reader: every input ends with a
// layout whose points lie on cell centres, or with -2401 / -2402 and no
// layout left behind; nothing is sized from the header.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "formats/EsriGridReader.h"
#include "ui/Ui.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vltrx;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  resetMeasurementStore();
  SilentUi ui;
  ui.setQuiet(true);
  try {
    const BlockId layout = readEsriGridBytes(text, rootFolder(), "fuzz", "fuzz.asc", ui);
    if (!isLayout(layout)) std::abort();
    // A grid never holds more cells than the text has values.
    if (pointCount(layout) > size / 2 + 1) std::abort();
    for (uint32_t i = 0; i < pointCount(layout); ++i) {
      const MPoint& p = *pointAt(layout, i);
      if (!std::isfinite(p.z) || p.number != 0) std::abort();
    }
  } catch (const CError& e) {
    if (e.code() != -2401 && e.code() != -2402) std::abort();
    if (childAt(rootFolder(), 0) != 0) std::abort();
  }
  resetMeasurementStore();
  return 0;
}
