// Error-code table, pending detail and construction of CError messages.
#include "core/CError.h"

#include "core/MessageTable.h"
#include "core/Utf8.h"

#include <utility>

namespace vltrx {
namespace {

PendingDetail g_pending;

// (code, text id), searched linearly.
// -611 (a category list beyond 1024 entries, met on any table input with
// many category names) takes the text that names the limit, "To many
// categories / layers!", instead of "Internal error".
constexpr std::pair<int, int> kCodeTable[] = {
    {-405, 66},   {-501, 47},   {-502, 48},   {-503, 49},   {-504, 50},   {-505, 51},
    {-507, 52},   {-508, 53},   {-509, 54},   {-510, 55},   {-602, 56},   {-607, 56},
    {-611, 127},  {-612, 57},   {-701, 58},   {-706, 59},   {-707, 60},   {-708, 61},   {-901, 62},
    {-907, 63},   {-921, 102},  {-2001, 116}, {-2003, 116}, {-2101, 65},  {-2102, 62},
    {-2104, 75},  {-2106, 99},  {-2107, 100}, {-2108, 106}, {-2109, 107}, {-2110, 108},
    {-2111, 101}, {-2112, 110}, {-2113, 84},  {-2114, 111}, {-2115, 113}, {-2116, 115},
    {-2117, 76},  {-2118, 77},  {-2119, 92},  {-2120, 80},  {-2121, 82},  {-2122, 81},
    {-2123, 85},  {-2124, 86},  {-2125, 78},  {-2126, 88},  {-2127, 79},  {-2128, 94},
    {-2129, 112}, {-2130, 74},  {-2133, 103}, {-2134, 104}, {-2135, 124}, {-2136, 36},
    {-2138, 37},  {-2201, 95},  {-2202, 96},  {-2203, 98},  {-2204, 97},  {-2301, 66},
    {-2302, 67},  {-2303, 68},  {-2304, 69},  {-2305, 70},  {-2306, 71},  {-2307, 72},
    {-2308, 73},  {-2309, 119}, {-2311, 120}, {-2312, 126}, {-2313, 127}, {-2401, 125},
    {-2402, 125},
};

}  // namespace

void setPendingDetail(int code, uint32_t line, std::string_view text) {
  if (code == 0) {
    g_pending = PendingDetail{};
    return;
  }
  g_pending.code = code;
  g_pending.line = line;
  g_pending.text.assign(cutUtf8(text, 119));
  g_pending.set = true;
}

const PendingDetail& pendingDetail() { return g_pending; }

int textIdForCode(int code) {
  for (const auto& [c, id] : kCodeTable)
    if (c == code) return id;
  return 64;
}

CError makeLineError(int code, std::string_view detail, uint64_t line) {
  CError e = makeError(code, detail);
  e.append(lineSuffix(line));
  return e;
}

std::string lineSuffix(uint64_t line) {
  std::string suffix = text(39);
  if (auto pos = suffix.find("%d"); pos != std::string::npos) suffix.replace(pos, 2, std::to_string(line));
  return suffix;
}

std::string replaceFirstS(std::string_view format, std::string_view arg) {
  std::string out(format);
  auto pos = out.find("%s");
  if (pos != std::string::npos) out.replace(pos, 2, escapeControlCharacters(arg));
  return out;
}

std::string escapeControlCharacters(std::string_view text, bool keepLineBreaks) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (keepLineBreaks && (c == '\n' || c == '\t')) {
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      escape(c);
      escape(static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

CError makeError(int code) {
  std::string message = text(textIdForCode(code));
  if (g_pending.set) {
    g_pending.set = false;
    if (g_pending.code == code) message = replaceFirstS(message, g_pending.text);
  }
  return CError(code, std::move(message));
}

CError makeError(int code, std::string_view detail) {
  return CError(code, replaceFirstS(text(textIdForCode(code)), detail));
}

}  // namespace vltrx
