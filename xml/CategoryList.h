// Category lists: the tree of categories flattened in pre-order into a typed
// array of 88-byte entries (core/CategoryEntry.h). Finding and inserting
// entries, the built-in categories, and the shared category-name parser.
#pragma once

#include "core/BlockStore.h"
#include "core/CategoryEntry.h"
#include "core/RecordStore.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vltrx {

/// Read-only view of the entries of a list.
using CategorySpan = std::span<const CategoryEntry>;

/// The entries of the typed array list (empty for 0 or an unknown id). Valid
/// until the next insert into or removal from the list.
CategorySpan categoryEntries(BlockId list);
/// The same, writable.
CategoryEntry* mutableCategoryEntries(BlockId list);
/// The entries of the category list in force (see currentCategoryList).
inline CategorySpan categoryEntries(CategoryListView view) { return {view.entries, view.count}; }

/// Result of the lookups when nothing matches.
inline constexpr int kNoEntry = -1;

/// Byte-wise comparison with ASCII letters folded to lower case.
bool equalNamesIgnoreCase(std::string_view a, std::string_view b);

/// The first category of the list in force with this id, or null. Answers
/// from an index rebuilt only when the list in force has changed, so that
/// writers may ask once per point. The entry lives in the record store: the
/// pointer is valid until the next change of the list in force.
const CategoryEntry* findActiveCategory(uint16_t id);

/// Index one past the last entry of the subtree of entry i (clipped to the
/// list, so that a damaged count never leads outside it).
uint32_t subtreeEnd(CategorySpan list, uint32_t i);

/// The first entry of the same class as probe in the whole subtree of parent,
/// in list order: folders (id 0) and local categories (1-9999) match by name,
/// compared case-insensitively; fixed categories (10000 and above) by id.
/// Returns its index or kNoEntry.
int findEntry(CategorySpan list, uint32_t parent, const CategoryEntry& probe);

/// The folder entry directly below parent with this name (case-insensitive),
/// or kNoEntry.
int findChildFolder(CategorySpan list, uint32_t parent, std::string_view name);

/// The first category entry (any id but 0) with this name, compared
/// case-insensitively, in list order; kNoEntry when none.
int findCategoryByName(CategorySpan list, std::string_view name);

/// The first category entry with this id; kNoEntry when none.
int findCategoryById(CategorySpan list, uint16_t id);

/// Index of a top-level folder: which 0 = the user's own categories,
/// 1 = received categories. kNoEntry when the list lacks it.
int topLevelFolder(CategorySpan list, int which);

/// Folder levels from the root down to entry i (the root is 0, a top-level
/// folder 1); kNoEntry when i is outside the list.
int entryDepth(CategorySpan list, uint32_t i);

/// The id a new local category gets: the root's subtree count + 1.
uint16_t nextLocalId(CategorySpan list);

/// Inserts a copy of entry after the last entry of parent's subtree (a folder
/// arrives empty) and raises the subtree count of every folder from the root
/// down to parent. Returns the new index, or -611 (the root already holds
/// 1024 entries), -602 (the list cannot grow), -613 (no such list, or parent
/// is no folder of it).
int insertEntry(BlockId& list, uint32_t parent, const CategoryEntry& entry);

/// Removes entry i (a folder with its subtree) and lowers the subtree counts
/// of the folders above it. 0 or -613.
int removeEntry(BlockId& list, uint32_t i);

/// An entry for a category: name (cut to 63 bytes), id and colour.
CategoryEntry makeCategoryEntry(std::string_view name, uint16_t id, uint8_t red = 0, uint8_t green = 0,
                                uint8_t blue = 0);
/// An entry for a folder.
CategoryEntry makeFolderEntry(std::string_view name);

/// The seven fixed categories every active list holds.
struct BuiltInCategory {
  std::string_view name;
  uint16_t id;
};
inline constexpr BuiltInCategory kBuiltInCategories[] = {
    {"TEXT_L", 10150}, {"TEXT_R", 10152}, {"TEXT_Z", 10151},     {"PID", 10500},
    {"COORD", 10502},  {"COMMENT", 10501}, {"POINTCLOUD", 10040},
};
bool isBuiltInCategory(uint16_t id);

/// Inserts every built-in category whose id the list lacks directly below
/// the root (colour black). 0 or the code of insertEntry.
int addBuiltInCategories(BlockId& list);

// --- the shared category-name parser (table readers) ------------------------

/// The id of the category with this UTF-8 name in the list in force: the
/// first category of any id whose name equals it case-insensitively. A name
/// not found creates a local category (grey, id root subtree count + 1)
/// below the received-categories folder and commits the list. The name is
/// cut to 63 bytes first. Throws CError when the category cannot be added.
uint16_t categoryIdForName(std::string_view name);

/// Splits text at commas (blanks, tabs and commas before a name are skipped)
/// and appends the id of each name, found or created as by
/// categoryIdForName, to ids in text order; with firstOnly only the first
/// name is taken. Returns whether any id was appended. Throws CError when a
/// category cannot be added.
bool categoryIdsFromNames(std::string_view text, std::vector<uint16_t>& ids, bool firstOnly = false);

}  // namespace vltrx
