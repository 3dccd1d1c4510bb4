// Fuzz target for the category elements of native XML documents: any
// document's category_list and category_ref elements must merge into a list
// in force that stays well formed (subtree counts, at most 1024 entries below
// the root, distinct local ids), or fail with a code; the list written back
// as a category_list must read again.
#include "core/BlockStore.h"
#include "core/RecordStore.h"
#include "core/Sink.h"
#include "xml/CategoryXml.h"
#include "xml/XmlReader.h"
#include "xml/XmlWriter.h"

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace vltrx;

// Checks the subtree counts of folder i; returns one past its subtree.
uint32_t checkFolder(CategorySpan list, uint32_t i, int depth) {
  if (depth > 12) std::abort();
  const uint64_t end = uint64_t(i) + 1 + list[i].subtree;
  if (end > list.size()) std::abort();
  uint32_t k = i + 1;
  while (k < end) k = list[k].isFolder() ? checkFolder(list, k, depth + 1) : k + 1;
  if (k != end) std::abort();
  return k;
}

void checkWellFormed(CategorySpan list) {
  if (list.empty()) return;
  if (list.size() > kMaxCategoryEntries + 1 || list[0].subtree + 1 != list.size()) std::abort();
  if (checkFolder(list, 0, 0) != list.size()) std::abort();
  std::vector<bool> local(10000, false);
  for (const CategoryEntry& e : list) {
    if (!e.isLocal()) continue;
    if (local[e.id]) std::abort();
    local[e.id] = true;
  }
}

int readDocument(std::string_view doc, std::vector<uint16_t>& map) {
  XmlReader r;
  r.openMemory(doc);
  int rc = r.checkDocumentStart();
  if (rc < 0) return rc;
  const std::array<std::string_view, 1> root = {"velmora"};
  rc = r.nextElement(root);
  if (rc < 0) return rc;
  if (rc == XmlReader::kEnd) return 0;
  const std::array<std::string_view, 2> children = {"category_list", "category_ref"};
  CategoryXmlHooks hooks;
  for (;;) {
    int child = r.nextElement(children);
    if (child < 0) return child;
    if (child == XmlReader::kEnd) return 0;
    rc = child == 0 ? hooks.readCategoryList(r) : hooks.readCategoryRef(r, map);
    if (rc < 0) return rc;
    if ((rc = r.skipRest()) < 0) return rc;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  resetRecordStore();
  std::vector<uint16_t> map;
  const std::string_view doc(reinterpret_cast<const char*>(data), size);
  const int rc = readDocument(doc, map);
  if (rc > 0) std::abort();
  CategorySpan active = categoryEntries(currentCategoryList());
  checkWellFormed(active);
  for (uint16_t id : map)
    if (id != 0 && !activeCategoryListContains(id)) std::abort();
  if (active.empty()) return 0;

  // Written back and read into an empty list, it reads without error and
  // keeps every named category.
  StringSink sink;
  XmlWriter w(sink);
  w.raw("<velmora>\r\n");
  CategoryXmlHooks().writeCategoryList(w);
  w.raw("</velmora>\r\n");
  size_t named = 0;
  for (const CategoryEntry& e : active) named += !e.isFolder() && !e.nameView().empty();
  const std::string again = sink.str();
  resetRecordStore();
  std::vector<uint16_t> unused;
  if (readDocument(again, unused) != 0) std::abort();
  CategorySpan back = categoryEntries(currentCategoryList());
  checkWellFormed(back);
  size_t namedBack = 0;
  for (const CategoryEntry& e : back) namedBack += !e.isFolder();
  if (namedBack > named) std::abort();
  return 0;
}
