// The settings store: registry-like keys and typed named values kept in one
// SQLite database file per root (per-user, machine-wide). Key paths and
// value names compare case-insensitively (ASCII); values keep the order in
// which they were first written. Several processes may use one file at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vltrx::platform {

/// Value types with the numbers the registry gives them.
enum class ValueType : uint32_t {
  String = 1,        // UTF-8 text without terminator
  ExpandString = 2,  // the same, with %NAME% environment references
  Binary = 3,        // raw bytes
  Dword = 4,         // 32-bit number, 4 bytes little-endian
};

/// One named value of a key.
struct SettingsValue {
  std::string name;
  ValueType type = ValueType::String;
  std::string data;  // raw bytes
};

class SettingsStore {
 public:
  enum class Mode {
    Read,    // open an existing database; a missing file is a failure
    Create,  // create folder and file when missing; read-only when not writable
  };
  /// The two roots and their database files (see Paths.h).
  enum class Root { User, Machine };

  /// Registry limits: longest value name, largest value data.
  static constexpr size_t kMaxNameLength = 16383;
  static constexpr size_t kMaxDataSize = 1048576;

  /// Opens the database at file. Returns null when it cannot be opened in the
  /// mode asked (missing for Read, folder not creatable, not a database).
  /// A database that exists but cannot be written opens read-only.
  static std::unique_ptr<SettingsStore> open(const std::filesystem::path& file, Mode mode);
  /// Opens the database of a root at the path the environment names.
  static std::unique_ptr<SettingsStore> openRoot(Root root, Mode mode);

  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  const std::filesystem::path& file() const { return m_file; }
  /// False when the store was opened read-only; writes then fail.
  bool writable() const { return m_writable; }

  /// True when the key exists.
  bool keyExists(std::string_view keyPath) const;
  /// Creates the key when missing; true when it exists afterwards and the
  /// store is writable.
  bool createKey(std::string_view keyPath);

  /// The value, or nothing when the key or the value does not exist or the
  /// database cannot be read.
  std::optional<SettingsValue> read(std::string_view keyPath, std::string_view name) const;
  /// Writes (creates or overwrites) a value in its own transaction, creating
  /// the key when missing. False when the store is read-only, the name or
  /// data exceed the limits, or the database fails; never throws.
  bool write(std::string_view keyPath, std::string_view name, ValueType type,
             std::string_view data);
  /// Deletes a value; false when it did not exist or the store cannot be written.
  bool remove(std::string_view keyPath, std::string_view name);
  /// The values of a key in the order they were first written.
  std::vector<SettingsValue> values(std::string_view keyPath) const;

  /// Normalises a key path: trailing backslashes dropped. Empty when the
  /// path is not valid (empty, empty segment, segment over 255 characters).
  static std::string normalizeKeyPath(std::string_view keyPath);

 private:
  SettingsStore(sqlite3* db, std::filesystem::path file, bool writable);
  sqlite3_stmt* statement(int which, const char* sql) const;
  bool exec(const char* sql) const;
  bool writeInTransaction(std::string_view key, std::string_view name, ValueType type,
                          std::string_view data);

  sqlite3* m_db = nullptr;
  std::filesystem::path m_file;
  bool m_writable = false;
  mutable sqlite3_stmt* m_statements[8] = {};
};

}  // namespace vltrx::platform
