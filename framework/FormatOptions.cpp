// Common option fields, the value bindings that load, save and list them,
// and the records of XML, ESRI, SVG, DAT and XSLT.
#include "framework/FormatOptions.h"

#include <cmath>
#include <locale>

#include "core/DelimiterCodes.h"
#include "core/Numbers.h"
#include "framework/SettingsKey.h"

namespace vltrx {
namespace {

using Kind = OptionBinding::Kind;

// The common values in table order; the first four are the import side.
// Dialog texts: "Scale" (279) with "Scale factor (Default value=1)" (289),
// "Coordinate swap" (280) and its order combo box with 290, "Alphanumeric
// point id's" (288) with 291.
constexpr OptionField kCommonFields[] = {
    {"_In_ScaleFactor", kInputSide, optionField<&FormatOptions::inScaleFactor>(), 1.0, {}, 279, 289},
    {"_In_Swap", kInputSide, optionField<&FormatOptions::inSwap>(), false, {}, 280, 290},
    {"_In_SwapFormat", kInputSide, optionField<&FormatOptions::inSwapOrder>(), "XYZ", {}, 0, 290},
    {"_In_PID_AlphaNum", kInputSide, optionField<&FormatOptions::inAlphaNumIds>(), false, {}, 288, 291},
    {"_Out_ScaleFactor", kOutputSide, optionField<&FormatOptions::outScaleFactor>(), 1.0, {}, 279, 289},
    {"_Out_Swap", kOutputSide, optionField<&FormatOptions::outSwap>(), false, {}, 280, 290},
    {"_Out_SwapFormat", kOutputSide, optionField<&FormatOptions::outSwapOrder>(), "XYZ", {}, 0, 290},
};

void resetField(FormatOptions& record, const OptionField& f) {
  void* p = f.field.at(record);
  const OptionDefault& d = f.value;
  switch (f.kind()) {
    case Kind::Bool: *static_cast<bool*>(p) = d.number != 0; break;
    case Kind::Int: *static_cast<int*>(p) = static_cast<int>(d.number); break;
    case Kind::Dword: *static_cast<uint32_t*>(p) = static_cast<uint32_t>(d.number); break;
    case Kind::Double: *static_cast<double*>(p) = d.number; break;
    case Kind::Char:
      *static_cast<char*>(p) = d.computed ? d.computed() : static_cast<char>(static_cast<unsigned char>(d.number));
      break;
    case Kind::String: *static_cast<std::string*>(p) = d.text; break;
    case Kind::SignedDouble:
      *static_cast<double*>(p) = std::fabs(d.number);
      *static_cast<bool*>(f.signFlag.at(record)) = d.number < 0;
      break;
  }
}

void resetFields(FormatOptions& record, std::span<const OptionField> fields, int scope) {
  const bool input = scope == kResetBoth || scope == kResetInput;
  const bool output = scope == kResetBoth || scope == kResetOutput;
  for (const OptionField& f : fields)
    if (f.side == kInputSide ? input : output) resetField(record, f);
}

OptionBinding bindingOf(FormatOptions& record, const OptionField& f, std::string name) {
  return {std::move(name), f.kind(), f.side == kInputSide, f.field.at(record),
          f.signFlag.at ? static_cast<bool*>(f.signFlag.at(record)) : nullptr, &f};
}

// The common bindings under the record's current key prefix.
OptionBindings commonBindings(FormatOptions& record) {
  OptionBindings out;
  for (const OptionField& f : kCommonFields) out.push_back(bindingOf(record, f, record.keyPrefix + std::string(f.name)));
  return out;
}

}  // namespace

std::span<const OptionField> commonOptionFields() { return kCommonFields; }

std::string commonValueName(std::string_view prefix, int index) {
  std::string name(prefix);
  if (index >= 0 && index < 7) name += kCommonFields[index].name;
  return name;
}

const OptionDeclaration& FormatOptions::declaration() const {
  static const OptionDeclaration d{"", {}, CommonValues::First};
  return d;
}

std::vector<DeclaredOption> FormatOptions::declaredFields() const {
  const OptionDeclaration& d = declaration();
  std::vector<DeclaredOption> out;
  auto addCommon = [&] {
    for (const OptionField& f : kCommonFields) {
      std::string name;
      if (d.common != CommonValues::NotStored)
        name = &f == &kCommonFields[0] && !d.inScaleName.empty() ? std::string(d.inScaleName)
                                                                 : keyPrefix + std::string(f.name);
      out.push_back({&f, std::move(name)});
    }
  };
  if (d.common != CommonValues::Last) addCommon();
  for (const OptionField& f : d.fields) out.push_back({&f, std::string(f.name)});
  if (d.common == CommonValues::Last) addCommon();
  return out;
}

void FormatOptions::reset(int scope) {
  const OptionDeclaration& d = declaration();
  resetFields(*this, kCommonFields, scope);
  resetFields(*this, d.fields, scope);
  title.clear();
  alphaNumIdsNotOffered = false;
  keyPrefix = d.keyPrefix;
}

void FormatOptions::load(const SettingsKey& key, bool readRegistry) {
  reset(kResetBoth);
  if (!readRegistry) return;
  OptionBindings bindings;
  bind(bindings);
  readBindings(key, bindings);
}

bool FormatOptions::save(SettingsKey& key) const {
  // bind() hands out pointers to fields; writing only reads through them.
  OptionBindings bindings;
  const_cast<FormatOptions*>(this)->bind(bindings);
  return writeBindings(key, bindings);
}

void FormatOptions::bind(OptionBindings& out) {
  for (DeclaredOption& d : declaredFields())
    if (!d.name.empty()) out.push_back(bindingOf(*this, *d.field, std::move(d.name)));
}

void FormatOptions::loadCommon(const SettingsKey& key) { readBindings(key, commonBindings(*this)); }

bool FormatOptions::saveCommon(SettingsKey& key) const {
  return writeBindings(key, commonBindings(const_cast<FormatOptions&>(*this)));
}

void readBindings(const SettingsKey& key, const OptionBindings& bindings) {
  for (const OptionBinding& b : bindings) {
    switch (b.kind) {
      case Kind::Bool: {
        bool& v = *static_cast<bool*>(b.field);
        key.readBool(b.name, v, v);
        break;
      }
      case Kind::Int: {
        int& v = *static_cast<int*>(b.field);
        uint32_t raw = static_cast<uint32_t>(v);
        key.readDword(b.name, raw, raw);
        v = static_cast<int>(raw);
        break;
      }
      case Kind::Dword: {
        uint32_t& v = *static_cast<uint32_t*>(b.field);
        key.readDword(b.name, v, v);
        break;
      }
      case Kind::Double: {
        double& v = *static_cast<double*>(b.field);
        key.readDouble(b.name, v, v);
        break;
      }
      case Kind::Char: {
        char& v = *static_cast<char*>(b.field);
        key.readChar(b.name, v, v);
        break;
      }
      case Kind::String: {
        std::string& v = *static_cast<std::string*>(b.field);
        const std::string def = v;
        key.readString(b.name, v, def);
        break;
      }
      case Kind::SignedDouble: {
        // Stored signed; kept as absolute value and a flag for the sign.
        double& v = *static_cast<double*>(b.field);
        bool& negative = *b.signFlag;
        double stored = negative ? -std::fabs(v) : std::fabs(v);
        key.readDouble(b.name, stored, stored);
        v = std::fabs(stored);
        negative = stored < 0;
        break;
      }
    }
  }
}

bool writeBindings(SettingsKey& key, const OptionBindings& bindings) {
  bool ok = true;
  for (const OptionBinding& b : bindings) {
    bool written = false;
    switch (b.kind) {
      case Kind::Bool: written = key.writeBool(b.name, *static_cast<const bool*>(b.field)); break;
      case Kind::Int:
        written = key.writeDword(b.name, static_cast<uint32_t>(*static_cast<const int*>(b.field)));
        break;
      case Kind::Dword: written = key.writeDword(b.name, *static_cast<const uint32_t*>(b.field)); break;
      case Kind::Double: written = key.writeDouble(b.name, *static_cast<const double*>(b.field)); break;
      case Kind::Char:
        written = key.writeString(b.name, std::string(1, *static_cast<const char*>(b.field)));
        break;
      case Kind::String: written = key.writeString(b.name, *static_cast<const std::string*>(b.field)); break;
      case Kind::SignedDouble: {
        const double v = std::fabs(*static_cast<const double*>(b.field));
        written = key.writeDouble(b.name, *b.signFlag ? -v : v);
        break;
      }
    }
    ok = written && ok;
  }
  return ok;
}

std::string bindingValueText(const OptionBinding& b) {
  switch (b.kind) {
    case Kind::Bool: return *static_cast<const bool*>(b.field) ? "1" : "0";
    case Kind::Int: {
      std::string s;
      appendInt(s, *static_cast<const int*>(b.field));
      return s;
    }
    case Kind::Dword: {
      std::string s;
      appendInt(s, *static_cast<const uint32_t*>(b.field));
      return s;
    }
    case Kind::Double: return formatFixed(*static_cast<const double*>(b.field), 10);
    case Kind::Char: {
      const char c = *static_cast<const char*>(b.field);
      if (c == kDelimiterWs) return "WS";
      if (c == kDelimiterTab) return "TAB";
      if (static_cast<unsigned char>(c) < 32) {
        std::string s = "#";
        appendInt(s, static_cast<unsigned char>(c));
        return s;
      }
      return std::string("\"") + c + "\"";
    }
    case Kind::String: return "\"" + *static_cast<const std::string*>(b.field) + "\"";
    case Kind::SignedDouble: {
      const double v = std::fabs(*static_cast<const double*>(b.field));
      return formatFixed(*b.signFlag ? -v : v, 10);
    }
  }
  return {};
}

// --- XML, ESRI, SVG, DAT, XSLT ------------------------------------------------------

namespace {

// The preferred coordinate system is set by the reader, never stored.
constexpr OptionField kXmlFields[] = {
    {"", kInputSide, optionField<&XmlOptions::preferredSystem>(), 0},
};

// Label texts of one run (command line), never stored.
constexpr OptionField kSvgFields[] = {
    {"", kOutputSide, optionField<&SvgOptions::pid, &TextLabelOptions::enabled>(), false},
    {"", kOutputSide, optionField<&SvgOptions::pid, &TextLabelOptions::height>(), 0.01,
     optionField<&SvgOptions::pid, &TextLabelOptions::relative>()},
    {"", kOutputSide, optionField<&SvgOptions::pid, &TextLabelOptions::origLayer>(), false},
    {"", kOutputSide, optionField<&SvgOptions::pid, &TextLabelOptions::layer>(), "VL_PID"},
    {"", kOutputSide, optionField<&SvgOptions::pid, &TextLabelOptions::orientation>(), 0},
    {"", kOutputSide, optionField<&SvgOptions::coord, &TextLabelOptions::enabled>(), false},
    {"", kOutputSide, optionField<&SvgOptions::coord, &TextLabelOptions::height>(), 0.01,
     optionField<&SvgOptions::coord, &TextLabelOptions::relative>()},
    {"", kOutputSide, optionField<&SvgOptions::coord, &TextLabelOptions::origLayer>(), false},
    {"", kOutputSide, optionField<&SvgOptions::coord, &TextLabelOptions::layer>(), "VL_COORD"},
    {"", kOutputSide, optionField<&SvgOptions::coord, &TextLabelOptions::orientation>(), 0},
    {"", kOutputSide, optionField<&SvgOptions::coordFormat>(), "(%x %y)"},
    {"", kOutputSide, optionField<&SvgOptions::comment, &TextLabelOptions::enabled>(), false},
    {"", kOutputSide, optionField<&SvgOptions::comment, &TextLabelOptions::height>(), 0.01,
     optionField<&SvgOptions::comment, &TextLabelOptions::relative>()},
    {"", kOutputSide, optionField<&SvgOptions::comment, &TextLabelOptions::origLayer>(), false},
    {"", kOutputSide, optionField<&SvgOptions::comment, &TextLabelOptions::layer>(), "VL_COMMENT"},
    {"", kOutputSide, optionField<&SvgOptions::comment, &TextLabelOptions::orientation>(), 0},
    {"", kOutputSide, optionField<&SvgOptions::text, &TextLabelOptions::enabled>(), false},
    {"", kOutputSide, optionField<&SvgOptions::text, &TextLabelOptions::height>(), 0.01,
     optionField<&SvgOptions::text, &TextLabelOptions::relative>()},
    {"", kOutputSide, optionField<&SvgOptions::text, &TextLabelOptions::origLayer>(), false},
    {"", kOutputSide, optionField<&SvgOptions::text, &TextLabelOptions::layer>(), ""},
    {"", kOutputSide, optionField<&SvgOptions::text, &TextLabelOptions::orientation>(), 0},
    {"", kOutputSide, optionField<&SvgOptions::textForceHeight>(), false},
    {"", kOutputSide, optionField<&SvgOptions::svgVersion>(), 1.1},
};

}  // namespace

const OptionDeclaration& XmlOptions::declaration() const {
  static const OptionDeclaration d{"XML", kXmlFields, CommonValues::First};
  return d;
}

const OptionDeclaration& EsriOptions::declaration() const {
  static const OptionDeclaration d{"ESRI", {}, CommonValues::First};
  return d;
}

const OptionDeclaration& SvgOptions::declaration() const {
  static const OptionDeclaration d{"SVG", kSvgFields, CommonValues::NotStored};
  return d;
}

const OptionDeclaration& DatOptions::declaration() const {
  static const OptionDeclaration d{"DAT", {}, CommonValues::First};
  return d;
}

const OptionDeclaration& XsltOptions::declaration() const {
  static const OptionDeclaration d{"XSLT", {}, CommonValues::First};
  return d;
}

// -------------------------------------------------------------------------------

char systemDecimalSeparator() {
  // The user's locale settings from the environment (LC_ALL, LC_NUMERIC,
  // LANG); only queried, the process locale stays as it is.
  static const char separator = [] {
    try {
      const std::locale user("");
      const char c = std::use_facet<std::numpunct<char>>(user).decimal_point();
      return c == ',' ? ',' : '.';
    } catch (...) {
      return '.';
    }
  }();
  return separator;
}

}  // namespace vltrx
