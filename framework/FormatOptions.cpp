// Common option fields, the value bindings that load, save and list them,
// and the records of XML, ESRI, SVG, DAT and XSLT.
#include "framework/FormatOptions.h"

#include <cmath>
#include <locale>

#include "core/Numbers.h"
#include "framework/SettingsKey.h"

namespace vltrx {
namespace {

using Kind = OptionBinding::Kind;

// Suffixes of the seven common values, in table order; the first four are
// the import side.
constexpr std::string_view kCommonSuffixes[7] = {
    "_In_ScaleFactor",  "_In_Swap",  "_In_SwapFormat", "_In_PID_AlphaNum",
    "_Out_ScaleFactor", "_Out_Swap", "_Out_SwapFormat",
};

}  // namespace

std::string commonValueName(std::string_view prefix, int index) {
  std::string name(prefix);
  if (index >= 0 && index < 7) name += kCommonSuffixes[index];
  return name;
}

void FormatOptions::reset(int scope) {
  const FormatOptions d;
  if (scope == kResetBoth || scope == kResetInput) {
    inScaleFactor = d.inScaleFactor;
    inSwap = d.inSwap;
    inSwapOrder = d.inSwapOrder;
    inAlphaNumIds = d.inAlphaNumIds;
  }
  if (scope == kResetBoth || scope == kResetOutput) {
    outScaleFactor = d.outScaleFactor;
    outSwap = d.outSwap;
    outSwapOrder = d.outSwapOrder;
  }
  title.clear();
  keyPrefix.clear();
  alphaNumIdsNotOffered = false;
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

void FormatOptions::bind(OptionBindings& out) { bindCommon(out); }

void FormatOptions::bindCommon(OptionBindings& out, std::string_view inScaleName) {
  std::string scaleName = inScaleName.empty() ? commonValueName(keyPrefix, 0) : std::string(inScaleName);
  out.push_back({std::move(scaleName), Kind::Double, true, &inScaleFactor, nullptr});
  out.push_back({commonValueName(keyPrefix, 1), Kind::Bool, true, &inSwap, nullptr});
  out.push_back({commonValueName(keyPrefix, 2), Kind::String, true, &inSwapOrder, nullptr});
  out.push_back({commonValueName(keyPrefix, 3), Kind::Bool, true, &inAlphaNumIds, nullptr});
  out.push_back({commonValueName(keyPrefix, 4), Kind::Double, false, &outScaleFactor, nullptr});
  out.push_back({commonValueName(keyPrefix, 5), Kind::Bool, false, &outSwap, nullptr});
  out.push_back({commonValueName(keyPrefix, 6), Kind::String, false, &outSwapOrder, nullptr});
}

void FormatOptions::loadCommon(const SettingsKey& key) {
  OptionBindings bindings;
  bindCommon(bindings);
  readBindings(key, bindings);
}

bool FormatOptions::saveCommon(SettingsKey& key) const {
  OptionBindings bindings;
  const_cast<FormatOptions*>(this)->bindCommon(bindings);
  return writeBindings(key, bindings);
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
      if (c == 11) return "WS";
      if (c == 9) return "TAB";
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

// --- XML ---------------------------------------------------------------------

void XmlOptions::reset(int scope) {
  if (scope == kResetBoth || scope == kResetInput) preferredSystem = 0;
  FormatOptions::reset(scope);
  keyPrefix = "XML";
}

// --- ESRI, DAT, XSLT: the common fields only -----------------------------------

void EsriOptions::reset(int scope) {
  FormatOptions::reset(scope);
  keyPrefix = "ESRI";
}

void DatOptions::reset(int scope) {
  FormatOptions::reset(scope);
  keyPrefix = "DAT";
}

void XsltOptions::reset(int scope) {
  FormatOptions::reset(scope);
  keyPrefix = "XSLT";
}

// --- SVG -----------------------------------------------------------------------

void SvgOptions::reset(int scope) {
  if (scope == kResetBoth || scope == kResetOutput) {
    const SvgOptions d;
    pid = d.pid;
    coord = d.coord;
    coordFormat = d.coordFormat;
    comment = d.comment;
    text = d.text;
    textForceHeight = d.textForceHeight;
    svgVersion = d.svgVersion;
  }
  FormatOptions::reset(scope);
  keyPrefix = "SVG";
}

void SvgOptions::bind(OptionBindings&) {}

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
