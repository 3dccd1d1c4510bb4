// The option record common to every format (scale, axis swap, alphanumeric
// point ids) and the records of the formats without options of their own
// beyond it: native XML, ESRI grid, SVG, REB DA11 ("DAT") and XSLT plug-ins.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vltrx {

class SettingsKey;

/// Scopes of FormatOptions::reset.
enum ResetScope : int {
  kResetBoth = 0,    ///< input and output fields
  kResetOutput = 1,  ///< output fields only
  kResetInput = 2,   ///< input fields only
};

struct FormatOptions;
struct OptionField;

/// One registry value of an option record, bound to the field that holds it.
/// Loading, saving and the option listing of "-opt:" walk the bindings of a
/// record; they come from the record's declaration (OptionDeclaration).
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
  const OptionField* declared = nullptr;  ///< the declaration it was bound from
};
using OptionBindings = std::vector<OptionBinding>;

/// Sides of a declared option field.
inline constexpr bool kInputSide = true;
inline constexpr bool kOutputSide = false;

/// Default value of a declared option field: numbers for bool, integer,
/// floating-point and character fields (a signed value also sets the sign
/// flag), text for strings, or a function for a character known only at run
/// time (the locale's decimal separator).
struct OptionDefault {
  constexpr OptionDefault(bool v) : number(v ? 1 : 0) {}
  constexpr OptionDefault(int v) : number(v) {}
  constexpr OptionDefault(unsigned v) : number(v) {}
  constexpr OptionDefault(double v) : number(v) {}
  constexpr OptionDefault(char v) : number(static_cast<unsigned char>(v)) {}
  constexpr OptionDefault(const char* v) : text(v) {}
  constexpr OptionDefault(char (*v)()) : computed(v) {}

  double number = 0;
  const char* text = "";
  char (*computed)() = nullptr;
};

/// Where a declared field lives in its record, and the kind of value its type
/// holds. Made by optionField<&Record::member>() (nested members follow:
/// optionField<&DxfOptions::pid, &TextLabelOptions::height>()).
struct OptionAccess {
  void* (*at)(FormatOptions& record) = nullptr;
  OptionBinding::Kind kind = OptionBinding::Kind::Bool;
};

namespace detail {

template <class T>
struct MemberClass;
template <class C, class M>
struct MemberClass<M C::*> {
  using type = C;
};

template <auto Member, auto... Nested>
void* optionFieldAt(FormatOptions& record) {
  auto& r = static_cast<typename MemberClass<decltype(Member)>::type&>(record);
  return &((r.*Member) .* ... .* Nested);
}

}  // namespace detail

/// The access to a member of a record, its kind taken from the member's type.
template <auto Member, auto... Nested>
constexpr OptionAccess optionField() {
  using Record = typename detail::MemberClass<decltype(Member)>::type;
  using T = std::remove_cvref_t<decltype(((std::declval<Record&>().*Member) .* ... .* Nested))>;
  using Kind = OptionBinding::Kind;
  Kind kind;
  if constexpr (std::is_same_v<T, bool>)
    kind = Kind::Bool;
  else if constexpr (std::is_same_v<T, int>)
    kind = Kind::Int;
  else if constexpr (std::is_same_v<T, uint32_t>)
    kind = Kind::Dword;
  else if constexpr (std::is_same_v<T, double>)
    kind = Kind::Double;
  else if constexpr (std::is_same_v<T, char>)
    kind = Kind::Char;
  else if constexpr (std::is_same_v<T, std::string>)
    kind = Kind::String;
  else
    static_assert(std::is_same_v<T, bool>, "no option kind for this field type");
  return {&detail::optionFieldAt<Member, Nested...>, kind};
}

/// One field of an option record, declared once: reset, the registry
/// bindings, the "-opt:" listing and the option dialogs all read it.
struct OptionField {
  std::string_view name;    ///< registry value name; empty: set for one run only, never stored
  bool side;                ///< kInputSide or kOutputSide: reset scope and dialog
  OptionAccess field;
  OptionDefault value;
  OptionAccess signFlag{};  ///< when set, stored signed: field holds |value|, the flag value < 0
  int label = 0;            ///< text id of the field's option-dialog label, 0 = none
  int tooltip = 0;          ///< text id of its tooltip, 0 = none

  OptionBinding::Kind kind() const { return signFlag.at ? OptionBinding::Kind::SignedDouble : field.kind; }
};

/// Where a record's seven common values stand among its own.
enum class CommonValues { First, Last, NotStored };

/// The declaration of one option record: its key prefix, its own fields in
/// record order and the place of the common fields.
struct OptionDeclaration {
  std::string_view keyPrefix;
  std::span<const OptionField> fields;
  CommonValues common = CommonValues::First;
  std::string_view inScaleName = {};  ///< replaces P + "_In_ScaleFactor" when not empty (GSI)
};

/// The seven common fields of every record, in table order; their names are
/// the suffixes after the key prefix ("_In_ScaleFactor", ...).
std::span<const OptionField> commonOptionFields();

/// A field of a record with its registry value name (empty when not stored).
struct DeclaredOption {
  const OptionField* field;
  std::string name;
};

/// Option record shared by all formats; each format's record derives from it
/// and declares its own fields (declaration()). Construction and reset give
/// every declared field its default.
struct FormatOptions {
  // Fields in record order.
  std::string title;                 ///< caption of the option dialog
  std::string keyPrefix;             ///< "XML", "DXF", ... (registry value prefix)
  bool alphaNumIdsNotOffered;
  double inScaleFactor;              ///< x, y and z factor on import
  bool inSwap;                       ///< inSwapOrder is in force
  bool inAlphaNumIds;                ///< ids may be alphanumeric (governs both directions)
  std::string inSwapOrder;
  double outScaleFactor;
  bool outSwap;
  std::string outSwapOrder;

  FormatOptions() { reset(kResetBoth); }
  /// The common fields alone, under a key prefix.
  explicit FormatOptions(std::string_view prefix) {
    reset(kResetBoth);
    keyPrefix = prefix;
  }
  virtual ~FormatOptions() = default;
  FormatOptions(const FormatOptions&) = default;
  FormatOptions& operator=(const FormatOptions&) = default;

  /// The record's declaration: the common record has no fields of its own
  /// and an empty key prefix.
  virtual const OptionDeclaration& declaration() const;

  /// Every declared field, the common ones included, in record order.
  std::vector<DeclaredOption> declaredFields() const;

  /// Scope kResetBoth, kResetInput or kResetOutput gives the declared fields
  /// of those sides their defaults; in every case the title becomes empty,
  /// alphaNumIdsNotOffered false and the key prefix the declared one.
  void reset(int scope = kResetBoth);

  /// Sets every field to its default, then, only when readRegistry is true,
  /// reads every value of the record from key (missing values take the
  /// default while key.applyDefaults is true).
  virtual void load(const SettingsKey& key, bool readRegistry);

  /// Writes every value of the record; true when all writes succeeded.
  bool save(SettingsKey& key) const;

  /// Appends the bindings of every registry value of the record, in record
  /// order, bound to this object's fields.
  void bind(OptionBindings& out);

  /// Reads the seven common values with the record's key prefix.
  void loadCommon(const SettingsKey& key);
  /// Writes the seven common values with the record's key prefix.
  bool saveCommon(SettingsKey& key) const;
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
  int preferredSystem;  ///< 0 "XYZ", 1 "YXZ", 2 "NEZ"

  XmlOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// ESRI ASCII grid ("ESRI"), import only: the common fields alone.
struct EsriOptions : FormatOptions {
  EsriOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// SVG ("SVG"), export only. The label options mirror the DXF export texts;
/// they are set for one run from the command line and not stored.
/// SVG keeps nothing in the registry, the common values neither.
struct SvgOptions : FormatOptions {
  TextLabelOptions pid;      ///< layer "VL_PID"
  TextLabelOptions coord;    ///< layer "VL_COORD"
  std::string coordFormat;   ///< "(%x %y)"
  TextLabelOptions comment;  ///< layer "VL_COMMENT"
  TextLabelOptions text;
  bool textForceHeight;
  double svgVersion;         ///< written in the root element, 1.1

  SvgOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// REB DA11 ("DAT"), export only: the common fields alone.
struct DatOptions : FormatOptions {
  DatOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// XSLT plug-in formats ("XSLT"): the seven common values, shared by every
/// plug-in.
struct XsltOptions : FormatOptions {
  XsltOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// Decimal separator of the user's locale settings ("." or ","); "." when
/// the environment names none or another character.
char systemDecimalSeparator();

}  // namespace vltrx
