// Fuzz target for blocks, inserts, texts, proxy entities and the point-id
// import of the DXF reader. The first byte picks expansion or anchors, the
// proxy anchors, the point-id source, epsilon and the layer selector; the
// rest is the drawing. Every read must end with a layout, no layout or an
// error (never a hang or endless recursion), and a failed read must leave
// nothing in the store.
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
  settings.importBlocks = true;
  settings.blockAnchorPoints = (mode & 0x02) != 0;
  settings.importProxyAnchorPoints = (mode & 0x04) != 0;
  settings.pidImport = (mode & 0x08) != 0;
  settings.pidSource = (mode >> 4) % 3;
  settings.pidEpsilon = (mode & 0x40) ? 0.0 : 0.5;
  settings.pidIgnoreZ = (mode & 0x40) != 0;
  static const char* const kLayers[] = {"*", "&", "", "VL_A"};
  settings.pidLayer = kLayers[(mode >> 6) & 3];
  settings.pidAttribute = "PNR";
  settings.pidTextNumber = 1 + (mode & 1);
  settings.pidAlphaNum = (mode & 0x20) != 0;
  settings.acceptDuplicateIds = true;
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
