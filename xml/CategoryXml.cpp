// category_list and category_ref elements of native XML documents.
#include "xml/CategoryXml.h"

#include "core/CError.h"
#include "xml/XmlReader.h"
#include "xml/XmlWriter.h"

#include <algorithm>
#include <array>
#include <string>

namespace vltrx {
namespace {

constexpr std::array<std::string_view, 2> kListChildren = {"subfolder", "category"};
constexpr std::array<std::string_view, 1> kRefChildren = {"category"};
constexpr std::array<std::string_view, 1> kFolderAttrs = {"S!name"};
constexpr std::array<std::string_view, 3> kCategoryAttrs = {"I?id", "S!name", "S?color"};

// Owns a copy of the list in force until it is committed or dropped.
class ListCopy {
 public:
  ~ListCopy() {
    if (m_id) blockStore().free(m_id);
  }
  int make() { return copyCurrentCategoryList(m_id); }
  BlockId& id() { return m_id; }
  CategorySpan view() const { return categoryEntries(m_id); }

 private:
  BlockId m_id = 0;
};

int fail(XmlReader& r, int code, std::string_view detail = {}) {
  setPendingDetail(code, r.line(), detail);
  return code;
}

// One category element's attributes.
struct CategoryAttrs {
  char name[64];
  char color[8];
  std::array<XmlSlot, 3> slots;

  explicit CategoryAttrs(int32_t idPreset)
      : slots{XmlSlot::integerSlot(idPreset), XmlSlot::textSlot(name), XmlSlot::textSlot(color)} {}
  int read(XmlReader& r) { return r.readAttributes(kCategoryAttrs, slots); }
  int32_t id() const { return slots[0].integer; }
};

}  // namespace

std::string categoryColourText(const CategoryEntry& e) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s(6, '0');
  const uint8_t rgb[3] = {e.colour.red, e.colour.green, e.colour.blue};
  for (int i = 0; i < 3; ++i) {
    s[2 * i] = kDigits[rgb[i] >> 4];
    s[2 * i + 1] = kDigits[rgb[i] & 15];
  }
  return s;
}

void parseCategoryColour(std::string_view text, CategoryEntry& e) {
  e.colour.red = e.colour.green = e.colour.blue = 0;
  if (text.size() != 6) return;
  int v[6];
  for (int i = 0; i < 6; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9')
      v[i] = c - '0';
    else if (c >= 'A' && c <= 'F')
      v[i] = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      v[i] = c - 'a' + 10;
    else
      return;
  }
  e.colour.red = uint8_t(v[0] * 16 + v[1]);
  e.colour.green = uint8_t(v[2] * 16 + v[3]);
  e.colour.blue = uint8_t(v[4] * 16 + v[5]);
}

std::string CategoryXmlHooks::toStore(const char* text) const {
  std::string s(text);
  if (m_callback) m_callback->convertToStore(s);
  return s;
}

std::string CategoryXmlHooks::toFile(std::string_view text) const {
  std::string s(text);
  if (m_callback) m_callback->convertToFile(s);
  return s;
}

bool CategoryXmlHooks::isActive(uint16_t id) const { return activeCategoryListContains(id); }

void CategoryXmlHooks::writeCategory(XmlWriter& w, const CategoryEntry& e, bool alwaysId) {
  w.tick();
  w.raw("<category");
  if (alwaysId || e.isFixed()) w.attribute("id", e.id);
  w.attributeShortText("name", toFile(e.nameView()));
  w.attributeText("color", categoryColourText(e));
  w.raw("/>");
  w.endLine();
}

void CategoryXmlHooks::writeCategoryRef(XmlWriter& w, std::span<const uint16_t> usedIds) {
  CategorySpan list = categoryEntries(currentCategoryList());
  std::vector<bool> written(65536, false);
  bool any = false;
  for (const CategoryEntry& e : list) {
    if (e.isFolder() || written[e.id] || !std::binary_search(usedIds.begin(), usedIds.end(), e.id)) continue;
    written[e.id] = true;
    if (!any) {
      w.raw("<category_ref>");
      w.endLine();
      any = true;
    }
    writeCategory(w, e, true);
  }
  if (any) {
    w.raw("</category_ref>");
    w.endLine();
  }
}

void CategoryXmlHooks::writeLevel(XmlWriter& w, CategorySpan list, uint32_t folder) {
  const uint32_t end = subtreeEnd(list, folder);
  for (uint32_t k = folder + 1; k < end; k = subtreeEnd(list, k)) {
    const CategoryEntry& e = list[k];
    if (e.isFolder()) {
      if (e.nameView().empty()) {
        writeLevel(w, list, k);
        continue;
      }
      w.tick();
      w.raw("<subfolder");
      w.attributeShortText("name", toFile(e.nameView()));
      w.raw(">");
      w.endLine();
      writeLevel(w, list, k);
      w.raw("</subfolder>");
      w.endLine();
    } else if (!e.nameView().empty()) {
      // A category without a name could not be read back (an empty name is
      // refused), so it is left out.
      writeCategory(w, e, false);
    }
  }
}

void CategoryXmlHooks::writeCategoryList(XmlWriter& w) {
  CategorySpan list = m_list ? categoryEntries(m_list) : categoryEntries(currentCategoryList());
  w.raw("<category_list>");
  w.endLine();
  if (!list.empty()) writeLevel(w, list, 0);
  w.raw("</category_list>");
  w.endLine();
}

int CategoryXmlHooks::readListLevel(XmlReader& r, BlockId& list, uint32_t parent, int depth) {
  for (;;) {
    int child = r.nextElement(kListChildren);
    if (child < 0) return child;
    if (child == XmlReader::kEnd) return 0;
    int rc = 0;
    if (child == 0) {
      if (depth + 1 >= kMaxCategoryDepth) return fail(r, +ErrorCode::TooManyFolderLevels);
      char name[64];
      std::array<XmlSlot, 1> slots = {XmlSlot::textSlot(name)};
      if ((rc = r.readAttributes(kFolderAttrs, slots)) < 0) return rc;
      const std::string folderName = toStore(name);
      int folder = findChildFolder(categoryEntries(list), parent, folderName);
      if (folder == kNoEntry) {
        folder = insertEntry(list, parent, makeFolderEntry(folderName));
        if (folder < 0) return fail(r, folder);
      }
      if ((rc = readListLevel(r, list, uint32_t(folder), depth + 1)) < 0) return rc;
    } else {
      CategoryAttrs a(1);  // a missing id counts as 1
      if ((rc = a.read(r)) < 0) return rc;
      const std::string name = toStore(a.name);
      if (name.empty()) return fail(r, +ErrorCode::InvalidName, std::to_string(r.line()));
      const int32_t id = a.id();
      CategoryEntry e = makeCategoryEntry(name, (id >= CategoryEntry::kFirstFixedId && id <= 0xFFFF) ? uint16_t(id) : 1);
      parseCategoryColour(a.color, e);
      if (findEntry(categoryEntries(list), 0, e) == kNoEntry) {
        if (!e.isFixed()) e.id = nextLocalId(categoryEntries(list));
        if (int at = insertEntry(list, parent, e); at < 0) return fail(r, at);
      }
    }
    if ((rc = r.skipRest()) < 0) return rc;
  }
}

int CategoryXmlHooks::readCategoryList(XmlReader& r) {
  ListCopy list;
  if (int rc = list.make(); rc < 0) return fail(r, rc);
  int own = topLevelFolder(list.view(), 0);
  if (int rc = readListLevel(r, list.id(), own == kNoEntry ? 0 : uint32_t(own), 1); rc < 0) return rc;
  if (int rc = commitCategoryList(list.id()); rc < 0) return fail(r, rc);
  return 0;
}

int CategoryXmlHooks::readCategoryRef(XmlReader& r, std::vector<uint16_t>& result) {
  // The map is handed over only with the committed list, so that it never
  // names ids of a list that did not come into force.
  std::vector<uint16_t> map(std::max<size_t>(result.size(), 1025), 0);
  ListCopy list;
  if (int rc = list.make(); rc < 0) return fail(r, rc);
  std::vector<bool> seen(65536, false);
  for (;;) {
    int child = r.nextElement(kRefChildren);
    if (child < 0) return child;
    if (child == XmlReader::kEnd) break;
    CategoryAttrs a(0);
    int rc = a.read(r);
    if (rc < 0) return rc;
    const int32_t docId = a.id();
    const bool valid = (docId >= 1 && docId <= 1024) || (docId >= CategoryEntry::kFirstFixedId && docId <= 0xFFFF);
    if (!valid || seen[size_t(docId)]) return fail(r, +ErrorCode::InvalidCategoryId, std::to_string(docId));
    seen[size_t(docId)] = true;
    const std::string name = toStore(a.name);
    if (name.empty()) return fail(r, +ErrorCode::InvalidName, std::to_string(r.line()));

    CategoryEntry e = makeCategoryEntry(name, docId >= CategoryEntry::kFirstFixedId ? uint16_t(docId) : 1);
    parseCategoryColour(a.color, e);
    CategorySpan view = list.view();
    const int own = topLevelFolder(view, 0);
    const int received = topLevelFolder(view, 1);
    int at = own == kNoEntry ? kNoEntry : findEntry(view, uint32_t(own), e);
    if (at == kNoEntry && received != kNoEntry) at = findEntry(view, uint32_t(received), e);
    // Fixed categories are the same everywhere: the built-in and standard
    // ones sit below the root, and a second entry of such an id would only
    // shadow the first.
    if (at == kNoEntry && e.isFixed()) at = findEntry(view, 0, e);
    if (at == kNoEntry) {
      if (!e.isFixed()) e.id = nextLocalId(view);
      at = insertEntry(list.id(), received == kNoEntry ? 0 : uint32_t(received), e);
      if (at < 0) return fail(r, at);
    }
    if (docId <= 1024) map[size_t(docId)] = list.view()[uint32_t(at)].id;
    if ((rc = r.skipRest()) < 0) return rc;
  }
  if (int rc = commitCategoryList(list.id()); rc < 0) return fail(r, rc);
  result = std::move(map);
  return 0;
}

}  // namespace vltrx
