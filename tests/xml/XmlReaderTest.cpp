// The pull parser: malformed documents with their codes and lines, limits,
// entities, skipped markup and block input.
#include "xml/XmlReader.h"

#include "core/CError.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vltrx;

namespace {

constexpr std::array<std::string_view, 5> kNames = {"root", "a", "b", "r", "v"};
constexpr std::array<std::string_view, 3> kPlainAttrs = {"I?n", "S?s", "R?x"};
constexpr std::array<std::string_view, 1> kRequiredAttrs = {"S!need"};

// What a walk over a document saw: "name(n,s,x)" per element, text of v.
struct Walk {
  std::vector<std::string> seen;
};

int visit(XmlReader& r, Walk& w) {
  for (;;) {
    int i = r.nextElement(kNames);
    if (i < 0) return i;
    if (i == XmlReader::kEnd) return 0;
    std::string entry(kNames[i]);
    if (kNames[i] == "r") {
      char need[16];
      std::array<XmlSlot, 1> slots = {XmlSlot::textSlot(need)};
      if (int e = r.readAttributes(kRequiredAttrs, slots); e < 0) return e;
      entry += "(" + std::string(need) + ")";
    } else {
      char s[8];
      std::array<XmlSlot, 3> slots = {XmlSlot::integerSlot(-1), XmlSlot::textSlot(s), XmlSlot::realSlot(0)};
      if (int e = r.readAttributes(kPlainAttrs, slots); e < 0) return e;
      if (slots[0].present) entry += " n=" + std::to_string(slots[0].integer);
      if (slots[1].present) entry += " s=" + std::string(s);
      if (slots[2].present) entry += " x=" + std::to_string(slots[2].real);
    }
    if (kNames[i] == "v") {
      char text[20];
      if (int e = r.elementText(text); e < 0) return e;
      entry += " text=[" + std::string(text) + "]";
    }
    w.seen.push_back(entry);
    if (kNames[i] != "v") {
      if (int e = visit(r, w); e < 0) return e;
    }
    if (int e = r.skipRest(); e < 0) return e;
  }
}

// Reads the first top-level element out of kNames with everything below it.
int walkDocument(XmlReader& r, Walk& w) {
  int e = r.checkDocumentStart();
  if (e < 0) return e;
  int i = r.nextElement(kNames);
  if (i < 0) return i;
  w.seen.push_back(std::string(kNames[i]));
  char s[8];
  std::array<XmlSlot, 3> slots = {XmlSlot::integerSlot(-1), XmlSlot::textSlot(s), XmlSlot::realSlot(0)};
  if ((e = r.readAttributes(kPlainAttrs, slots)) < 0) return e;
  if ((e = visit(r, w)) < 0) return e;
  return r.endDocument();
}

int walkText(std::string_view doc, Walk* out = nullptr) {
  XmlReader r;
  r.openMemory(doc);
  Walk w;
  setPendingDetail(0);
  int e = walkDocument(r, w);
  if (out) *out = w;
  return e;
}

std::string nested(int depth, std::string_view name) {
  std::string doc;
  for (int i = 0; i < depth; ++i) doc += "<" + std::string(name) + ">";
  for (int i = 0; i < depth; ++i) doc += "</" + std::string(name) + ">";
  return doc;
}

std::filesystem::path freshDir(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path dir = std::filesystem::path(tmp ? tmp : "/tmp") / ("xmlreader-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace

TEST(XmlReader, MalformedDocumentsGiveTheirCodeAndLine) {
  struct Case {
    const char* name;
    std::string doc;
    int code;
    uint32_t line;
    const char* detail;  // null: not checked
  };
  const Case cases[] = {
      {"UnquotedValue", "<root>\n<a n=5/></root>", -501, 2, nullptr},
      {"AttributeWithoutEquals", "<root>\n\n<a n/></root>", -501, 3, nullptr},
      {"DoctypeDeclaration", "<?xml version=\"1.0\"?>\r\n<!DOCTYPE root>\r\n<root/>", -501, 2, nullptr},
      {"EmptyElementName", "<root>< a/></root>", -501, 1, nullptr},
      {"SlashWithoutGreater", "<root><a /x></root>", -501, 1, nullptr},
      {"JunkAfterAttributes", "<root><a n=\"1\" ?></root>", -501, 1, nullptr},
      {"EndTagWithoutGreater", "<root><a></a x></root>", -501, 1, nullptr},
      {"EndTagMismatch", "<root>\n<a>\n</b>\n</root>", -502, 3, "b"},
      {"EndTagAtTopLevel", "</root>", -502, 1, "root"},
      {"EmptyEndTag", "<root><a></></root>", -502, 1, ""},
      {"TooDeep", nested(21, "a"), -503, 1, nullptr},
      {"DuplicateAttribute", "<root>\n<a n=\"1\" s='x' n=\"2\"/></root>", -504, 2, "n"},
      {"RequiredAttributeMissing", "<root>\n<r other=\"1\"/>\n</root>", -505, 2, "need"},
      {"TextBeforeFirstElement", "  hello <root/>", -508, 1, nullptr},
      {"EmptyDocument", "", -509, 1, nullptr},
      {"OnlyProlog", "<?xml version=\"1.0\"?>\r\n<!-- nothing -->\r\n", -509, 3, nullptr},
      {"NoExpectedElement", "<other>\n<root/>\n</other>\n", -509, 4, nullptr},
      {"UnknownEntity", "<root>\n<a s=\"&nbsp;\"/></root>", -510, 2, "nbsp"},
      {"EntityNameTooLong", "<root><a s=\"&quotes;\"/></root>", -510, 1, "quotes"},
      {"UnknownEntityInText", "<root>a &copy; b</root>", -510, 1, "copy"},
      {"EndInsideElement", "<root>\n<a>", -405, 2, nullptr},
      {"EndInsideAttribute", "<root><a s=\"abc", -405, 1, nullptr},
      {"EndInsideComment", "<root><!-- abc", -405, 1, nullptr},
      {"EndInsideEntity", "<root s=\"&am", -405, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(walkText(c.doc), c.code);
    EXPECT_TRUE(pendingDetail().set);
    EXPECT_EQ(pendingDetail().code, c.code);
    EXPECT_EQ(pendingDetail().line, c.line);
    if (c.detail) {
      EXPECT_EQ(pendingDetail().text, c.detail);
    }
  }
}

TEST(XmlReader, NamesKeepNineteenCharacters) {
  const std::string n19 = "abcdefghijklmnopqrs";
  const std::string n25 = n19 + "tuvwxy";
  std::array<std::string_view, 2> names = {"x", n19};
  const std::string n20list = n19 + "t";
  std::array<std::string_view, 1> names20 = {n20list};

  struct Case {
    std::string doc;
    std::span<const std::string_view> names;
    int expected;
  };
  const Case cases[] = {
      {"<" + n19 + "/>", names, 1},
      {"<" + n25 + "/>", names, 1},                                 // matches its first 19 characters
      {"<" + n25 + "></" + n19 + "zzz>", names, 1},                  // end tag compared on 19 characters too
      {"<" + n19 + "t/><x/>", names20, XmlReader::kEnd},             // a 20-character entry never matches
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc);
    XmlReader r;
    r.openMemory(c.doc);
    int i = r.nextElement(c.names);
    if (c.expected == XmlReader::kEnd) {
      EXPECT_EQ(i, +ErrorCode::XmlUnknownDocumentType);
      continue;
    }
    ASSERT_EQ(i, c.expected);
    EXPECT_EQ(r.currentName(), n19);
    EXPECT_EQ(r.skipRest(), 0);
    EXPECT_EQ(r.depth(), 0);
  }
}

TEST(XmlReader, TwentyOpenElementsAreTheLimit) {
  std::array<std::string_view, 1> names = {"a"};
  for (int depth : {20, 21}) {
    SCOPED_TRACE(depth);
    XmlReader r;
    std::string doc = nested(depth, "a");
    r.openMemory(doc);
    int result = 0;
    for (int level = 0; level < depth && result >= 0; ++level) result = r.nextElement(names);
    if (depth == 20) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(r.depth(), 20);
      EXPECT_EQ(r.endDocument(), 0);
    } else {
      EXPECT_EQ(result, +ErrorCode::XmlTooComplex);
    }
  }
}

TEST(XmlReader, NameStackHoldsOneHundredTwentyBytes) {
  // Six names of 19 characters with their zeros fill the 120 bytes exactly.
  const std::string name(19, 'n');
  std::array<std::string_view, 1> names = {name};
  for (int depth : {6, 7}) {
    SCOPED_TRACE(depth);
    std::string doc = nested(depth, name);
    XmlReader r;
    r.openMemory(doc);
    int result = 0;
    for (int level = 0; level < depth && result >= 0; ++level) result = r.nextElement(names);
    EXPECT_EQ(result, depth == 6 ? 0 : +ErrorCode::XmlTooComplex);
  }
}

TEST(XmlReader, EntitiesBecomePlainCharactersAndNeverMarkup) {
  Walk w;
  ASSERT_EQ(walkText("<root><a s=\"&amp;&lt;&gt;\"/><b s='&apos;&quot;'/><v>&lt;x&gt; &amp;</v>"
                     "<b s=\"&quot;\"/></root>",
                     &w),
            0);
  std::vector<std::string> expected = {"root", "a s=&<>", "b s='\"", "v text=[<x> &]", "b s=\""};
  EXPECT_EQ(w.seen, expected);
}

TEST(XmlReader, AttributeValuesAndConversions) {
  Walk w;
  ASSERT_EQ(walkText("<root>\n"
                     "  <a n=\"42\" s='single' x=\"1.5\"/>\n"
                     "  <a n=\" -7xyz\" x=\"2.5e2\" unknown=\"dropped\"/>\n"
                     "  <a n=\"99999999999\" x=\"abc\"/>\n"
                     "  <a n=\"\" s=\"cut after seven\"/>\n"
                     "  <a s=\"\"/>\n"
                     "</root>",
                     &w),
            0);
  std::vector<std::string> expected = {"root",
                                       "a n=42 s=single x=1.500000",
                                       "a n=-7 x=250.000000",
                                       "a n=2147483647 x=0.000000",
                                       "a n=0 s=cut aft",
                                       "a s="};
  EXPECT_EQ(w.seen, expected);
}

TEST(XmlReader, CommentsAndProcessingInstructionsAreSkipped) {
  Walk w;
  ASSERT_EQ(walkText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                     "<!-- a - b -- c & d ->-->\r\n"
                     "<?pi with > inside ?>\r\n"
                     "<root><!----><a n=\"1\"/><?x?><!-- <b n=\"2\"/> --><b n=\"3\"/></root>",
                     &w),
            0);
  std::vector<std::string> expected = {"root", "a n=1", "b n=3"};
  EXPECT_EQ(w.seen, expected);
}

TEST(XmlReader, UnknownElementsAreSkippedWhole) {
  Walk w;
  ASSERT_EQ(walkText("<skipme><root n=\"0\"/></skipme>\n"
                     "<root>\n"
                     "  <x><a n=\"5\"/><y><b n=\"6\"/></y></x>\n"
                     "  <a n=\"7\"><z/><b n=\"8\"/></a>\n"
                     "  <q attr=\"1\"/>\n"
                     "  <v>12.5 <ignored/> </v>\n"
                     "</root>\n",
                     &w),
            0);
  std::vector<std::string> expected = {"root", "a n=7", "b n=8", "v text=[12.5]"};
  EXPECT_EQ(w.seen, expected);
}

TEST(XmlReader, ElementTextKeepsNineteenCharactersWithoutTrailingBlanks) {
  Walk w;
  ASSERT_EQ(walkText("<root><v>  123456789012345678901234</v><v>1.5 \t\r\n</v><v/><v></v></root>", &w), 0);
  std::vector<std::string> expected = {"root", "v text=[  12345678901234567]", "v text=[1.5]", "v text=[]",
                                       "v text=[]"};
  EXPECT_EQ(w.seen, expected);
}

TEST(XmlReader, EndTagsMayCarryBlanksAndLinesAreCounted) {
  XmlReader r;
  r.openMemory("<root>\r\n<a>\n</a   >\r\n</root\n>");
  std::array<std::string_view, 2> names = {"root", "a"};
  ASSERT_EQ(r.nextElement(names), 0);
  ASSERT_EQ(r.nextElement(names), 1);
  EXPECT_EQ(r.line(), 2u);
  EXPECT_EQ(r.nextElement(names), XmlReader::kEnd);
  EXPECT_EQ(r.skipRest(), 0);
  EXPECT_EQ(r.nextElement(names), XmlReader::kEnd);
  EXPECT_EQ(r.depth(), 0);
  EXPECT_EQ(r.line(), 5u);
}

TEST(XmlReader, FileInputAcrossBlockBoundaries) {
  // With tiny blocks every construct straddles a block boundary; the 1 MiB
  // default is crossed by a document of several MiB.
  std::filesystem::path dir = freshDir("blocks");
  auto makeDoc = [](int count) {
    std::string doc = "<?xml version=\"1.0\"?>\r\n<root>\r\n";
    for (int i = 0; i < count; ++i)
      doc += "<a n=\"" + std::to_string(i) + "\" s='&lt;" + std::to_string(i % 1000) + "&amp;'/><!-- c -->\r\n";
    return doc + "</root>\r\n";
  };
  struct Case {
    size_t block;
    int count;
  };
  for (Case c : {Case{1, 3000}, Case{7, 3000}, Case{XmlReader::kReadBlockSize, 80000}}) {
    SCOPED_TRACE(c.block);
    std::string doc = makeDoc(c.count);
    if (c.block == XmlReader::kReadBlockSize) {
      ASSERT_GT(doc.size(), 3u * c.block);
    }
    std::filesystem::path file = dir / ("doc" + std::to_string(c.block) + ".xml");
    { std::ofstream(file, std::ios::binary) << doc; }

    XmlReader r;
    uint64_t lastDone = 0, total = 0;
    int calls = 0;
    ASSERT_EQ(r.openFile(
                  file, [&](uint64_t done, uint64_t all) { lastDone = done, total = all, ++calls; }, c.block),
              0);
    Walk w;
    ASSERT_EQ(walkDocument(r, w), 0);
    ASSERT_EQ(w.seen.size(), static_cast<size_t>(c.count) + 1);
    EXPECT_EQ(w.seen[1], "a n=0 s=<0&");
    EXPECT_EQ(w.seen[c.count], "a n=" + std::to_string(c.count - 1) + " s=<999&");
    EXPECT_EQ(r.line(), static_cast<uint32_t>(c.count) + 3);
    EXPECT_EQ(total, doc.size());
    // The reader stops after the root's end tag; the final CR LF may stay unread.
    EXPECT_GE(lastDone + c.block + 2, doc.size());
    if (c.block == XmlReader::kReadBlockSize) {
      EXPECT_EQ(calls, static_cast<int>(doc.size() / c.block) + 1);
    }
  }
}

TEST(XmlReader, MissingFileGivesCouldNotOpen) {
  XmlReader r;
  std::filesystem::path dir = freshDir("missing");
  EXPECT_EQ(r.openFile(dir / "none.xml"), +ErrorCode::CannotOpenFile);
  EXPECT_EQ(pendingDetail().text, (dir / "none.xml").string());
  EXPECT_EQ(r.openFile(dir), +ErrorCode::CannotOpenFile);
}
