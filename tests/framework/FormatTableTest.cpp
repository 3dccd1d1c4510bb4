// Format lists: built-in entries, lookup by id, extension and command-line
// name, and the published list text.
#include "framework/FormatTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/SettingsKey.h"
#include "tests/support/Sandbox.h"

namespace vltrx {
namespace {

FormatList builtIns(FormatDirection direction) {
  FormatList list;
  appendBuiltInFormats(list, direction);
  return list;
}

std::vector<std::string> ids(const FormatList& list) {
  std::vector<std::string> out;
  for (const FileFormat& f : list) out.push_back(f.id);
  return out;
}

TEST(FormatTable, BuiltInListsInTableOrder) {
  const FormatList in = builtIns(FormatDirection::Import);
  EXPECT_EQ(ids(in), (std::vector<std::string>{"xml_in", "dxf_in", "grid_in", "csv_in", "txt_in", "gsi_in", "reb_in"}));
  const FormatList out = builtIns(FormatDirection::Export);
  EXPECT_EQ(ids(out),
            (std::vector<std::string>{"xml_out", "dxf_out", "csv_out", "txt_out", "gsi_out", "reb_out", "dat_out", "svg_out"}));

  for (const FileFormat& f : in) {
    EXPECT_TRUE(f.direction);
    EXPECT_FALSE(f.hidden) << f.id;
    EXPECT_TRUE(f.scriptPath.empty());
  }
  for (const FileFormat& f : out) {
    EXPECT_FALSE(f.direction);
    EXPECT_EQ(f.hidden, f.id == "svg_out") << f.id;
  }
  EXPECT_EQ(in[0].type, kFormatXml);
  EXPECT_EQ(in[0].filter, "*.xml;*.vlxml;");
  EXPECT_EQ(in[0].description, text(132));
  EXPECT_EQ(in[2].type, kFormatEsri);
  EXPECT_EQ(in[2].description, text(133));
  EXPECT_EQ(out[6].type, kFormatDat);
  EXPECT_EQ(out[6].filter, "*.dat;*.d11;");
  EXPECT_EQ(out[6].description, text(138));
  EXPECT_EQ(out[7].type, kFormatSvg);
  EXPECT_EQ(out[7].description, text(140));
}

TEST(FormatTable, FirstExtensionAndShortId) {
  const FormatList out = builtIns(FormatDirection::Export);
  EXPECT_EQ(firstExtension(out[0]), "xml");
  EXPECT_EQ(firstExtension(out[6]), "dat");
  EXPECT_EQ(shortId(out[4]), "gsi");
  FileFormat plugin;
  plugin.id = "myformat";
  EXPECT_EQ(shortId(plugin), "myformat");
  plugin.filter = "*.abc";
  EXPECT_EQ(firstExtension(plugin), "abc");
}

TEST(FormatTable, FindByKeyIsLowerCasedSubstringInListOrder) {
  const FormatList in = builtIns(FormatDirection::Import);
  struct Case {
    const char* key;
    const char* id;  // nullptr: no match
  } cases[] = {
      {"ml_in", "xml_in"}, {"XML_IN", "xml_in"}, {"xml", "xml_in"}, {"_in", "xml_in"},
      {"Grid", "grid_in"}, {"gsi_in", "gsi_in"}, {"svg", nullptr},  {"xml_out", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const FileFormat* f = findFormat(in, c.key);
    if (!c.id) {
      EXPECT_EQ(f, nullptr);
      continue;
    }
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->id, c.id);
  }
}

TEST(FormatTable, FindByExtensionMatchesFilterSubstring) {
  const FormatList in = builtIns(FormatDirection::Import);
  const FormatList out = builtIns(FormatDirection::Export);
  struct Case {
    const FormatList* list;
    const char* extension;
    FormatType type;  // kFormatNone: no match
  } cases[] = {
      {&in, ".csv", kFormatCsv},  {&in, ".CSV", kFormatCsv},  {&in, ".vlxml", kFormatXml},
      {&in, ".grid", kFormatEsri}, {&out, ".D11", kFormatDat}, {&out, ".svg", kFormatSvg},
      {&in, ".dat", kFormatNone},  {&out, ".grid", kFormatNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    const FileFormat* f = findFormatByExtension(*c.list, c.extension);
    EXPECT_EQ(f ? f->type : kFormatNone, c.type);
  }
}

TEST(FormatTable, FormatTypeFromCommandLineName) {
  const FormatList in = builtIns(FormatDirection::Import);
  const FormatList out = builtIns(FormatDirection::Export);
  struct Case {
    const char* name;
    bool import;
    FormatType type;
  } cases[] = {
      {"csv", true, kFormatCsv},   {"csv", false, kFormatCsv},  {"csv_in", true, kFormatCsv},
      {"csv_out", false, kFormatCsv}, {"CSV", true, kFormatCsv}, {"da30", false, kFormatNone},
      {"da30", true, kFormatNone}, {"grid", true, kFormatEsri}, {"grid", false, kFormatNone},
      {"svg", false, kFormatSvg},  {"dat", true, kFormatNone},  {"dat", false, kFormatDat},
      {"csv_out", true, kFormatNone}, {"", true, kFormatNone},   {"", false, kFormatNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.import ? " in" : " out"));
    const FormatDirection d = c.import ? FormatDirection::Import : FormatDirection::Export;
    EXPECT_EQ(formatTypeFromName(c.import ? in : out, c.name, d), c.type);
  }
}

TEST(FormatTable, PublishedTextLeavesOutHiddenEntries) {
  const FormatList in = builtIns(FormatDirection::Import);
  const std::string imported = publishedFormatsText(in);
  const std::string head = "D" + text(132) + "|F*.xml;*.vlxml;|Cxml_in|D" + text(134) + "|F*.dxf;|Cdxf_in|";
  EXPECT_EQ(imported.substr(0, head.size()), head);
  EXPECT_EQ(imported.back(), 'n');  // ends with "Creb_in", no trailing bar
  EXPECT_NE(imported.find("|Creb_in"), std::string::npos);

  const std::string exported = publishedFormatsText(builtIns(FormatDirection::Export));
  EXPECT_EQ(exported.find("svg"), std::string::npos);
  const std::string tail = "|D" + text(138) + "|F*.dat;*.d11;|Cdat_out";
  ASSERT_GE(exported.size(), tail.size());
  EXPECT_EQ(exported.substr(exported.size() - tail.size()), tail);

  FormatList hiddenOnly{FileFormat{false, true, kFormatSvg, "", "svg_out", "x", "*.svg;"}};
  EXPECT_EQ(publishedFormatsText(hiddenOnly), "");
}

TEST(FormatTable, PublishWritesBothValues) {
  test::Sandbox sandbox;
  SettingsKey key;
  ASSERT_TRUE(key.create(kProgramKeyPath));
  buildFormatList(FormatDirection::Import);
  buildFormatList(FormatDirection::Export);
  ASSERT_TRUE(publishFormatList(key, FormatDirection::Import));
  ASSERT_TRUE(publishFormatList(key, FormatDirection::Export));
  std::string value;
  EXPECT_TRUE(key.readString("ImportFileFormats", value, ""));
  EXPECT_EQ(value, publishedFormatsText(importFormats()));
  EXPECT_TRUE(key.readString("ExportFileFormats", value, ""));
  EXPECT_EQ(value, publishedFormatsText(exportFormats()));
  EXPECT_NE(value.find("|Cdat_out"), std::string::npos);
  key.close();
}

TEST(FormatTable, BuildListCallsPluginScannerAfterBuiltIns) {
  EXPECT_EQ(buildFormatList(FormatDirection::Import), 0);
  EXPECT_EQ(importFormats().size(), 7u);

  setPluginScanner([](FormatList& list, FormatDirection direction) {
    FileFormat f;
    f.direction = direction == FormatDirection::Import;
    f.type = kFormatXslt;
    f.id = "lan_in";
    f.filter = "*.lan;";
    f.description = "LandXML \xC2\xB9";
    f.scriptPath = "/opt/filters/landxml.xsl";
    list.push_back(f);
    return 1;
  });
  EXPECT_EQ(buildFormatList(FormatDirection::Import), 1);
  ASSERT_EQ(importFormats().size(), 8u);
  EXPECT_EQ(importFormats().back().id, "lan_in");
  EXPECT_EQ(formatTypeFromName("lan", FormatDirection::Import), kFormatXslt);
  // Rebuilding clears the list first.
  EXPECT_EQ(buildFormatList(FormatDirection::Import), 1);
  EXPECT_EQ(importFormats().size(), 8u);

  setPluginScanner({});
  EXPECT_EQ(buildFormatList(FormatDirection::Import), 0);
  EXPECT_EQ(importFormats().size(), 7u);
}

TEST(FormatTable, OneCardPerFormatNamingItsOptionRecord) {
  AllFormatOptions all;
  std::vector<FormatType> seen;
  for (const FormatCard& c : formatCards()) {
    SCOPED_TRACE(c.keyPrefix);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), c.type), 0);
    seen.push_back(c.type);
    EXPECT_EQ(formatCard(c.type), &c);
    ASSERT_NE(c.options, nullptr);
    EXPECT_EQ(c.options(all).keyPrefix, c.keyPrefix);
    EXPECT_EQ(all.find(c.type), &c.options(all));
  }
  EXPECT_EQ(formatCard(kFormatAll), nullptr);
}

TEST(FormatTable, KeyPrefixes) {
  const char* expected[] = {"", "", "", "XML", "ESRI", "DXF", "CSV", "TXT", "GSI", "REB", "SVG", "DAT", "XSLT", "", ""};
  for (FormatType t = 0; t < 15; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(keyPrefix(t), expected[t]);
  }
  EXPECT_EQ(keyPrefix(-1), "");
}

}  // namespace
}  // namespace vltrx
