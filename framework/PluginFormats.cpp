// Finding plug-in scripts: the header line, its attribute rules, the entries
// they give and the folders they are looked for in.
#include "framework/PluginFormats.h"

#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace vltrx {
namespace {

// The line buffer of the header reader: a longer line is cut, as it always
// was, so a header must fit into 255 bytes.
constexpr size_t kLineBuffer = 256;
constexpr size_t kTypeLimit = 255;
constexpr size_t kValueLimit = 511;
// " ¹": a blank and the superscript one, in UTF-8.
constexpr std::string_view kPluginMark = " \xC2\xB9";

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isQuote(char c) { return c == '"' || c == '\''; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Decodes the five entities and decimal references; other ampersands stay.
std::string decodeEntities(std::string_view raw) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(raw.size());
  size_t i = 0;
  while (i < raw.size()) {
    if (raw[i] != '&') {
      out += raw[i++];
      continue;
    }
    std::string_view rest = raw.substr(i);
    bool done = false;
    for (const auto& [entity, c] : kEntities) {
      if (rest.starts_with(entity)) {
        out += c;
        i += entity.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    if (rest.size() >= 3 && rest[1] == '#' && isDigit(rest[2])) {
      size_t j = 2;
      unsigned value = 0;
      while (j < rest.size() && isDigit(rest[j])) {
        if (value < 1000) value = value * 10 + static_cast<unsigned>(rest[j] - '0');
        ++j;
      }
      i += j;
      if (j < rest.size() && rest[j] == ';') {
        ++i;
        // The byte of the value; a NUL would end every C string the value
        // later becomes part of, so it is dropped.
        const char byte = static_cast<char>(value & 0xFF);
        if (byte != 0) out += byte;
      }
      continue;
    }
    out += raw[i++];
  }
  return out;
}

std::string trimLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

/// Reads path when it is a regular file, without blocking on a FIFO.
FILE* openRegular(const fs::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE* f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

bool hasXslExtension(const fs::path& p) {
  const std::string ext = p.extension().string();
  if (ext.size() != 4) return false;
  std::string lower;
  for (char c : ext) lower += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  return lower == ".xsl";
}

fs::path envFolder(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? fs::path(v) : fs::path();
}

}  // namespace

std::optional<std::string> pluginAttribute(std::string_view line, std::string_view name, size_t limit) {
  size_t from = 0;
  while (true) {
    const size_t at = line.find(name, from);
    if (at == std::string_view::npos) return std::nullopt;
    from = at + 1;
    if (at > 0 && isLetter(line[at - 1])) continue;
    size_t i = at + name.size();
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size()) continue;
    size_t start;
    if (isQuote(line[i]))
      start = i + 1;
    else if (isDigit(line[i]) || line[i] == '+' || line[i] == '-')
      start = i;
    else
      continue;
    size_t end = start;
    while (end < line.size() && !isQuote(line[end]) && line[end] != '\r' && line[end] != '\n') ++end;
    std::string value = decodeEntities(line.substr(start, end - start));
    if (value.size() > limit) value.resize(limit);
    return value;
  }
}

std::optional<PluginHeader> readPluginHeader(const fs::path& script) {
  FILE* f = openRegular(script);
  if (!f) return std::nullopt;
  char buffer[kLineBuffer];
  std::optional<std::string> line;
  while (std::fgets(buffer, sizeof buffer, f)) {
    if (std::string_view(buffer).starts_with("<?vltrx")) {
      line = trimLineEnd(buffer);
      break;
    }
  }
  std::fclose(f);
  if (!line) return std::nullopt;
  PluginHeader h;
  auto type = pluginAttribute(*line, "type", kTypeLimit);
  auto name = pluginAttribute(*line, "name", kValueLimit);
  auto fileExt = pluginAttribute(*line, "file-ext", kValueLimit);
  auto cmdExt = pluginAttribute(*line, "cmd-ext", kValueLimit);
  if (!type || !name || !fileExt || !cmdExt) return std::nullopt;
  h.type = std::move(*type);
  h.name = std::move(*name);
  h.fileExt = std::move(*fileExt);
  h.cmdExt = std::move(*cmdExt);
  return h;
}

std::optional<FileFormat> pluginEntry(const fs::path& script, FormatDirection direction) {
  std::optional<PluginHeader> h = readPluginHeader(script);
  if (!h) return std::nullopt;
  const bool import = direction == FormatDirection::Import;
  if (!h->type.starts_with(import ? "in-filter" : "out-filter")) return std::nullopt;
  FileFormat f;
  f.direction = import;
  f.type = kFormatXslt;
  std::error_code ec;
  fs::path full = fs::absolute(script, ec);
  f.scriptPath = (ec ? script : full).string();
  const std::string_view suffix = import ? "_in" : "_out";
  f.id = h->cmdExt;
  if (!f.id.ends_with(suffix)) f.id += suffix;
  f.description = h->name;
  f.description += kPluginMark;
  f.filter = h->fileExt;
  return f;
}

int scanPluginFolder(FormatList& list, const fs::path& folder, FormatDirection direction) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  if (ec) return 0;
  std::vector<fs::path> scripts;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code e2;
    if (hasXslExtension(it->path()) && it->is_regular_file(e2)) scripts.push_back(it->path());
  }
  // Name order: the lists, and which of two scripts with the same cmd-ext
  // wins, do not depend on the file system.
  std::sort(scripts.begin(), scripts.end());
  int added = 0;
  for (const fs::path& s : scripts) {
    if (std::optional<FileFormat> f = pluginEntry(s, direction)) {
      list.push_back(std::move(*f));
      ++added;
    }
  }
  return added;
}

std::vector<fs::path> pluginFolders(FormatDirection direction) {
  const char* sub = direction == FormatDirection::Import ? "in-filter" : "out-filter";
  fs::path system = envFolder("VLTRX_SYSTEM_FILTERS");
  if (system.empty()) {
    fs::path program = platform::programFolder();
    if (!program.empty()) system = program.parent_path() / "share" / "vltrx" / "filters";
  }
  fs::path user = envFolder("VLTRX_USER_FILTERS");
  if (user.empty()) user = platform::userDataDir() / "filters";
  std::vector<fs::path> out;
  if (!system.empty()) out.push_back(system / sub);
  out.push_back(user / sub);
  return out;
}

int scanPlugins(FormatList& list, FormatDirection direction) {
  int added = 0;
  for (const fs::path& folder : pluginFolders(direction)) added += scanPluginFolder(list, folder, direction);
  return added;
}

std::vector<const FileFormat*> pluginEntries(const FormatList& list) {
  std::vector<const FileFormat*> out;
  for (const FileFormat& f : list)
    if (f.type == kFormatXslt) out.push_back(&f);
  return out;
}

}  // namespace vltrx
