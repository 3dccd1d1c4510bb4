// The category elements of native XML documents: category_list (a whole
// tree of categories) and category_ref (the categories a document uses),
// read into and written from the category list in force.
#pragma once

#include "xml/CategoryList.h"
#include "xml/NativeXmlHooks.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vltrx {

/// The category store as the native XML reader and writer see it: reads
/// merge into the list in force (copy, change, commit); writes take the list
/// given at construction, or the list in force when none is given.
class CategoryXmlHooks : public NativeCategoryHooks {
 public:
  /// callback converts names between the file's code page and UTF-8 (null:
  /// names are taken as they are); list is what writeCategoryList writes
  /// (0: the list in force). Neither is owned.
  explicit CategoryXmlHooks(NativeXmlCallback* callback = nullptr, BlockId list = 0)
      : m_callback(callback), m_list(list) {}

  bool isActive(uint16_t id) const override;

  /// "<category_ref>" CR LF, for each list entry in list order whose id is
  /// in usedIds (the first entry of an id only) a category element with id,
  /// name and colour, "</category_ref>" CR LF; nothing when no entry is used.
  void writeCategoryRef(XmlWriter& writer, std::span<const uint16_t> usedIds) override;

  /// "<category_list>" CR LF, the tree, "</category_list>" CR LF. A folder is
  /// "<subfolder name=...>" CR LF, its subtree, "</subfolder>" CR LF; a folder
  /// without a name (the top-level folders) is written as its content only.
  /// A category is "<category" with its id only when it is 10000 or more,
  /// name and colour, "/>" CR LF.
  void writeCategoryList(XmlWriter& writer) override;

  /// Merges a category_list element below the user's own categories (depth
  /// 1): subfolders are found or inserted below the current parent (depth 10
  /// fails with -612); a category (a missing id counts as 1, an empty name
  /// fails with -707) that the whole list already holds keeps its place and
  /// id; otherwise a local id becomes the root's subtree count + 1 and it is
  /// inserted below the current parent. The list is committed at the end;
  /// after an error the list in force stays as it was.
  int readCategoryList(XmlReader& reader) override;

  /// Reads a category_ref element: each category is looked up below the own
  /// categories, then below the received ones (a fixed id also in the whole
  /// list) and inserted below the received categories when missing.
  /// map[document id] = list id for document ids 1 to 1024. A document id met
  /// twice, 0 or 1025 to 9999 fails with -708; an empty name with -707.
  /// After an error map and the list in force are as they were.
  int readCategoryRef(XmlReader& reader, std::vector<uint16_t>& map) override;

 private:
  std::string toStore(const char* text) const;
  std::string toFile(std::string_view text) const;
  int readListLevel(XmlReader& reader, BlockId& list, uint32_t parent, int depth);
  void writeLevel(XmlWriter& writer, CategorySpan list, uint32_t folder);
  void writeCategory(XmlWriter& writer, const CategoryEntry& e, bool alwaysId);

  NativeXmlCallback* m_callback;
  BlockId m_list;
};

/// Colour text "RRGGBB" of an entry.
std::string categoryColourText(const CategoryEntry& e);

/// Parses a colour attribute: exactly six hexadecimal digits, else black.
void parseCategoryColour(std::string_view text, CategoryEntry& e);

}  // namespace vltrx
