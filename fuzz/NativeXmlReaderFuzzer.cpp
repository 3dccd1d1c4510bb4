// Fuzz target for the native XML reader: any input either reads into the
// store or ends with a CError, and every layout left behind is whole (its
// polygons own exactly its points).
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "ui/Ui.h"
#include "xml/NativeXmlReader.h"
#include "xml/XmlReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace vltrx;

// Categories 1..100 and 10000 and above are known; category_ref maps each
// document id to itself.
class FuzzCategories : public NativeCategoryHooks {
 public:
  bool isActive(uint16_t id) const override { return id <= 100 || id >= 10000; }
  void writeCategoryRef(XmlWriter&, std::span<const uint16_t>) override {}
  void writeCategoryList(XmlWriter&) override {}
  int readCategoryList(XmlReader&) override { return 0; }
  int readCategoryRef(XmlReader&, std::vector<uint16_t>& map) override {
    for (size_t i = 1; i < map.size(); ++i) map[i] = static_cast<uint16_t>(i);
    return 0;
  }
};

void checkLayouts(BlockId node) {
  visit(node, [](BlockId n, int phase) {
    if (phase != 0) return 1;
    uint64_t owned = 0;
    for (uint32_t i = 0; i < polygonCount(n); ++i) {
      int16_t count = polygonAt(n, i)->pointCount;
      if (count <= 0) std::abort();
      owned += static_cast<uint64_t>(count);
    }
    if (owned != pointCount(n)) std::abort();
    return 1;
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  resetMeasurementStore();
  SilentUi ui;
  ui.setQuiet(true);
  NativeXmlCallback callback;
  FuzzCategories categories;
  std::string_view doc(reinterpret_cast<const char*>(data), size);
  for (bool keepOffsets : {false, true}) {
    try {
      readNativeXmlText(doc, rootFolder(), {.checkPointNumbers = true, .keepOffsets = keepOffsets}, ui, callback,
                        &categories);
    } catch (const CError&) {
    }
    checkLayouts(rootFolder());
  }
  return 0;
}
