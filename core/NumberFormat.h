// Number output for text formats: printf's "%.Nf" digits without printf
// (fast, and immune to setlocale), and the width, sign and zero-padding
// forms of fixed columns ("%+017.0f", "%10.3f", "%08ld").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vltrx {

/// Room that writeFixed needs: every double in "%.Nf" with N up to 20.
inline constexpr size_t kFixedBufferBytes = 400;

/// Writes value as printf "%.Nf" would in the "C" locale (N = precision,
/// '.' as separator) to out, which has room for kFixedBufferBytes, and
/// returns the end of the text. A value that does not fit (precision above
/// 20 for the largest doubles) is written as "0".
char* writeFixed(char* out, double value, int precision);

/// The printf flags and width of a fixed column.
struct NumberField {
  int width = 0;           ///< minimum width in characters (printf's width)
  bool plus = false;       ///< '+': a sign also before positive numbers and zero
  bool zeroPad = false;    ///< '0': pad with zeros after the sign (not inf or nan)
  bool leftAlign = false;  ///< '-': pad with blanks on the right; zeroPad is ignored
};

/// Appends value as printf "%<flags><width>.<precision>f" would, with
/// decimal as the separator: appendFixed(s, -2.5, 2, {.width = 8, .zeroPad
/// = true}) appends "-0002.50".
void appendFixed(std::string& out, double value, int precision, const NumberField& field, char decimal = '.');

/// Appends value as printf "%<flags><width>ld" would: appendInt(s, 42,
/// {.width = 8, .zeroPad = true}) appends "00000042".
void appendInt(std::string& out, int64_t value, const NumberField& field);

}  // namespace vltrx
