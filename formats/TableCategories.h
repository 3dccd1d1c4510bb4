// The two category look-ups of the table formats: category names read from
// a file to ids of the category list in force (creating missing
// categories), and ids to names for writing.
#pragma once

#include "core/Layout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {

class TableCategories {
 public:
  virtual ~TableCategories() = default;

  /// Adds to set the ids of the comma-separated category names in names
  /// (UTF-8), finding or creating each one in the category list. Throws
  /// CError when a category cannot be created.
  virtual void idsFromNames(std::string_view names, CategorySet& set) = 0;

  /// The id of the one category named name (UTF-8; commas are part of the
  /// name), found or created; 0 for an empty name. Throws CError when the
  /// category cannot be created. The default takes the first id that
  /// idsFromNames gives, which suits names without commas.
  virtual uint16_t idOfName(std::string_view name);

  /// The UTF-8 name of category id; false when the list holds no such id.
  virtual bool nameOf(uint16_t id, std::string& name) = 0;
};

/// The look-ups on the category list in force.
TableCategories& activeTableCategories();

}  // namespace vltrx
