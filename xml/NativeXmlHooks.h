// What the native XML reader and writer ask of their surroundings: the
// category list in force (category_list and category_ref elements, the
// membership test) and the text-conversion callback with its phases.
#pragma once

#include "core/BlockStore.h"
#include "core/Utf8.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class XmlReader;
class XmlWriter;

/// The category list in force as the native format sees it. The category
/// store implements it; a null pointer means "no categories": every category
/// id is dropped on reading, category elements are skipped, none are written.
class NativeCategoryHooks {
 public:
  virtual ~NativeCategoryHooks() = default;

  /// True when id names a category of the list in force.
  virtual bool isActive(uint16_t id) const = 0;

  /// Writes the category_ref element ("<category_ref>" CR LF, one category
  /// element per used list entry in list order, "</category_ref>" CR LF) for
  /// the ids used by the written tree (ascending, distinct); writes nothing
  /// when none of them is in the list. Each category start gets writer.tick().
  virtual void writeCategoryRef(XmlWriter& writer, std::span<const uint16_t> usedIds) = 0;

  /// Writes one category_list element holding the whole list.
  virtual void writeCategoryList(XmlWriter& writer) = 0;

  /// Reads a category_list element and merges it into the list in force. The
  /// reader stands on its start tag (attributes not read yet); the hook reads
  /// up to, not past, the element's end (the caller calls skipRest). Returns
  /// 0 or a negative code (with the pending detail set).
  virtual int readCategoryList(XmlReader& reader) = 0;

  /// Reads a category_ref element like readCategoryList and fills map, indexed
  /// by document id 1..1024 (size 1025), with the ids of the list in force
  /// (0 = not defined). Returns 0 or a negative code (-708 for a bad id).
  virtual int readCategoryRef(XmlReader& reader, std::vector<uint16_t>& map) = 0;
};

/// The text-conversion callback of the native format, one virtual function
/// per phase. The default converts between UTF-8 and the file's code page,
/// replaces existing nodes and ignores the notifications.
class NativeXmlCallback {
 public:
  /// codePage: the file's code page (0 = the ANSI code page).
  explicit NativeXmlCallback(uint32_t codePage = 0);
  virtual ~NativeXmlCallback() = default;

  /// Phases 0 and 1: a layout (isSubfolder false) or folder is being written
  /// or read; name is UTF-8.
  virtual void nodeStarted(std::string_view name, bool isSubfolder) {}
  /// Phase 3: a node of this kind and name exists below the parent. True
  /// replaces it with the one being read, false skips the element.
  virtual bool replaceExisting(std::string_view name, bool isSubfolder) { return true; }
  /// Phase 4 on reading: text from the file's code page to UTF-8, in place.
  virtual void convertToStore(std::string& text);
  /// Phase 4 on writing: text from UTF-8 to the file's code page, in place.
  virtual void convertToFile(std::string& text);
  /// Phase 5: a node has been created (its name, comment and flags are set).
  virtual void nodeCreated(BlockId node) {}

  uint32_t codePage() const { return m_codePage; }

 private:
  uint32_t m_codePage;
  platform::TextConverter m_converter;
  std::string m_scratch;
};

/// text cut to at most maxBytes bytes without splitting a UTF-8 sequence.


}  // namespace vltrx
