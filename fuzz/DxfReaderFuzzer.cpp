// Fuzz target for the DXF pair reader, the entity parsers, the curves and
// the post-processing. The first byte picks the layer rules, the
// centre-point method and the chord error; the rest is the drawing. Every
// read must end with a layout, no layout (no plan layers) or an error, and a
// failed read must leave nothing in the store.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "formats/dxf/DxfGroupReader.h"
#include "formats/dxf/DxfReader.h"
#include "ui/Ui.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vltrx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  DxfReadSettings settings;
  settings.importAllLayers = (mode & 0x01) != 0;
  settings.withoutAssignment = (mode & 0x02) != 0;
  settings.keepPrefix = (mode & 0x04) != 0;
  settings.cpMethod = (mode >> 3) % 3;
  settings.approx = (mode & 0x20) ? 0.001 : 0.01;
  settings.epsilon = (mode & 0x40) ? 0.0 : 0.005;
  settings.acceptDuplicateIds = true;
  // Categories without the record store.
  settings.categoryForName = [](std::string_view name) { return static_cast<uint16_t>(1 + name.size() % 50); };

  resetMeasurementStore();
  SilentUi ui;
  ui.setQuiet(true);
  try {
    DxfGroupReader reader(text);
    const BlockId layout = readDxfInput(reader, rootFolder(), "fuzz", settings, ui);
    if (layout != 0 && !isLayout(layout)) std::abort();
  } catch (const CError& e) {
    if (e.code() >= 0) std::abort();
    if (childAt(rootFolder(), 0) != 0) std::abort();
  }
  resetMeasurementStore();
  return 0;
}
