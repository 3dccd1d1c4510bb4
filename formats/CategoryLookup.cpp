// Cached category look-up of the file readers.
#include "formats/CategoryLookup.h"

#include "formats/TableCategories.h"

namespace vltrx {

CategoryLookup::CategoryLookup(TableCategories& categories, uint32_t codePage)
    : m_categories(categories), m_text(codePage) {}

void CategoryLookup::idsOfNames(std::string_view bytes, CategorySet& set) {
  auto it = m_lists.find(bytes);
  if (it != m_lists.end()) {
    set = it->second;
    return;
  }
  m_text.toUtf8(bytes, m_decoded);
  CategorySet ids;
  m_categories.idsFromNames(m_decoded, ids);
  set = ids;
  if (cacheable(m_lists.size(), bytes)) m_lists.emplace(std::string(bytes), std::move(ids));
}

uint16_t CategoryLookup::idOfName(std::string_view bytes) {
  if (bytes.empty()) return 0;
  auto it = m_names.find(bytes);
  if (it != m_names.end()) return it->second;
  m_text.toUtf8(bytes, m_decoded);
  const uint16_t id = m_categories.idOfName(m_decoded);
  if (cacheable(m_names.size(), bytes)) m_names.emplace(std::string(bytes), id);
  return id;
}

}  // namespace vltrx
