// Category ids by the names a file gives (CSV and TXT category fields, GSI
// codes, DXF layers), with a cache: such fields repeat a lot, and each new
// name is decoded and looked up in the category list once.
#pragma once

#include "core/Layout.h"
#include "platform/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vltrx {

class TableCategories;

class CategoryLookup {
 public:
  /// Distinct fields whose ids are remembered, and the longest field
  /// remembered, so that the cache stays below 1 MB whatever the file holds.
  static constexpr size_t kCacheLimit = 4096;
  static constexpr size_t kCacheFieldMax = 256;

  /// Names are read in codePage (0 = the ANSI code page) and found or
  /// created in categories.
  CategoryLookup(TableCategories& categories, uint32_t codePage);

  /// Sets set to the ids of the comma-separated category names in bytes
  /// (as read from the file). Throws CError when a category cannot be
  /// created.
  void idsOfNames(std::string_view bytes, CategorySet& set);

  /// The id of the one category named bytes (commas are part of the name,
  /// as in a DXF layer name); 0 when the name is empty. Throws CError when
  /// the category cannot be created.
  uint16_t idOfName(std::string_view bytes);

 private:
  struct BytesHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  template <typename Value>
  using Cache = std::unordered_map<std::string, Value, BytesHash, std::equal_to<>>;

  static bool cacheable(size_t cacheSize, std::string_view bytes) {
    return cacheSize < kCacheLimit && bytes.size() <= kCacheFieldMax;
  }

  TableCategories& m_categories;
  platform::TextConverter m_text;
  std::string m_decoded;
  Cache<CategorySet> m_lists;
  Cache<uint16_t> m_names;
};

}  // namespace vltrx
