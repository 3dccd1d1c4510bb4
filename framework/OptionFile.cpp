// Option files in registry-export text form:
//
//   Windows Registry Editor Version 5.00
//   <empty line>
//   [HKEY_CURRENT_USER\Software\Kestrava\Velmora\vltrx]
//   "CSV_Out_Delimiter"=";"
//   "CSV_Out_Swap"=dword:1
//   [HKEY_LOCAL_MACHINE\Software\Kestrava\Velmora\vltrx]
//
// every line ending in CR LF. Strings are written as they are, without
// escaping, and read back the same way, so a backslash or a quote inside a
// value survives the round trip.
#include "framework/OptionFile.h"

#include "core/CError.h"
#include "framework/SettingsKey.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace vltrx {

using platform::SettingsStore;
using platform::SettingsValue;
using platform::ValueType;

namespace {

// The general settings: never part of an option file.
const char* const kGeneralSettings[] = {
    "DisableVltrxUpdateVersion", "Environment", "ExportFileFormats", "ImportFileFormats",
    "InFileType", "InstallDir", "DxfConfigDir", "ConfigDir", "DataDir", "CatDir",
    "InFilterDir", "OutFilterDir", "DocDir", "OutFileType", "SelectedInputFilter",
    "SelectedInputFolder", "SelectedOutputFilter", "SelectedOutputFolder", "Version",
};

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kUserRoot[] = "HKEY_CURRENT_USER";
constexpr char kMachineRoot[] = "HKEY_LOCAL_MACHINE";

// Text up to the first NUL, as "%s" prints it.
std::string_view cString(std::string_view s) {
  size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

void appendValue(std::string& out, const SettingsValue& v) {
  static const char kHex[] = "0123456789abcdef";
  std::string_view name = cString(v.name);
  switch (v.type) {
    case ValueType::String:
    case ValueType::ExpandString: {
      std::string expanded;
      std::string_view data = cString(v.data);
      if (v.type == ValueType::ExpandString) {
        expanded = expandEnvironment(data);
        data = cString(expanded);
      }
      out += '"';
      out += name;
      out += "\"=\"";
      out += data;
      out += "\"\r\n";
      break;
    }
    case ValueType::Binary: {
      out += '"';
      out += name;
      out += "\"=hex:";
      for (size_t i = 0; i < v.data.size(); ++i) {
        if (i) out += ',';
        auto b = static_cast<unsigned char>(v.data[i]);
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      out += "\r\n";
      break;
    }
    case ValueType::Dword: {
      if (v.data.size() != 4) break;  // not a 32-bit number after all
      const auto* b = reinterpret_cast<const unsigned char*>(v.data.data());
      uint32_t n = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
      char digits[9];
      int len = 0;
      do {
        digits[len++] = kHex[n & 15];
        n >>= 4;
      } while (n);
      out += '"';
      out += name;
      out += "\"=dword:";
      while (len) out += digits[--len];
      out += "\r\n";
      break;
    }
    default:
      break;  // other types are not exported
  }
}

void appendSection(std::string& out, const char* root, const SettingsKey& key,
                   const SettingsStore* store, const OptionFilter& filter) {
  out += '[';
  out += root;
  out += '\\';
  out += key.path();
  out += "]\r\n";
  if (!store) return;
  for (const SettingsValue& v : store->values(key.path()))
    if (filter.accepts(v.name)) appendValue(out, v);
}

// --- Loading ------------------------------------------------------------------

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The longest line that can still hold a valid value: quotes, the longest
// name, "=", the largest data. Longer lines are skipped while reading, so a
// damaged file never costs more memory than this.
constexpr size_t kMaxLine = SettingsStore::kMaxNameLength + SettingsStore::kMaxDataSize + 16;

// Reads a file line by line (lines end at LF). Leading white space is
// dropped as it is read; lines longer than kMaxLine come back as overlong.
class LineReader {
 public:
  explicit LineReader(std::FILE* f) : m_file(f), m_buffer(65536) {}

  /// False at end of file.
  bool next(std::string& line, bool& overlong) {
    line.clear();
    overlong = false;
    bool any = false;
    for (;;) {
      if (m_pos == m_end) {
        m_pos = 0;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
        if (m_end == 0) return any;
      }
      any = true;
      while (m_pos < m_end) {
        char c = m_buffer[m_pos++];
        if (c == '\n') return true;
        if (line.empty() && isSpace(c)) continue;
        if (line.size() >= kMaxLine)
          overlong = true;
        else
          line += c;
      }
    }
  }

 private:
  std::FILE* m_file;
  std::vector<char> m_buffer;
  size_t m_pos = 0;
  size_t m_end = 0;
};

void stripTrailing(std::string_view& s, std::string_view chars) {
  while (!s.empty() && chars.find(s.back()) != std::string_view::npos) s.remove_suffix(1);
}

enum class Root { None, User, Machine };

class OptionLoader {
 public:
  using StoreFor = std::function<SettingsStore*(Root)>;
  explicit OptionLoader(StoreFor storeFor) : m_storeFor(std::move(storeFor)) {}

  void line(std::string_view line) {
    if (line.empty()) return;
    if (line.front() == '[') {
      openSection(line.substr(1));
      return;
    }
    if (!m_store) return;
    // "name"=dword:1f  or  "name"="text"
    if (line.front() != '"') return;
    size_t end = line.find("\"=", 1);
    if (end == std::string_view::npos) return;
    std::string_view name = line.substr(1, end - 1);
    std::string_view rest = line.substr(end + 2);
    if (rest.substr(0, 6) == "dword:") {
      // Lower-case hex digits only; any other character ends the number.
      uint32_t value = 0;
      for (char c : rest.substr(6)) {
        int digit;
        if (c >= '0' && c <= '9')
          digit = c - '0';
        else if (c >= 'a' && c <= 'f')
          digit = c - 'a' + 10;
        else
          break;
        value = value << 4 | static_cast<uint32_t>(digit);
      }
      std::string data(4, '\0');
      for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xff);
      if (!m_store->write(m_key, name, ValueType::Dword, data)) failed(m_store, m_root);
    } else if (!rest.empty() && rest.front() == '"') {
      std::string_view text = rest.substr(1);
      stripTrailing(text, "\r\n");
      if (!text.empty() && text.back() == '"') text.remove_suffix(1);
      if (!m_store->write(m_key, name, ValueType::String, text)) failed(m_store, m_root);
    }
  }

  /// The settings database of the first failure, empty when none failed.
  const std::string& failedStore() const { return m_failedStore; }
  bool anyFailed() const { return m_failed; }

 private:
  void failed(const SettingsStore* store, Root root) {
    if (m_failed) return;
    m_failed = true;
    if (store)
      m_failedStore = store->file().string();
    else
      m_failedStore = (root == Root::User ? platform::userSettingsPath() : platform::machineSettingsPath()).string();
  }

  void openSection(std::string_view text) {
    m_store = nullptr;
    m_key.clear();
    stripTrailing(text, "\r\n]");
    struct RootName {
      std::string_view name;
      Root root;
    };
    // Roots without a store on this platform are recognised and ignored.
    static constexpr RootName kRoots[] = {
        {kUserRoot, Root::User},       {"HKEY_CLASSES_ROOT", Root::None},
        {"HKEY_CURRENT_CONFIG", Root::None}, {kMachineRoot, Root::Machine},
        {"HKEY_USERS", Root::None},
    };
    for (const RootName& r : kRoots) {
      if (text.substr(0, r.name.size()) != r.name) continue;
      if (text.size() <= r.name.size() + 1 || text[r.name.size()] != '\\') return;
      if (r.root == Root::None) return;
      SettingsStore* store = m_storeFor(r.root);
      std::string_view subkey = text.substr(r.name.size() + 1);
      if (store && store->createKey(subkey)) {
        m_store = store;
        m_root = r.root;
        m_key = std::string(subkey);
      } else if (r.root == Root::User || (store && store->writable())) {
        // The user's own store must take the values; a machine-wide store
        // that this user may not write is left alone quietly.
        failed(store, r.root);
      }
      return;
    }
  }

  StoreFor m_storeFor;
  SettingsStore* m_store = nullptr;
  Root m_root = Root::None;
  std::string m_key;
  bool m_failed = false;
  std::string m_failedStore;
};

int loadWith(const std::filesystem::path& file, OptionLoader::StoreFor storeFor) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return +ErrorCode::OptionsFileMissing;
  // Regular files only: a FIFO or /dev/zero would never end.
  const int fd = platform::openRegularFile(file);
  std::FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (!f) {
    if (fd >= 0) ::close(fd);
    setPendingDetail(ErrorCode::CannotOpenFile, 0, file.string());
    return +ErrorCode::CannotOpenFile;
  }
  OptionLoader loader(std::move(storeFor));
  LineReader reader(f);
  std::string line;
  bool overlong = false;
  while (reader.next(line, overlong))
    if (!overlong) loader.line(line);
  std::fclose(f);
  if (loader.anyFailed()) {
    setPendingDetail(ErrorCode::CannotCreateFile, 0, loader.failedStore());
    return +ErrorCode::CannotCreateFile;
  }
  return 0;
}

}  // namespace

OptionFilter::OptionFilter() : excludeNames(std::begin(kGeneralSettings), std::end(kGeneralSettings)) {}

void OptionFilter::addFormat(FormatType type, FormatDirection direction) {
  for (const FormatCard& card : formatCards()) {
    if (type != kFormatAll && card.type != type) continue;
    const OptionFileKeys& keys = direction == FormatDirection::Import ? card.inKeys : card.outKeys;
    if (keys.prefix) prefixes.emplace_back(keys.prefix);
    includeNames.insert(includeNames.end(), keys.names.begin(), keys.names.end());
  }
}

bool OptionFilter::accepts(std::string_view name) const {
  for (const std::string& n : includeNames)
    if (name == n) return true;
  for (const std::string& n : excludeNames)
    if (name == n) return false;
  for (const std::string& p : prefixes)
    if (name.substr(0, p.size()) == p) return true;
  return false;
}

OptionFilter optionFilter(FormatType inFormat, FormatType outFormat) {
  OptionFilter filter;
  filter.addFormat(inFormat, FormatDirection::Import);
  filter.addFormat(outFormat, FormatDirection::Export);
  return filter;
}

std::string optionFileText(const SettingsKey& key, const OptionFilter& filter) {
  std::string out = kHeader;
  appendSection(out, kUserRoot, key, key.userStore(), filter);
  appendSection(out, kMachineRoot, key, key.machineStore(), filter);
  return out;
}

bool saveOptionFile(const SettingsKey& key, const std::filesystem::path& file, FormatType inFormat,
                    FormatType outFormat) {
  std::string text = optionFileText(key, optionFilter(inFormat, outFormat));
  // Opening a FIFO for writing would wait for a reader forever.
  std::error_code ec;
  if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec)) return false;
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

int loadOptionFile(const std::filesystem::path& file) {
  // The stores are opened when a section first names their root.
  std::unique_ptr<SettingsStore> stores[2];
  bool tried[2] = {false, false};
  return loadWith(file, [&](Root root) -> SettingsStore* {
    int i = root == Root::User ? 0 : 1;
    if (!tried[i]) {
      tried[i] = true;
      stores[i] = SettingsStore::openRoot(root == Root::User ? SettingsStore::Root::User
                                                             : SettingsStore::Root::Machine,
                                          SettingsStore::Mode::Create);
    }
    return stores[i].get();
  });
}

int loadOptionFile(const std::filesystem::path& file, SettingsStore* user, SettingsStore* machine) {
  return loadWith(file, [&](Root root) { return root == Root::User ? user : machine; });
}

std::string expandEnvironment(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '%') {
      size_t close = text.find('%', i + 1);
      if (close != std::string_view::npos && close > i + 1) {
        std::string name(text.substr(i + 1, close - i - 1));
        if (const char* value = std::getenv(name.c_str())) {
          out += value;
          i = close + 1;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace vltrx
