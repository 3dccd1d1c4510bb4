// Option records: defaults, reset scopes, value names, and saving and
// loading through a settings key in a sandboxed store.
#include "framework/FormatOptions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "framework/AllFormatOptions.h"
#include "framework/SettingsKey.h"
#include "platform/SettingsStore.h"
#include "tests/support/Sandbox.h"

namespace vltrx {
namespace {

std::vector<std::string> valueNames(FormatOptions& record) {
  OptionBindings b;
  record.bind(b);
  std::vector<std::string> names;
  for (const OptionBinding& x : b) names.push_back(x.name);
  return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (n == name) return true;
  return false;
}

// --- Pure record behaviour -----------------------------------------------------

TEST(FormatOptions, DefaultsOfEveryRecord) {
  AllFormatOptions all;
  const char* prefixes[] = {"XML", "ESRI", "DXF", "CSV", "TXT", "GSI", "REB", "SVG", "DAT", "XSLT"};
  std::vector<FormatOptions*> records = all.records();
  ASSERT_EQ(records.size(), 10u);
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(prefixes[i]);
    const FormatOptions& r = *records[i];
    EXPECT_EQ(r.keyPrefix, prefixes[i]);
    EXPECT_EQ(r.title, "");
    EXPECT_FALSE(r.alphaNumIdsNotOffered);
    EXPECT_EQ(r.inScaleFactor, 1.0);
    EXPECT_FALSE(r.inSwap);
    EXPECT_FALSE(r.inAlphaNumIds);
    EXPECT_EQ(r.inSwapOrder, "XYZ");
    EXPECT_EQ(r.outScaleFactor, 1.0);
    EXPECT_FALSE(r.outSwap);
    EXPECT_EQ(r.outSwapOrder, "XYZ");
  }

  const DxfOptions& d = all.dxf;
  EXPECT_EQ(d.approx, 0.01);
  EXPECT_EQ(d.epsilon, 0.005);
  EXPECT_TRUE(d.importAllLayers);
  EXPECT_FALSE(d.importAllLayersWithoutAssignment);
  EXPECT_EQ(d.cpFactor, 1.5);
  EXPECT_EQ(d.cpMethod, kCentrePointsByFactor);
  EXPECT_TRUE(d.importBlocks);
  EXPECT_TRUE(d.importBlocksAnchorPoints);
  EXPECT_FALSE(d.pidImport);
  EXPECT_EQ(d.pidImportSource, kPidFromTexts);
  EXPECT_EQ(d.pidImportEpsilon, 0.005);
  EXPECT_FALSE(d.pidImportIgnoreZ);
  EXPECT_EQ(d.pidBlockAttribute, "VL_PID");
  EXPECT_EQ(d.pidBlockTextNumber, 1);
  EXPECT_EQ(d.pidImportLayer, "VL_PID");
  EXPECT_EQ(d.pidLineNumber, 1);
  EXPECT_FALSE(d.importProxyAnchorPoints);
  EXPECT_FALSE(d.keepVlPrefix);
  EXPECT_FALSE(d.addPolyPoints);
  EXPECT_TRUE(d.addVlLayerPrefix);
  EXPECT_EQ(d.coord.layer, "VL_COORD");
  EXPECT_EQ(d.coordFormat, "(%x %y)");
  EXPECT_EQ(d.pid.layer, "VL_PID");
  EXPECT_EQ(d.comment.layer, "VL_COMMENT");
  for (const TextLabelOptions* t : {&d.coord, &d.text, &d.pid, &d.comment}) {
    EXPECT_FALSE(t->enabled);
    EXPECT_EQ(t->height, 0.01);
    EXPECT_FALSE(t->relative);
    EXPECT_FALSE(t->origLayer);
    EXPECT_EQ(t->orientation, 0);
  }
  EXPECT_EQ(d.pdMode, 0);
  EXPECT_EQ(d.pdSize, 0.0);

  EXPECT_EQ(all.csv.inDelimiter, ';');
  EXPECT_EQ(all.csv.outDelimiter, ';');
  EXPECT_TRUE(all.csv.inDecimal == '.' || all.csv.inDecimal == ',');
  EXPECT_EQ(all.csv.inDecimal, systemDecimalSeparator());
  EXPECT_EQ(all.txt.inDelimiter, kDelimiterWs);
  EXPECT_EQ(all.txt.outDelimiter, kDelimiterTab);
  EXPECT_EQ(all.txt.inDecimal, '.');
  EXPECT_EQ(all.txt.inFormat, "#XYZ");
  EXPECT_EQ(all.txt.outFormat, "#XYZ");
  EXPECT_EQ(all.gsi.wordIndexComment, 71);
  EXPECT_EQ(all.gsi.wordIndexCategory, 0);
  EXPECT_EQ(all.reb.outTypes, kRebDa30);
  EXPECT_EQ(all.reb.outKz, 10);
  EXPECT_EQ(all.xml.preferredSystem, 0);
  EXPECT_EQ(all.svg.pid.layer, "VL_PID");
  EXPECT_EQ(all.svg.coordFormat, "(%x %y)");
  EXPECT_EQ(all.svg.svgVersion, 1.1);
}

TEST(FormatOptions, ResetScopes) {
  auto dirty = [] {
    CsvOptions c;
    c.title = "CSV Input Options";
    c.alphaNumIdsNotOffered = true;
    c.inScaleFactor = 2;
    c.inSwap = true;
    c.inSwapOrder = "YXZ";
    c.inAlphaNumIds = true;
    c.inDelimiter = ',';
    c.inPidReduce = true;
    c.outScaleFactor = 3;
    c.outSwap = true;
    c.outSwapOrder = "ZYX";
    c.outDelimiter = kDelimiterTab;
    return c;
  };
  struct Case {
    int scope;
    bool inputReset;
    bool outputReset;
  } cases[] = {{kResetBoth, true, true}, {kResetOutput, false, true}, {kResetInput, true, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.scope);
    CsvOptions c = dirty();
    c.reset(k.scope);
    EXPECT_EQ(c.title, "");
    EXPECT_EQ(c.keyPrefix, "CSV");
    EXPECT_FALSE(c.alphaNumIdsNotOffered);
    EXPECT_EQ(c.inScaleFactor, k.inputReset ? 1.0 : 2.0);
    EXPECT_EQ(c.inSwap, !k.inputReset);
    EXPECT_EQ(c.inSwapOrder, k.inputReset ? "XYZ" : "YXZ");
    EXPECT_EQ(c.inAlphaNumIds, !k.inputReset);
    EXPECT_EQ(c.inDelimiter, k.inputReset ? ';' : ',');
    EXPECT_EQ(c.inPidReduce, !k.inputReset);
    EXPECT_EQ(c.outScaleFactor, k.outputReset ? 1.0 : 3.0);
    EXPECT_EQ(c.outSwap, !k.outputReset);
    EXPECT_EQ(c.outSwapOrder, k.outputReset ? "XYZ" : "ZYX");
    EXPECT_EQ(c.outDelimiter, k.outputReset ? ';' : kDelimiterTab);
  }

  // The common reset alone empties the key prefix.
  FormatOptions common("XML");
  common.reset(kResetInput);
  EXPECT_EQ(common.keyPrefix, "");

  DxfOptions d;
  d.approx = 3;
  d.pid.enabled = true;
  d.reset(kResetOutput);
  EXPECT_EQ(d.approx, 3);
  EXPECT_FALSE(d.pid.enabled);
  d.reset(kResetInput);
  EXPECT_EQ(d.approx, 0.01);
}

TEST(FormatOptions, ValueNames) {
  AllFormatOptions all;
  std::set<std::string> seen;
  for (FormatOptions* r : all.records()) {
    for (const std::string& name : valueNames(*r)) {
      SCOPED_TRACE(name);
      EXPECT_EQ(name.rfind(r->keyPrefix + "_", 0), 0u);
      EXPECT_TRUE(seen.insert(name).second) << "duplicate";
    }
  }

  const std::vector<std::string> dxf = valueNames(all.dxf);
  for (const char* name :
       {"DXF_In_ScaleFactor", "DXF_In_Swap", "DXF_In_SwapFormat", "DXF_In_PID_AlphaNum", "DXF_Out_ScaleFactor",
        "DXF_Out_Swap", "DXF_Out_SwapFormat", "DXF_Approx", "DXF_Epsilon", "DXF_ImportAllLayers",
        "DXF_ImportAllLayersWithoutAssignment", "DXF_CPFactor", "DXF_CPMethod", "DXF_ImportBlocks",
        "DXF_ImportBlocksAnchorPoints", "DXF_PID_Import", "DXF_PID_ImportSource", "DXF_PID_ImportEpsilon",
        "DXF_PID_BlockAttribute", "DXF_PID_BlockTextNumber", "DXF_PID_ImportLayer", "DXF_PID_LineNumber",
        "DXF_In_ImportProxyGraphicsAnchorPoints", "DXF_Out_AddPolyPoints", "DXF_Out_AddVLLayerPrefix", "DXF_Coord",
        "DXF_CoordHeight", "DXF_Coord_OrigLayer", "DXF_Coord_Layer", "DXF_CoordFormat", "DXF_Coord_Orientation",
        "DXF_Text", "DXF_TextHeight", "DXF_Text_ForceHeight", "DXF_PID", "DXF_PIDHeight", "DXF_PID_OrgLayer",
        "DXF_PID_Layer", "DXF_PID_Orientation", "DXF_Comment", "DXF_Out_Comment_OrigLayer", "DXF_Comment_Layer",
        "DXF_Comment_Height", "DXF_Comment_Orientation", "DXF_PDMODE", "DXF_PDSIZE"}) {
    EXPECT_TRUE(contains(dxf, name)) << name;
  }
  EXPECT_EQ(dxf.size(), 46u);
  EXPECT_FALSE(contains(dxf, "DXF_PID_OrigLayer"));
  EXPECT_FALSE(contains(dxf, "DXF_Comment_OrigLayer"));

  const std::vector<std::string> gsi = valueNames(all.gsi);
  EXPECT_TRUE(contains(gsi, "GSI_InScaleFactor"));
  EXPECT_FALSE(contains(gsi, "GSI_In_ScaleFactor"));
  EXPECT_TRUE(contains(gsi, "GSI_In_WordIndex_Comment"));
  EXPECT_TRUE(contains(gsi, "GSI_In_WordIndex_Category"));
  EXPECT_TRUE(contains(gsi, "GSI_Out_ScaleFactor"));

  const std::vector<std::string> reb = valueNames(all.reb);
  EXPECT_TRUE(contains(reb, "REB_OutType"));
  EXPECT_TRUE(contains(reb, "REB_Out_KZ"));

  for (const char* name : {"CSV_In_Delimiter", "CSV_In_Decimal", "CSV_In_PIDReduce", "CSV_Out_Delimiter",
                           "CSV_Out_Decimal", "CSV_In_PID_AlphaNum"})
    EXPECT_TRUE(contains(valueNames(all.csv), name)) << name;
  for (const char* name : {"TXT_In_Delimiter", "TXT_In_Decimal", "TXT_In_Format", "TXT_In_PIDReduce",
                           "TXT_Out_Delimiter", "TXT_Out_Decimal", "TXT_Out_Format"})
    EXPECT_TRUE(contains(valueNames(all.txt), name)) << name;

  EXPECT_EQ(valueNames(all.xslt),
            (std::vector<std::string>{"XSLT_In_ScaleFactor", "XSLT_In_Swap", "XSLT_In_SwapFormat",
                                      "XSLT_In_PID_AlphaNum", "XSLT_Out_ScaleFactor", "XSLT_Out_Swap",
                                      "XSLT_Out_SwapFormat"}));
  EXPECT_TRUE(valueNames(all.svg).empty());
  EXPECT_EQ(valueNames(all.esri).size(), 7u);
  EXPECT_EQ(valueNames(all.dat).size(), 7u);
}

TEST(FormatOptions, FindRecordByTypeAndDirection) {
  AllFormatOptions all;
  EXPECT_EQ(all.find(kFormatXml), &all.xml);
  EXPECT_EQ(all.find(kFormatXslt), &all.xslt);
  EXPECT_EQ(all.find(kFormatAll), nullptr);
  EXPECT_EQ(all.find(0), nullptr);
  EXPECT_EQ(all.find(kFormatDxf, FormatDirection::Export), &all.dxf);
  EXPECT_EQ(all.find(kFormatEsri, FormatDirection::Import), &all.esri);
  EXPECT_EQ(all.find(kFormatEsri, FormatDirection::Export), nullptr);
  EXPECT_EQ(all.find(kFormatSvg, FormatDirection::Import), nullptr);
  EXPECT_EQ(all.find(kFormatSvg, FormatDirection::Export), &all.svg);
  EXPECT_EQ(all.find(kFormatDat, FormatDirection::Import), nullptr);
  EXPECT_EQ(all.find(kFormatReb, FormatDirection::Import), &all.reb);
}

TEST(FormatOptions, DescribeOptionsListsOneDirection) {
  AllFormatOptions all;
  all.dxf.approx = 0.02;
  all.dxf.pid.height = 5;
  all.dxf.pid.relative = true;
  const std::vector<std::string> in = describeOptions(kFormatDxf, FormatDirection::Import, all);
  EXPECT_TRUE(contains(in, "DXF_Approx = 0.0200000000 (default: 0.0100000000)"));
  EXPECT_TRUE(contains(in, "DXF_PID_ImportLayer = \"VL_PID\" (default: \"VL_PID\")"));
  EXPECT_TRUE(contains(in, "DXF_In_Swap = 0 (default: 0)"));
  for (const std::string& line : in) EXPECT_EQ(line.find("DXF_PIDHeight"), std::string::npos) << line;

  const std::vector<std::string> out = describeOptions(kFormatDxf, FormatDirection::Export, all);
  EXPECT_TRUE(contains(out, "DXF_PIDHeight = -5.0000000000 (default: 0.0100000000)"));
  EXPECT_FALSE(contains(out, "DXF_Approx = 0.0200000000 (default: 0.0100000000)"));

  const std::vector<std::string> txt = describeOptions(kFormatTxt, FormatDirection::Import, all);
  EXPECT_TRUE(contains(txt, "TXT_In_Delimiter = WS (default: WS)"));
  EXPECT_TRUE(contains(describeOptions(kFormatTxt, FormatDirection::Export, all),
                       "TXT_Out_Delimiter = TAB (default: TAB)"));
  EXPECT_TRUE(contains(describeOptions(kFormatCsv, FormatDirection::Export, all),
                       "CSV_Out_Delimiter = \";\" (default: \";\")"));
  EXPECT_TRUE(contains(describeOptions(kFormatGsi, FormatDirection::Import, all),
                       "GSI_InScaleFactor = 1.0000000000 (default: 1.0000000000)"));

  EXPECT_TRUE(describeOptions(kFormatSvg, FormatDirection::Export, all).empty());
  EXPECT_TRUE(describeOptions(kFormatEsri, FormatDirection::Export, all).empty());
  EXPECT_TRUE(describeOptions(kFormatAll, FormatDirection::Import, all).empty());
}

// --- Persistence -----------------------------------------------------------------

// A settings key over fresh per-user and machine-wide stores in a sandbox
// folder of this test's own.
class OptionsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_key.create(kProgramKeyPath)); }
  void TearDown() override { m_key.close(); }

  test::Sandbox m_sandbox;
  SettingsKey m_key;
};

// Sets every bound field of a record to a value other than its default.
void changeEveryValue(FormatOptions& record) {
  OptionBindings bindings;
  record.bind(bindings);
  int n = 0;
  for (const OptionBinding& b : bindings) {
    ++n;
    switch (b.kind) {
      case OptionBinding::Kind::Bool: *static_cast<bool*>(b.field) = !*static_cast<bool*>(b.field); break;
      case OptionBinding::Kind::Int: *static_cast<int*>(b.field) += 3 + n; break;
      case OptionBinding::Kind::Dword: *static_cast<uint32_t*>(b.field) += 3u + n; break;
      case OptionBinding::Kind::Double: *static_cast<double*>(b.field) = 0.25 * n + 0.125; break;
      case OptionBinding::Kind::Char: *static_cast<char*>(b.field) = static_cast<char>('!' + n % 20); break;
      case OptionBinding::Kind::String: *static_cast<std::string*>(b.field) = "v\\\"" + b.name; break;
      case OptionBinding::Kind::SignedDouble:
        *static_cast<double*>(b.field) = 0.5 * n;
        *b.signFlag = n % 2 == 0;
        break;
    }
  }
}

std::vector<std::string> valueTexts(FormatOptions& record) {
  OptionBindings bindings;
  record.bind(bindings);
  std::vector<std::string> out;
  for (const OptionBinding& b : bindings) out.push_back(b.name + "=" + bindingValueText(b));
  return out;
}

TEST_F(OptionsStoreTest, EveryRecordRoundTrips) {
  AllFormatOptions saved;
  for (FormatOptions* r : saved.records()) changeEveryValue(*r);
  ASSERT_TRUE(saved.saveAll(m_key));

  AllFormatOptions loaded;
  loaded.loadAll(m_key, true);
  std::vector<FormatOptions*> a = saved.records(), b = loaded.records();
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(a[i]->keyPrefix);
    EXPECT_EQ(valueTexts(*b[i]), valueTexts(*a[i]));
  }
  // Fields without a registry value keep their defaults.
  EXPECT_EQ(loaded.svg.pid.layer, "VL_PID");
  EXPECT_FALSE(loaded.dxf.keepVlPrefix);
}

TEST_F(OptionsStoreTest, LoadWithoutRegistryTakesDefaults) {
  AllFormatOptions saved;
  for (FormatOptions* r : saved.records()) changeEveryValue(*r);
  ASSERT_TRUE(saved.saveAll(m_key));

  AllFormatOptions loaded;
  loaded.csv.inDelimiter = 'x';
  loaded.loadAll(m_key, false);
  AllFormatOptions defaults;
  std::vector<FormatOptions*> a = defaults.records(), b = loaded.records();
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(a[i]->keyPrefix);
    EXPECT_EQ(valueTexts(*b[i]), valueTexts(*a[i]));
    EXPECT_EQ(b[i]->keyPrefix, a[i]->keyPrefix);
  }
}

TEST_F(OptionsStoreTest, StoredFormsOfCommonValues) {
  XmlOptions x;
  x.inScaleFactor = 2.5;
  x.inSwap = true;
  x.inSwapOrder = "YXZ";
  x.outScaleFactor = 0.001;
  ASSERT_TRUE(x.saveCommon(m_key));
  std::string text;
  uint32_t number = 7;
  EXPECT_TRUE(m_key.readString("XML_In_ScaleFactor", text, ""));
  EXPECT_EQ(text, "2.5000000000");
  EXPECT_TRUE(m_key.readString("XML_Out_ScaleFactor", text, ""));
  EXPECT_EQ(text, "0.0010000000");
  EXPECT_TRUE(m_key.readDword("XML_In_Swap", number, 0));
  EXPECT_EQ(number, 1u);
  EXPECT_TRUE(m_key.readDword("XML_In_PID_AlphaNum", number, 7));
  EXPECT_EQ(number, 0u);
  EXPECT_TRUE(m_key.readString("XML_In_SwapFormat", text, ""));
  EXPECT_EQ(text, "YXZ");
  EXPECT_FALSE(m_key.readString("XML_Out_PID_AlphaNum", text, ""));

  XmlOptions back;
  back.loadCommon(m_key);
  EXPECT_EQ(back.inScaleFactor, 2.5);
  EXPECT_TRUE(back.inSwap);
  EXPECT_EQ(back.inSwapOrder, "YXZ");
  EXPECT_EQ(back.outScaleFactor, 0.001);

  GsiOptions g;
  g.inScaleFactor = 4;
  ASSERT_TRUE(g.save(m_key));
  EXPECT_TRUE(m_key.readString("GSI_InScaleFactor", text, ""));
  EXPECT_EQ(text, "4.0000000000");
  EXPECT_FALSE(m_key.readString("GSI_In_ScaleFactor", text, ""));
}

TEST_F(OptionsStoreTest, SignedValuesSplitIntoMagnitudeAndFlag) {
  ASSERT_TRUE(m_key.writeDouble("DXF_PIDHeight", -5));
  ASSERT_TRUE(m_key.writeDouble("DXF_CoordHeight", 0.25));
  ASSERT_TRUE(m_key.writeDouble("DXF_PID_ImportEpsilon", -0.005));
  ASSERT_TRUE(m_key.writeDword("DXF_PID_BlockTextNumber", 0));
  ASSERT_TRUE(m_key.writeDword("DXF_PID_LineNumber", static_cast<uint32_t>(-3)));
  DxfOptions d;
  d.load(m_key, true);
  EXPECT_EQ(d.pid.height, 5);
  EXPECT_TRUE(d.pid.relative);
  EXPECT_EQ(d.coord.height, 0.25);
  EXPECT_FALSE(d.coord.relative);
  EXPECT_EQ(d.pidImportEpsilon, 0.005);
  EXPECT_TRUE(d.pidImportIgnoreZ);
  EXPECT_EQ(d.pidBlockTextNumber, 1);
  EXPECT_EQ(d.pidLineNumber, 1);

  ASSERT_TRUE(d.save(m_key));
  double stored = 0;
  EXPECT_TRUE(m_key.readDouble("DXF_PIDHeight", stored, 0));
  EXPECT_EQ(stored, -5);
  EXPECT_TRUE(m_key.readDouble("DXF_PID_ImportEpsilon", stored, 0));
  EXPECT_EQ(stored, -0.005);
}

TEST_F(OptionsStoreTest, MissingValuesAndTheApplyDefaultsFlag) {
  DxfOptions d;
  d.approx = 5.0;
  d.load(m_key, true);  // nothing stored
  EXPECT_EQ(d.approx, 0.01);

  m_key.applyDefaults = false;
  d.approx = 5.0;
  OptionBindings bindings;
  d.bind(bindings);
  readBindings(m_key, bindings);
  EXPECT_EQ(d.approx, 5.0);
  m_key.applyDefaults = true;
}

TEST_F(OptionsStoreTest, MachineWideValueIsReadAndSavedPerUser) {
  {
    auto machine = platform::SettingsStore::open(m_sandbox.machineSettings(), platform::SettingsStore::Mode::Create);
    ASSERT_NE(machine, nullptr);
    ASSERT_TRUE(
        machine->write(kProgramKeyPath, "CSV_In_Swap", platform::ValueType::Dword, std::string("\x01\0\0\0", 4)));
  }
  ASSERT_TRUE(m_key.create(kProgramKeyPath));
  ASSERT_NE(m_key.machineStore(), nullptr);
  CsvOptions c;
  c.load(m_key, true);
  EXPECT_TRUE(c.inSwap);
  ASSERT_NE(m_key.userStore(), nullptr);
  EXPECT_FALSE(m_key.userStore()->read(kProgramKeyPath, "CSV_In_Swap").has_value());
  ASSERT_TRUE(c.save(m_key));
  EXPECT_TRUE(m_key.userStore()->read(kProgramKeyPath, "CSV_In_Swap").has_value());
}

TEST_F(OptionsStoreTest, DelimiterCodesStoredAsOneCharacter) {
  TxtOptions t;
  t.inDelimiter = kDelimiterTab;
  t.outDelimiter = kDelimiterWs;
  t.inDecimal = ',';
  ASSERT_TRUE(t.save(m_key));
  std::string raw;
  EXPECT_TRUE(m_key.readString("TXT_Out_Delimiter", raw, ""));
  EXPECT_EQ(raw, std::string(1, kDelimiterWs));
  TxtOptions back;
  back.load(m_key, true);
  EXPECT_EQ(back.inDelimiter, kDelimiterTab);
  EXPECT_EQ(back.outDelimiter, kDelimiterWs);
  EXPECT_EQ(back.inDecimal, ',');
}

}  // namespace
}  // namespace vltrx
