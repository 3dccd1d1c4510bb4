// Code-page conversion with glibc's iconv. Windows code page numbers map to
// iconv names through one table. Descriptors are opened once per thread,
// code page and direction and reused; text that is pure ASCII in an
// ASCII-compatible code page, and UTF-8 to UTF-8, never reach iconv at all,
// which keeps the per-field conversions of the table readers cheap.
#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace vltrx::platform {

namespace {

struct CodePageInfo {
  uint32_t number;
  const char* name;
  bool ascii;      // ASCII bytes stand for themselves, no shift states
  uint8_t unit;    // bytes of one code unit (skipped on invalid input)
};

// Sorted by number.
constexpr CodePageInfo kCodePages[] = {
    {37, "IBM037", false, 1},
    {437, "IBM437", true, 1},
    {500, "IBM500", false, 1},
    {708, "ASMO-708", true, 1},
    {737, "CP737", true, 1},
    {775, "CP775", true, 1},
    {850, "IBM850", true, 1},
    {852, "IBM852", true, 1},
    {855, "IBM855", true, 1},
    {857, "IBM857", true, 1},
    {858, "IBM858", true, 1},
    {860, "IBM860", true, 1},
    {861, "IBM861", true, 1},
    {862, "IBM862", true, 1},
    {863, "IBM863", true, 1},
    {864, "IBM864", false, 1},  // "%" is the Arabic percent sign
    {865, "IBM865", true, 1},
    {866, "IBM866", true, 1},
    {869, "IBM869", true, 1},
    {870, "IBM870", false, 1},
    {874, "WINDOWS-874", true, 1},
    {875, "IBM875", false, 1},
    {932, "WINDOWS-31J", true, 1},
    {936, "CP936", true, 1},
    {949, "CP949", true, 1},
    {950, "CP950", true, 1},
    {1026, "IBM1026", false, 1},
    {1047, "IBM1047", false, 1},
    {1140, "IBM1140", false, 1},
    {1141, "IBM1141", false, 1},
    {1142, "IBM1142", false, 1},
    {1143, "IBM1143", false, 1},
    {1144, "IBM1144", false, 1},
    {1145, "IBM1145", false, 1},
    {1146, "IBM1146", false, 1},
    {1147, "IBM1147", false, 1},
    {1148, "IBM1148", false, 1},
    {1149, "IBM1149", false, 1},
    {1200, "UTF-16LE", false, 2},
    {1201, "UTF-16BE", false, 2},
    {1250, "WINDOWS-1250", true, 1},
    {1251, "WINDOWS-1251", true, 1},
    {1252, "WINDOWS-1252", true, 1},
    {1253, "WINDOWS-1253", true, 1},
    {1254, "WINDOWS-1254", true, 1},
    {1255, "WINDOWS-1255", true, 1},
    {1256, "WINDOWS-1256", true, 1},
    {1257, "WINDOWS-1257", true, 1},
    {1258, "WINDOWS-1258", true, 1},
    {1361, "JOHAB", false, 1},  // 0x5C is the won sign
    {10000, "MACINTOSH", true, 1},
    {10007, "MAC-CYRILLIC", true, 1},
    {10029, "MAC-CENTRALEUROPE", true, 1},
    {10079, "MAC-IS", true, 1},
    {12000, "UTF-32LE", false, 4},
    {12001, "UTF-32BE", false, 4},
    {20127, "US-ASCII", true, 1},
    {20866, "KOI8-R", true, 1},
    {20932, "EUC-JP", true, 1},
    {20936, "GB2312", true, 1},
    {21866, "KOI8-U", true, 1},
    {28591, "ISO-8859-1", true, 1},
    {28592, "ISO-8859-2", true, 1},
    {28593, "ISO-8859-3", true, 1},
    {28594, "ISO-8859-4", true, 1},
    {28595, "ISO-8859-5", true, 1},
    {28596, "ISO-8859-6", true, 1},
    {28597, "ISO-8859-7", true, 1},
    {28598, "ISO-8859-8", true, 1},
    {28599, "ISO-8859-9", true, 1},
    {28603, "ISO-8859-13", true, 1},
    {28605, "ISO-8859-15", true, 1},
    {38598, "ISO-8859-8", true, 1},
    {50220, "ISO-2022-JP", false, 1},
    {50221, "ISO-2022-JP", false, 1},
    {50222, "ISO-2022-JP", false, 1},
    {50225, "ISO-2022-KR", false, 1},
    {50227, "ISO-2022-CN", false, 1},
    {51932, "EUC-JP", true, 1},
    {51936, "EUC-CN", true, 1},
    {51949, "EUC-KR", true, 1},
    {51950, "EUC-TW", true, 1},
    {54936, "GB18030", true, 1},
    {65000, "UTF-7", false, 1},  // "+" starts a shifted run
    {65001, "UTF-8", true, 1},
};

const CodePageInfo* lookup(uint32_t number) {
  auto it = std::lower_bound(std::begin(kCodePages), std::end(kCodePages), number,
                             [](const CodePageInfo& i, uint32_t n) { return i.number < n; });
  return (it != std::end(kCodePages) && it->number == number) ? it : nullptr;
}

const CodePageInfo* resolve(uint32_t codePage) {
  return lookup(codePage == kCodePageAnsi ? ansiCodePage() : codePage);
}

// Length of the well-formed UTF-8 sequence at p (1 to 4), or 0 with bad set
// to the length of the maximal ill-formed subpart (at least 1).
size_t utf8Sequence(const unsigned char* p, size_t n, size_t& bad) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1;
  } else if (c == 0xE0) {
    need = 2;
    lo = 0xA0;
  } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
    need = 2;
  } else if (c == 0xED) {
    need = 2;
    hi = 0x9F;  // no surrogates
  } else if (c == 0xF0) {
    need = 3;
    lo = 0x90;  // no overlong forms
  } else if (c >= 0xF1 && c <= 0xF3) {
    need = 3;
  } else if (c == 0xF4) {
    need = 3;
    hi = 0x8F;  // nothing above U+10FFFF
  } else {
    bad = 1;
    return 0;
  }
  for (size_t i = 1; i <= need; ++i) {
    if (i >= n) {
      bad = i;
      return 0;
    }
    unsigned char b = p[i];
    if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF)) {
      bad = i;
      return 0;
    }
  }
  return need + 1;
}

// Length of the leading run of ASCII bytes.
size_t asciiPrefix(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < n && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// One iconv descriptor, closed with its owner.
struct Converter {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

// Descriptors of this thread by code page and direction; an entry that could
// not be opened stays null so the failure is not retried for every field.
Converter* converter(const CodePageInfo& info, bool encode) {
  thread_local std::unordered_map<uint64_t, std::unique_ptr<Converter>> cache;
  uint64_t key = (uint64_t{info.number} << 1) | (encode ? 1 : 0);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  std::unique_ptr<Converter> conv = std::make_unique<Converter>();
  conv->cd = encode ? iconv_open(info.name, "UTF-8") : iconv_open("UTF-8", info.name);
  if (conv->cd == reinterpret_cast<iconv_t>(-1)) conv.reset();
  return cache.emplace(key, std::move(conv)).first->second.get();
}

void ensureRoom(std::string& out, size_t used, size_t more) {
  if (out.size() - used < more) out.resize(std::max(out.size() * 2, used + more) + 16);
}

// Runs in through the descriptor into out. Invalid input is replaced and
// skipped: when decoding by U+FFFD per code unit (the rest at an incomplete
// end), when encoding (input is well-formed UTF-8) by "?" in the target code
// page per character that cannot be encoded.
void convert(iconv_t cd, const CodePageInfo& info, std::string_view in, std::string& out,
             bool encode) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.clear();
  out.resize(in.size() * (encode ? 2 : 3) + 16);
  size_t used = 0;
  char* inp = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  bool flushing = false;
  for (;;) {
    char* outp = out.data() + used;
    size_t outLeft = out.size() - used;
    size_t r = flushing ? iconv(cd, nullptr, nullptr, &outp, &outLeft)
                        : iconv(cd, &inp, &inLeft, &outp, &outLeft);
    int error = errno;
    used = static_cast<size_t>(outp - out.data());
    if (r != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // emit the return to the initial shift state
      continue;
    }
    if (error == E2BIG) {
      ensureRoom(out, used, out.size() + 16);
      continue;
    }
    if (flushing || inLeft == 0) break;
    if (encode) {
      size_t bad = 1;
      size_t skip = utf8Sequence(reinterpret_cast<const unsigned char*>(inp), inLeft, bad);
      if (skip == 0) skip = bad;
      inp += skip;
      inLeft -= skip;
      // The "?" goes through the descriptor so that it is encoded in the
      // target's current shift state (UTF-16, ISO-2022-JP, EBCDIC).
      char question = '?';
      char* qp = &question;
      size_t qLeft = 1;
      ensureRoom(out, used, 16);
      char* op = out.data() + used;
      size_t opLeft = out.size() - used;
      if (iconv(cd, &qp, &qLeft, &op, &opLeft) != static_cast<size_t>(-1))
        used = static_cast<size_t>(op - out.data());
    } else {
      size_t skip = error == EINVAL ? inLeft : std::min<size_t>(info.unit, inLeft);
      inp += skip;
      inLeft -= skip;
      ensureRoom(out, used, 3);
      std::memcpy(out.data() + used, kReplacementUtf8, 3);
      used += 3;
    }
  }
  out.resize(used);
}

}  // namespace

uint32_t ansiCodePage() {
  if (const char* v = std::getenv("VLTRX_ANSI_CODEPAGE")) {
    uint32_t number = 0;
    const char* end = v + std::strlen(v);
    auto [p, ec] = std::from_chars(v, end, number);
    if (ec == std::errc() && p == end && number != kCodePageAnsi && lookup(number)) return number;
  }
  return 1252;
}

bool isSupportedCodePage(uint32_t codePage) { return iconvName(codePage) != nullptr; }

const char* iconvName(uint32_t codePage) {
  const CodePageInfo* info = resolve(codePage);
  return info ? info->name : nullptr;
}

bool isAsciiCompatible(uint32_t codePage) {
  const CodePageInfo* info = resolve(codePage);
  return info && info->ascii;
}

std::vector<uint32_t> knownCodePages() {
  std::vector<uint32_t> out;
  for (const CodePageInfo& info : kCodePages) out.push_back(info.number);
  return out;
}

bool toUtf8(std::string_view bytes, uint32_t codePage, std::string& out) {
  const CodePageInfo* info = resolve(codePage);
  if (!info) {
    out.clear();
    return false;
  }
  if (info->ascii && asciiPrefix(bytes) == bytes.size()) {
    out.assign(bytes);
    return true;
  }
  if (info->number == kCodePageUtf8) {
    out = sanitizeUtf8(bytes);
    return true;
  }
  Converter* conv = converter(*info, false);
  if (!conv) {
    out.clear();
    return false;
  }
  convert(conv->cd, *info, bytes, out, false);
  return true;
}

std::optional<std::string> toUtf8(std::string_view bytes, uint32_t codePage) {
  std::string out;
  if (!toUtf8(bytes, codePage, out)) return std::nullopt;
  return out;
}

bool fromUtf8(std::string_view utf8, uint32_t codePage, std::string& out) {
  const CodePageInfo* info = resolve(codePage);
  if (!info) {
    out.clear();
    return false;
  }
  if (info->ascii && asciiPrefix(utf8) == utf8.size()) {
    out.assign(utf8);
    return true;
  }
  if (info->number == kCodePageUtf8) {
    out = sanitizeUtf8(utf8);
    return true;
  }
  Converter* conv = converter(*info, true);
  if (!conv) {
    out.clear();
    return false;
  }
  if (isValidUtf8(utf8)) {
    convert(conv->cd, *info, utf8, out, true);
  } else {
    std::string clean = sanitizeUtf8(utf8);
    convert(conv->cd, *info, clean, out, true);
  }
  return true;
}

std::optional<std::string> fromUtf8(std::string_view utf8, uint32_t codePage) {
  std::string out;
  if (!fromUtf8(utf8, codePage, out)) return std::nullopt;
  return out;
}

bool isPlainAscii(std::string_view bytes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  // Eight bytes at a time: no high bit set and no zero byte.
  constexpr uint64_t kLow = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & kHigh) || ((w - kLow) & ~w & kHigh)) return false;
    p += 8;
  }
  for (; p < end; ++p)
    if (*p == 0 || *p >= 0x80) return false;
  return true;
}

TextConverter::TextConverter(uint32_t codePage)
    : m_codePage(isSupportedCodePage(codePage) ? codePage : kCodePageAnsi),
      m_asciiCompatible(isAsciiCompatible(m_codePage)) {}

void TextConverter::toUtf8(std::string_view bytes, std::string& out) {
  if (passesAsIs(bytes)) {
    out.assign(bytes);
    return;
  }
  if (bytes.find('\0') != std::string_view::npos) {
    m_withoutNul.clear();
    for (char c : bytes)
      if (c != '\0') m_withoutNul.push_back(c);
    bytes = m_withoutNul;
  }
  platform::toUtf8(bytes, m_codePage, out);
}

void TextConverter::fromUtf8(std::string_view utf8, std::string& out) {
  if (passesAsIs(utf8)) {
    out.assign(utf8);
    return;
  }
  platform::fromUtf8(utf8, m_codePage, out);
}

void TextConverter::appendFromUtf8(std::string_view utf8, std::string& out) {
  if (passesAsIs(utf8)) {
    out.append(utf8);
    return;
  }
  platform::fromUtf8(utf8, m_codePage, m_converted);
  out.append(m_converted);
}

bool isValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = asciiPrefix(text);
  while (i < n) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    size_t bad = 0;
    size_t len = utf8Sequence(p + i, n - i, bad);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string sanitizeUtf8(std::string_view text) {
  size_t start = asciiPrefix(text);
  if (start == text.size() || isValidUtf8(text.substr(start))) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  out.append(text.substr(0, start));
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = start;
  while (i < n) {
    size_t bad = 0;
    size_t len = utf8Sequence(p + i, n - i, bad);
    if (len) {
      out.append(text.substr(i, len));
      i += len;
    } else {
      out.append(kReplacementUtf8, 3);
      i += bad;
    }
  }
  return out;
}

}  // namespace vltrx::platform
