// The option record common to every format (scale, axis swap, alphanumeric
// point ids) and the records of the formats without options of their own
// beyond it: native XML, ESRI grid, SVG, REB DA11 ("DAT") and XSLT plug-ins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class SettingsKey;

/// Scopes of FormatOptions::reset.
enum ResetScope : int {
  kResetBoth = 0,    ///< input and output fields
  kResetOutput = 1,  ///< output fields only
  kResetInput = 2,   ///< input fields only
};

/// One registry value of an option record, bound to the field that holds it.
/// The records list their values as bindings; loading, saving and the option
/// listing of "-opt:" all walk the same list.
struct OptionBinding {
  enum class Kind {
    Bool,          ///< 32-bit 1 or 0
    Int,           ///< 32-bit number, int field
    Dword,         ///< 32-bit number, uint32_t field
    Double,        ///< string "%.10f"
    Char,          ///< string, its first byte (delimiters, decimal characters)
    String,        ///< UTF-8 string
    SignedDouble,  ///< string "%.10f"; field holds |value|, flag holds value < 0
  };
  std::string name;  ///< registry value name
  Kind kind = Kind::Bool;
  bool input = true;  ///< belongs to the import side (else export side)
  void* field = nullptr;
  bool* signFlag = nullptr;  ///< SignedDouble only
};
using OptionBindings = std::vector<OptionBinding>;

/// Option record shared by all formats; each format's record derives from it.
struct FormatOptions {
  // Fields in record order.
  std::string title;                 ///< caption of the option dialog
  std::string keyPrefix;             ///< "XML", "DXF", ... (registry value prefix)
  bool alphaNumIdsNotOffered = false;
  double inScaleFactor = 1.0;        ///< x, y and z factor on import
  bool inSwap = false;               ///< inSwapOrder is in force
  bool inAlphaNumIds = false;        ///< ids may be alphanumeric (governs both directions)
  std::string inSwapOrder = "XYZ";
  double outScaleFactor = 1.0;
  bool outSwap = false;
  std::string outSwapOrder = "XYZ";

  FormatOptions() = default;
  explicit FormatOptions(std::string_view prefix) : keyPrefix(prefix) {}
  virtual ~FormatOptions() = default;
  FormatOptions(const FormatOptions&) = default;
  FormatOptions& operator=(const FormatOptions&) = default;

  /// Common reset: scope kResetBoth, kResetInput or kResetOutput resets those
  /// common fields; in every case title and key prefix become empty and
  /// alphaNumIdsNotOffered false. Format records override it to reset their
  /// own fields first and restore their key prefix afterwards.
  virtual void reset(int scope = kResetBoth);

  /// Sets every field to its default, then, only when readRegistry is true,
  /// reads every value of the record from key (missing values take the
  /// default while key.applyDefaults is true).
  virtual void load(const SettingsKey& key, bool readRegistry);

  /// Writes every value of the record; true when all writes succeeded.
  virtual bool save(SettingsKey& key) const;

  /// Appends the bindings of every registry value of the record, in record
  /// order, bound to this object's fields.
  virtual void bind(OptionBindings& out);

  /// Reads the seven common values with the record's key prefix.
  void loadCommon(const SettingsKey& key);
  /// Writes the seven common values with the record's key prefix.
  bool saveCommon(SettingsKey& key) const;

 protected:
  /// Bindings of the seven common values; inScaleName replaces the name of
  /// the input scale value when not empty (GSI keeps an older name).
  void bindCommon(OptionBindings& out, std::string_view inScaleName = {});
};

/// Names of the seven common values for a key prefix, in table order.
std::string commonValueName(std::string_view prefix, int index);

/// Reads every binding from key; each value's default is the value the
/// field holds now (loaders set the defaults first).
void readBindings(const SettingsKey& key, const OptionBindings& bindings);
/// Writes every binding; true when all writes succeeded.
bool writeBindings(SettingsKey& key, const OptionBindings& bindings);
/// Text of a bound field as the option listing shows it.
std::string bindingValueText(const OptionBinding& binding);

/// One kind of label text written beside the data (point ids, coordinates,
/// comments, text objects) by the DXF and SVG writers.
struct TextLabelOptions {
  bool enabled = false;
  double height = 0.01;       ///< absolute value
  bool relative = false;      ///< height is a percentage of the plan's y extent
  bool origLayer = false;     ///< on the element's own layer instead of layer
  std::string layer;          ///< label layer
  int orientation = 0;        ///< 0..4
};

/// Native XML ("XML"). The preferred coordinate system is set by the reader
/// and is not stored.
struct XmlOptions : FormatOptions {
  int preferredSystem = 0;  ///< 0 "XYZ", 1 "YXZ", 2 "NEZ"

  XmlOptions() : FormatOptions("XML") {}
  void reset(int scope = kResetBoth) override;
};

/// ESRI ASCII grid ("ESRI"), import only: the common fields alone.
struct EsriOptions : FormatOptions {
  EsriOptions() : FormatOptions("ESRI") {}
  void reset(int scope = kResetBoth) override;
};

/// SVG ("SVG"), export only. The label options mirror the DXF export texts;
/// they are set for one run from the command line and not stored.
struct SvgOptions : FormatOptions {
  TextLabelOptions pid{false, 0.01, false, false, "VL_PID", 0};
  TextLabelOptions coord{false, 0.01, false, false, "VL_COORD", 0};
  std::string coordFormat = "(%x %y)";
  TextLabelOptions comment{false, 0.01, false, false, "VL_COMMENT", 0};
  TextLabelOptions text{false, 0.01, false, false, "", 0};
  bool textForceHeight = false;
  double svgVersion = 1.1;  ///< written in the root element

  SvgOptions() : FormatOptions("SVG") {}
  void reset(int scope = kResetBoth) override;
  /// SVG keeps nothing in the registry.
  void bind(OptionBindings& out) override;
};

/// REB DA11 ("DAT"), export only: the common fields alone.
struct DatOptions : FormatOptions {
  DatOptions() : FormatOptions("DAT") {}
  void reset(int scope = kResetBoth) override;
};

/// XSLT plug-in formats ("XSLT"): the seven common values, shared by every
/// plug-in.
struct XsltOptions : FormatOptions {
  XsltOptions() : FormatOptions("XSLT") {}
  void reset(int scope = kResetBoth) override;
};

/// Decimal separator of the user's locale settings ("." or ","); "." when
/// the environment names none or another character.
char systemDecimalSeparator();

}  // namespace vltrx
