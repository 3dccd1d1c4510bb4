// Fuzz target for the table line reader, the field tokenizer and the CSV
// reader. The first byte picks delimiter, decimal character, point-id mode
// and code page; the rest is the file. Lines must never hold a line end,
// fields must stay within their bounds, and every read must end with a
// layout or an error, never a crash.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "formats/CsvReader.h"
#include "formats/TableCategories.h"
#include "formats/TableTokenizer.h"
#include "ui/Ui.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

using namespace vltrx;

// Names to ids without the record store, at most 200 categories.
class FuzzCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view names, CategorySet& set) override {
    size_t i = 0;
    while (i < names.size()) {
      while (i < names.size() && (names[i] == ' ' || names[i] == ',')) ++i;
      if (i >= names.size()) break;
      size_t end = names.find(',', i);
      if (end == std::string_view::npos) end = names.size();
      std::string name(names.substr(i, end - i));
      i = end;
      auto it = m_ids.find(name);
      if (it == m_ids.end()) {
        if (m_ids.size() >= 200) throw makeError(ErrorCode::CategoryListTooLarge);
        it = m_ids.emplace(name, static_cast<uint16_t>(m_ids.size() + 1)).first;
      }
      insertCategory(set, it->second);
    }
  }
  bool nameOf(uint16_t, std::string&) override { return false; }

 private:
  std::map<std::string, uint16_t> m_ids;
};

constexpr std::array<char, 6> kDelimiters = {';', ',', 9, 11, '"', ' '};
constexpr std::array<uint32_t, 4> kCodePages = {1252, 65001, 932, 4242};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  CsvReadSettings settings;
  settings.delimiter = kDelimiters[mode % kDelimiters.size()];
  settings.decimal = (mode & 0x08) ? ',' : '.';
  settings.pidReduce = (mode & 0x10) != 0;
  settings.alphaNumIds = (mode & 0x20) != 0;
  settings.codePage = kCodePages[(mode >> 6) % kCodePages.size()];
  settings.acceptDuplicateIds = (mode & 0x04) != 0;

  // Lines and fields.
  {
    LineReader lines(MemoryInput{text});
    FieldTokenizer tokenizer(settings.delimiter);
    std::array<std::string_view, 9> fields;
    std::string_view line;
    std::string decoded;
    while (lines.next(line)) {
      if (line.size() > kMaxLineBytes) std::abort();
      if (line.find_first_of("\r\n") != std::string_view::npos) std::abort();
      const size_t n = tokenizer.split(line, fields);
      if (n < 1 || n > fields.size()) std::abort();
      for (size_t i = 0; i < fields.size(); ++i) {
        const std::string_view f = fields[i];
        if (f.size() > kMaxFieldBytes) std::abort();
        if (i >= n && !f.empty()) std::abort();
        if (!f.empty() && (f.front() == ' ' || f.front() == '\t')) std::abort();
        decodeField(f, settings.codePage, decoded);
        if (decoded.find('\0') != std::string::npos) std::abort();
      }
    }
    if (lines.position() != text.size()) std::abort();
  }

  // The whole reader.
  resetMeasurementStore();
  FuzzCategories categories;
  SilentUi ui;
  ui.setQuiet((mode & 0x01) != 0);
  try {
    LineReader lines(MemoryInput{text});
    const BlockId layout = readCsvLines(lines, rootFolder(), "fuzz", settings, categories, ui);
    if (!isLayout(layout)) std::abort();
  } catch (const CError& e) {
    if (e.code() >= 0) std::abort();
    // A failed read leaves no layout behind.
    if (childAt(rootFolder(), 0) != 0) std::abort();
  } catch (const ExitRequest&) {
    if (childAt(rootFolder(), 0) != 0) std::abort();
  }
  resetMeasurementStore();
  return 0;
}
