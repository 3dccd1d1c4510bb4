// Option declarations: bindings, reset scopes and dialog texts all come from
// one declaration per record; the delimiter and layout checks the command
// line and the dialogs share.
#include "framework/FormatOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/TableOptions.h"

namespace vltrx {
namespace {

using Kind = OptionBinding::Kind;

// A binding for any declared field, stored or not, to read and change it.
OptionBinding access(FormatOptions& record, const DeclaredOption& d) {
  const OptionField& f = *d.field;
  return {d.name, f.kind(), f.side == kInputSide, f.field.at(record),
          f.signFlag.at ? static_cast<bool*>(f.signFlag.at(record)) : nullptr, &f};
}

void change(const OptionBinding& b, int n) {
  switch (b.kind) {
    case Kind::Bool: *static_cast<bool*>(b.field) = !*static_cast<bool*>(b.field); break;
    case Kind::Int: *static_cast<int*>(b.field) += 3 + n; break;
    case Kind::Dword: *static_cast<uint32_t*>(b.field) += 3u + n; break;
    case Kind::Double: *static_cast<double*>(b.field) += 0.25 * n + 0.125; break;
    case Kind::Char: *static_cast<char*>(b.field) = static_cast<char>('!' + n % 20); break;
    case Kind::String: *static_cast<std::string*>(b.field) += "changed"; break;
    case Kind::SignedDouble:
      *static_cast<double*>(b.field) += 0.5 * n;
      *b.signFlag = !*b.signFlag;
      break;
  }
}

TEST(OptionDeclaration, BindingsAreTheStoredDeclaredFieldsInOrder) {
  AllFormatOptions all;
  for (FormatOptions* r : all.records()) {
    SCOPED_TRACE(r->keyPrefix);
    EXPECT_EQ(r->declaration().keyPrefix, r->keyPrefix);
    OptionBindings bindings;
    r->bind(bindings);
    std::vector<std::string> stored;
    for (const DeclaredOption& d : r->declaredFields())
      if (!d.name.empty()) stored.push_back(d.name);
    for (const DeclaredOption& d : r->declaredFields()) {
      // A value named for a side belongs to it ("CSV_In_", "GSI_InScaleFactor", "REB_OutType").
      const std::string afterPrefix = d.name.substr(std::min(d.name.size(), r->keyPrefix.size() + 1));
      if (afterPrefix.starts_with("In")) {
        EXPECT_EQ(d.field->side, kInputSide) << d.name;
      }
      if (afterPrefix.starts_with("Out")) {
        EXPECT_EQ(d.field->side, kOutputSide) << d.name;
      }
      if (!d.field->signFlag.at) continue;
      // A signed value is a double whose sign lives in a bool.
      EXPECT_EQ(d.field->field.kind, Kind::Double) << d.name;
      EXPECT_EQ(d.field->signFlag.kind, Kind::Bool) << d.name;
    }
    ASSERT_EQ(bindings.size(), stored.size());
    for (size_t i = 0; i < bindings.size(); ++i) {
      EXPECT_EQ(bindings[i].name, stored[i]);
      ASSERT_NE(bindings[i].declared, nullptr);
      EXPECT_EQ(bindings[i].kind, bindings[i].declared->kind());
    }
  }
}

TEST(OptionDeclaration, ResetGivesTheFieldsOfItsSidesTheirDefaults) {
  struct Scope {
    int scope;
    bool input, output;
  };
  for (Scope s : {Scope{kResetBoth, true, true}, Scope{kResetInput, true, false}, Scope{kResetOutput, false, true}}) {
    SCOPED_TRACE(s.scope);
    AllFormatOptions changed, defaults;
    std::vector<FormatOptions*> records = changed.records(), plain = defaults.records();
    for (size_t r = 0; r < records.size(); ++r) {
      SCOPED_TRACE(records[r]->keyPrefix);
      const std::vector<DeclaredOption> fields = records[r]->declaredFields();
      for (size_t i = 0; i < fields.size(); ++i) change(access(*records[r], fields[i]), static_cast<int>(i));
      const AllFormatOptions before = changed;
      records[r]->title = "Options";
      records[r]->alphaNumIdsNotOffered = true;
      records[r]->reset(s.scope);
      EXPECT_EQ(records[r]->title, "");
      EXPECT_FALSE(records[r]->alphaNumIdsNotOffered);
      EXPECT_EQ(records[r]->keyPrefix, plain[r]->keyPrefix);
      FormatOptions* old = const_cast<AllFormatOptions&>(before).records()[r];
      for (const DeclaredOption& d : fields) {
        SCOPED_TRACE(d.name);
        const bool reset = d.field->side == kInputSide ? s.input : s.output;
        FormatOptions* expected = reset ? plain[r] : old;
        EXPECT_EQ(bindingValueText(access(*records[r], d)), bindingValueText(access(*expected, d)));
      }
    }
  }
}

TEST(OptionDeclaration, DialogTextsExist) {
  AllFormatOptions all;
  int labelled = 0;
  for (FormatOptions* r : all.records()) {
    for (const DeclaredOption& d : r->declaredFields()) {
      SCOPED_TRACE(d.name);
      for (int id : {d.field->label, d.field->tooltip}) {
        if (id == 0) continue;
        ++labelled;
        EXPECT_LT(id, 339);
        EXPECT_FALSE(text(id, Language::En).empty());
      }
    }
  }
  EXPECT_GT(labelled, 0);
  GsiOptions gsi;
  OptionBindings b;
  gsi.bind(b);
  EXPECT_EQ(b[0].name, "GSI_In_WordIndex_Comment");
  EXPECT_EQ(b[0].declared->label, 253);
  EXPECT_EQ(b[0].declared->tooltip, 255);
}

TEST(TableOptionTexts, DelimiterDecimalAndLayout) {
  struct Delimiter {
    const char* text;
    bool ok;
    char code;
  };
  for (const Delimiter& c : std::vector<Delimiter>{{"WS", true, kDelimiterWs},
                                                  {"ws", true, kDelimiterWs},
                                                  {"Tab", true, kDelimiterTab},
                                                  {"\t", true, kDelimiterTab},
                                                  {";", true, ';'},
                                                  {"_", true, '_'},
                                                  {"", false, 0},
                                                  {";;", false, 0},
                                                  {"7", true, '7'},
                                                  {"\"", true, '"'},
                                                  {"-", true, '-'}}) {
    SCOPED_TRACE(c.text);
    char code = 0;
    EXPECT_EQ(parseDelimiterText(c.text, code), c.ok);
    if (c.ok) {
      EXPECT_EQ(code, c.code);
    }
  }
  char decimal = 0;
  EXPECT_TRUE(parseDecimalText(",", decimal));
  EXPECT_EQ(decimal, ',');
  EXPECT_FALSE(parseDecimalText(";", decimal));
  EXPECT_FALSE(parseDecimalText("", decimal));

  struct Layout {
    const char* layout;
    bool input, output;
  };
  for (const Layout& c : std::vector<Layout>{{"#XYZ", true, true},
                                            {"#nez", true, true},
                                            {"#XYIZKP", true, true},
                                            {"#XYZC", false, true},
                                            {"#XZ", false, false},
                                            {"#XYNE", true, true},
                                            {"#XYQ", false, false},
                                            {"", false, false}}) {
    SCOPED_TRACE(c.layout);
    EXPECT_EQ(isValidTxtLayout(c.layout, true), c.input);
    EXPECT_EQ(isValidTxtLayout(c.layout, false), c.output);
  }
}

}  // namespace
}  // namespace vltrx
