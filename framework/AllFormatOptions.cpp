// The process-wide option records and the option listing of "-opt:".
#include "framework/AllFormatOptions.h"

#include "framework/SettingsKey.h"

#include <algorithm>

namespace vltrx {

std::vector<FormatOptions*> AllFormatOptions::records() {
  std::vector<const FormatCard*> cards;
  for (const FormatCard& c : formatCards())
    if (c.options) cards.push_back(&c);
  std::sort(cards.begin(), cards.end(), [](const FormatCard* a, const FormatCard* b) { return a->type < b->type; });
  std::vector<FormatOptions*> out;
  for (const FormatCard* c : cards) out.push_back(&c->options(*this));
  return out;
}

void AllFormatOptions::loadAll(const SettingsKey& key, bool readRegistry) {
  for (FormatOptions* r : records()) r->load(key, readRegistry);
}

bool AllFormatOptions::saveAll(SettingsKey& key) const {
  bool ok = true;
  for (FormatOptions* r : const_cast<AllFormatOptions*>(this)->records()) ok = r->save(key) && ok;
  return ok;
}

FormatOptions* AllFormatOptions::find(FormatType type) {
  const FormatCard* c = formatCard(type);
  return c && c->options ? &c->options(*this) : nullptr;
}

const FormatOptions* AllFormatOptions::find(FormatType type) const {
  return const_cast<AllFormatOptions*>(this)->find(type);
}

FormatOptions* AllFormatOptions::find(FormatType type, FormatDirection direction) {
  const FormatCard* c = formatCard(type);
  if (!c || !(direction == FormatDirection::Import ? c->import : c->exportable)) return nullptr;
  return find(type);
}

AllFormatOptions& formatOptions() {
  static AllFormatOptions options;
  return options;
}

std::vector<std::string> describeOptions(FormatType type, FormatDirection direction,
                                         const AllFormatOptions& options) {
  std::vector<std::string> lines;
  auto& current = const_cast<AllFormatOptions&>(options);
  AllFormatOptions defaults;
  FormatOptions* record = current.find(type, direction);
  FormatOptions* defaultRecord = defaults.find(type, direction);
  if (!record || !defaultRecord) return lines;

  OptionBindings now, def;
  record->bind(now);
  defaultRecord->bind(def);
  const bool import = direction == FormatDirection::Import;
  for (size_t i = 0; i < now.size() && i < def.size(); ++i) {
    if (now[i].input != import) continue;
    lines.push_back(now[i].name + " = " + bindingValueText(now[i]) + " (default: " + bindingValueText(def[i]) +
                    ")");
  }
  return lines;
}

}  // namespace vltrx
