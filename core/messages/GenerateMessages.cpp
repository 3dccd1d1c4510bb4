// Build-time generator of the message table: reads the six language files of
// core/messages/ (de, en, fr, it, es, ru) and writes MessageData.inc, a static
// [6][339] table of UTF-8 string literals that MessageTable.cpp includes.
//
// Any fault in the files fails the build with "file:line: error: reason":
// a missing, duplicate or out-of-range id, an empty text, a bad escape,
// invalid UTF-8, or printf placeholders that differ from the English text of
// the same id (count, order and spelling must match, since callers format the
// texts of every language with the same arguments).
//
// Usage: vltrx_generate_messages <output.inc> <de.txt> <en.txt> <fr.txt>
//        <it.txt> <es.txt> <ru.txt>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr int kCount = 339;
constexpr int kLanguages = 6;
constexpr int kReference = 1;  // English: the column every other is checked against
const char* const kNames[kLanguages] = {"de", "en", "fr", "it", "es", "ru"};

struct Entry {
  std::string text;
  int line = 0;
  bool present = false;
};

struct LanguageFile {
  std::string path;
  std::vector<Entry> entries = std::vector<Entry>(kCount);
};

int g_errors = 0;

void report(const std::string& path, int line, const std::string& message) {
  std::cerr << path << ':' << line << ": error: " << message << '\n';
  ++g_errors;
}

/// Length of the UTF-8 sequence at s[i], or 0 when it is not valid UTF-8
/// (overlong forms, surrogates and values above U+10FFFF are refused).
size_t utf8Length(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n;
  unsigned min;
  unsigned value;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, value = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, value = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, value = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return n;
}

bool validUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = utf8Length(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Decodes the escapes \n \t \r \\ and \xHH (ASCII 01..7F). False with a
/// reason for any other backslash sequence.
bool unescape(std::string_view in, std::string& out, std::string& reason) {
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i + 1 >= in.size()) {
      reason = "backslash at the end of a line (write \\\\ for a backslash)";
      return false;
    }
    char e = in[++i];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case '\\': out.push_back('\\'); break;
      case 'x': {
        int hi = i + 1 < in.size() ? hexDigit(in[i + 1]) : -1;
        int lo = i + 2 < in.size() ? hexDigit(in[i + 2]) : -1;
        int v = hi * 16 + lo;
        if (hi < 0 || lo < 0 || v == 0 || v > 0x7F) {
          reason = "\\x needs two hex digits giving an ASCII character 01..7F";
          return false;
        }
        out.push_back(static_cast<char>(v));
        i += 2;
        break;
      }
      default:
        reason = std::string("unknown escape \\") + e + " (allowed: \\n \\t \\r \\\\ \\xHH)";
        return false;
    }
  }
  return true;
}

/// The printf conversions of a text, in order, each as written ("%s", "%.3f",
/// "%%"). A percent sign that starts no conversion (as in "50 %" or the
/// coordinate-format token "%y") is plain text. The blank flag is not taken,
/// so that "% of" is text too.
std::vector<std::string> placeholders(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    if (i + 1 < s.size() && s[i + 1] == '%') {
      out.emplace_back("%%");
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < s.size() && std::string_view("-+#0").find(s[j]) != std::string_view::npos) ++j;
    if (j < s.size() && s[j] == '*') {
      ++j;
    } else {
      while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    }
    if (j < s.size() && s[j] == '.') {
      ++j;
      if (j < s.size() && s[j] == '*') {
        ++j;
      } else {
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
      }
    }
    for (std::string_view length : {"hh", "ll", "h", "l", "L", "z", "j", "t"}) {
      if (s.substr(j, length.size()) == length) {
        j += length.size();
        break;
      }
    }
    if (j < s.size() && std::string_view("diouxXeEfgGcs").find(s[j]) != std::string_view::npos) {
      out.emplace_back(s.substr(i, j + 1 - i));
      i = j;
    }
  }
  return out;
}

std::string joinList(const std::vector<std::string>& v) {
  std::string out = "[";
  for (size_t i = 0; i < v.size(); ++i) out += (i ? " " : "") + v[i];
  return out + "]";
}

/// Reads one language file. Format: "<id>\t<text>" lines; a line starting
/// with "+" continues the previous text after a line break (one tab after the
/// "+" is dropped); empty lines and lines starting with "#" are ignored.
bool readLanguageFile(LanguageFile& file) {
  std::ifstream in(file.path, std::ios::binary);
  if (!in) {
    report(file.path, 0, "cannot open the file");
    return false;
  }
  std::string line;
  int lineNo = 0;
  int current = -1;  // id that a "+" line continues
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!validUtf8(line)) {
      report(file.path, lineNo, "the line is not valid UTF-8");
      current = -1;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::string reason;
    if (line[0] == '+') {
      std::string_view rest = std::string_view(line).substr(1);
      if (!rest.empty() && rest[0] == '\t') rest.remove_prefix(1);
      if (current < 0) {
        report(file.path, lineNo, "continuation line (\"+\") without a text before it");
        continue;
      }
      std::string& text = file.entries[current].text;
      text.push_back('\n');
      if (!unescape(rest, text, reason)) report(file.path, lineNo, reason);
      continue;
    }
    current = -1;
    size_t tab = line.find('\t');
    std::string_view idText = std::string_view(line).substr(0, tab);
    bool digits = !idText.empty() && idText.size() <= 6 &&
                  idText.find_first_not_of("0123456789") == std::string_view::npos;
    if (tab == std::string::npos || !digits) {
      report(file.path, lineNo, "expected <id><TAB><text>, a \"+\" continuation, a \"#\" comment or an empty line");
      continue;
    }
    int id = std::stoi(std::string(idText));
    if (id >= kCount) {
      report(file.path, lineNo, "id " + std::to_string(id) + " out of range 0.." + std::to_string(kCount - 1));
      continue;
    }
    Entry& e = file.entries[id];
    if (e.present) {
      report(file.path, lineNo,
             "duplicate id " + std::to_string(id) + " (first given on line " + std::to_string(e.line) + ")");
      continue;
    }
    e.present = true;
    e.line = lineNo;
    if (!unescape(std::string_view(line).substr(tab + 1), e.text, reason)) report(file.path, lineNo, reason);
    current = id;
  }
  for (int id = 0; id < kCount; ++id) {
    const Entry& e = file.entries[id];
    if (!e.present)
      report(file.path, lineNo, "id " + std::to_string(id) + " is missing");
    else if (e.text.empty())
      report(file.path, e.line, "id " + std::to_string(id) + " has an empty text");
  }
  return true;
}

/// A C++ string literal of text, split after each line break so that the
/// generated file stays readable. UTF-8 bytes are written as they are.
std::string literal(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n':
        out += "\\n";
        if (i + 1 < text.size()) out += "\"\n      \"";
        break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\%03o", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 + kLanguages) {
    std::cerr << "usage: " << argv[0] << " <output.inc> <de.txt> <en.txt> <fr.txt> <it.txt> <es.txt> <ru.txt>\n";
    return 2;
  }
  const std::filesystem::path output = argv[1];
  std::vector<LanguageFile> files(kLanguages);
  for (int l = 0; l < kLanguages; ++l) {
    files[l].path = argv[2 + l];
    readLanguageFile(files[l]);
  }

  const LanguageFile& reference = files[kReference];
  for (int id = 0; id < kCount; ++id) {
    if (!reference.entries[id].present) continue;
    const auto expected = placeholders(reference.entries[id].text);
    for (int l = 0; l < kLanguages; ++l) {
      const Entry& e = files[l].entries[id];
      if (l == kReference || !e.present) continue;
      const auto got = placeholders(e.text);
      if (got != expected)
        report(files[l].path, e.line,
               "placeholders of id " + std::to_string(id) + " are " + joinList(got) + ", but " + kNames[kReference] +
                   " has " + joinList(expected) + " (count and order must match)");
    }
  }

  // Remove a previous output first: a failed run must not leave a stale
  // table behind that a later build would take as up to date.
  std::error_code ec;
  std::filesystem::remove(output, ec);
  if (g_errors > 0) {
    std::cerr << "message table: " << g_errors << " error(s); " << output.string() << " not written\n";
    return 1;
  }

  std::ostringstream out;
  out << "// Generated from core/messages/*.txt by GenerateMessages. Do not edit.\n"
      << "// Language columns: de, en, fr, it, es, ru; ids 0.." << kCount - 1 << ".\n"
      << "static const char* const kMessageData[" << kLanguages << "][" << kCount << "] = {\n";
  for (int l = 0; l < kLanguages; ++l) {
    out << "  {  // " << kNames[l] << "\n";
    for (int id = 0; id < kCount; ++id)
      out << "    /* " << id << " */ " << literal(files[l].entries[id].text) << ",\n";
    out << "  },\n";
  }
  out << "};\n";

  std::filesystem::create_directories(output.parent_path().empty() ? "." : output.parent_path(), ec);
  const std::filesystem::path temp = output.string() + ".tmp";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f << out.str();
    if (!f.flush()) {
      std::cerr << temp.string() << ": error: cannot write\n";
      return 1;
    }
  }
  std::filesystem::rename(temp, output, ec);
  if (ec) {
    std::cerr << output.string() << ": error: " << ec.message() << '\n';
    return 1;
  }
  return 0;
}
