// Test helper: a category look-up for the table readers and writers that
// needs no category list in force.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/MeasurementTypes.h"
#include "formats/TableCategories.h"

namespace vltrx::test {

// Category names to ids, case-insensitively, creating ids 1, 2, 3 ... for
// new names; the writer's look-up in the other direction.
class FakeCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view names, CategorySet& set) override {
    size_t i = 0;
    while (i < names.size()) {
      while (i < names.size() && (names[i] == ' ' || names[i] == ',')) ++i;
      if (i >= names.size()) break;
      size_t end = std::min(names.find(',', i), names.size());
      std::string key(names.substr(i, end - i));
      i = end;
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      auto it = m_ids.find(key);
      if (it == m_ids.end()) {
        it = m_ids.emplace(key, static_cast<uint16_t>(m_names.size() + 1)).first;
        m_names.push_back(key);
      }
      insertCategory(set, it->second);
      ++calls;
    }
  }
  bool nameOf(uint16_t id, std::string& name) override {
    if (id == 0 || id > m_names.size()) return false;
    name = m_names[id - 1];
    return true;
  }
  uint16_t id(const std::string& name) const { return m_ids.at(name); }
  int calls = 0;

 private:
  std::map<std::string, uint16_t> m_ids;
  std::vector<std::string> m_names;
};

}  // namespace vltrx::test
