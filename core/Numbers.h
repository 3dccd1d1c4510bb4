// Locale-independent number reading and writing: what "%lf", "%i" and
// "%.Nf" do in the "C" locale, with an optional decimal comma, but without
// ever touching the process locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {

/// Reads a decimal floating-point number at the start of text like sscanf
/// "%lf": leading white space skipped, optional sign, digits with one decimal
/// separator (decimal is '.' or ','), optional exponent. Returns the number
/// of characters consumed (0 = no number); value is set only on success.
size_t parseLeadingDouble(std::string_view text, double& value, char decimal = '.');

/// Reads a decimal integer at the start of text (white space, sign, digits).
/// Returns the characters consumed (0 = none). Values beyond int64 saturate.
size_t parseLeadingInt(std::string_view text, int64_t& value);

/// The characters parseLeadingInt reads as the number (sign and digits,
/// without the white space before them), for messages that quote a number
/// as the file gives it; empty when there is none.
std::string_view leadingIntText(std::string_view text);

/// True when text holds exactly one number and nothing but white space after it.
bool parseWholeDouble(std::string_view text, double& value, char decimal = '.');

/// Appends value with exactly precision decimals, as printf "%.Nf" would
/// in the "C" locale, with decimal as the separator.
void appendFixed(std::string& out, double value, int precision, char decimal = '.');
std::string formatFixed(double value, int precision, char decimal = '.');

/// Appends an integer as "%d"/"%i"/"%u".
void appendInt(std::string& out, int64_t value);

}  // namespace vltrx
