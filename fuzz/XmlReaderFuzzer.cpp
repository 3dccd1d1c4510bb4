// Fuzz target for the XML pull parser: walks any input the way the native
// reader does (expected children, typed attributes, element text, skipping)
// and requires that every walk ends with success or an error code.
#include "xml/XmlReader.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using vltrx::XmlReader;
using vltrx::XmlSlot;

constexpr std::array<std::string_view, 6> kNames = {"velmora", "measurements", "mfolder", "polygon", "point", "value"};
constexpr std::array<std::string_view, 6> kAttrs = {"I?id", "S?name", "R!x", "R?y", "D?z", "S?comment"};

int visit(XmlReader& r, int level) {
  for (;;) {
    int i = r.nextElement(kNames);
    if (i < 0) return i;
    if (i == XmlReader::kEnd) return 0;
    if (i >= static_cast<int>(kNames.size())) std::abort();
    if (r.depth() != level + 1 || r.depth() > XmlReader::kMaxDepth) std::abort();
    if (kNames[i] == "value") {
      char text[XmlReader::kMaxElementText + 1];
      int n = r.elementText(text);
      if (n < 0) return n;
      if (n > static_cast<int>(XmlReader::kMaxElementText)) std::abort();
    } else {
      char name[8], comment[3];
      std::array<XmlSlot, 6> slots = {XmlSlot::integerSlot(0), XmlSlot::textSlot(name), XmlSlot::realSlot(0),
                                      XmlSlot::realSlot(0),    XmlSlot::realSlot(0),    XmlSlot::textSlot(comment)};
      int e = r.readAttributes(kAttrs, slots);
      if (e < 0) return e;
      // The required x must be there once the tag has been read.
      if (!slots[2].present) std::abort();
      e = visit(r, r.depth());
      if (e < 0) return e;
    }
    int e = r.skipRest();
    if (e < 0) return e;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XmlReader r;
  r.openMemory(std::string_view(reinterpret_cast<const char*>(data), size));
  if (r.checkDocumentStart() < 0) return 0;
  int e = visit(r, 0);
  if (e == 0) r.endDocument();
  return 0;
}
