// Fuzz target for the REB reader and writer. The first byte picks the id
// mode and code page; the rest is the file. A read ends with a layout or an
// error and leaves no layout behind on failure; a layout read is written
// again with all three record types, whose point records keep their 80 and
// 40 columns, and that output reads back.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "formats/RebReader.h"
#include "formats/RebWriter.h"
#include "formats/TableCategories.h"
#include "framework/SurveyOptions.h"
#include "ui/Ui.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace vltrx;

// Ids 1 to 20 exist, nothing is created.
class FuzzCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view, CategorySet&) override {}
  bool nameOf(uint16_t id, std::string& name) override {
    name = "c";
    return id >= 1 && id <= 20;
  }
};

constexpr std::array<uint32_t, 3> kCodePages = {1252, 65001, 932};

void checkRecords(std::string_view out) {
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find("\r\n", at);
    if (end == std::string_view::npos) std::abort();
    const std::string_view record = out.substr(at, end - at);
    if (record.substr(0, 2) == "30" && record.size() != 80) std::abort();
    if (record.substr(0, 2) == "45" && record.size() != 40) std::abort();
    at = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  RebReadSettings settings;
  settings.alphaNumIds = (mode & 0x01) != 0;
  settings.acceptDuplicateIds = (mode & 0x02) != 0;
  settings.codePage = kCodePages[(mode >> 2) % kCodePages.size()];

  resetMeasurementStore();
  FuzzCategories categories;
  SilentUi ui;
  ui.setQuiet(true);
  try {
    LineReader lines(MemoryInput{text});
    const BlockId layout = readRebLines(lines, rootFolder(), "fuzz", "fuzz.reb", settings, categories, ui);
    if (!isLayout(layout)) std::abort();
    RebWriteSettings write;
    write.kinds = kRebDa30 | kRebDa45 | kRebDa49;
    write.alphaNumIds = settings.alphaNumIds;
    write.codePage = settings.codePage;
    StringSink sink;
    writeRebLayout(layout, sink, write, ui);
    const std::string out = sink.str();
    checkRecords(out);
    RebReadSettings again = settings;
    again.acceptDuplicateIds = true;
    LineReader back(MemoryInput{out});
    readRebLines(back, rootFolder(), "back", "back.reb", again, categories, ui);
  } catch (const CError& e) {
    if (e.code() >= 0) std::abort();
  } catch (const ExitRequest& e) {
    if (e.code != -2003) std::abort();
  }
  resetMeasurementStore();
  return 0;
}
