// The process-wide access object to the settings key
// "Software\Kestrava\Velmora\vltrx": per-user store first, machine-wide
// store as fallback. Writes go to the per-user store only: the machine-wide
// store belongs to the installation, and a run of one user (root included)
// must never decide the settings of every other user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace vltrx {

namespace platform {
class SettingsStore;
enum class ValueType : uint32_t;
}

class SettingsKey {
 public:
  enum class Access { Read, Full };

  /// Longest value name and largest value data a writer accepts.
  static constexpr size_t kMaxNameLength = 16383;
  static constexpr size_t kMaxDataSize = 1048576;

  SettingsKey();
  ~SettingsKey();
  SettingsKey(SettingsKey&&) noexcept;
  SettingsKey& operator=(SettingsKey&&) noexcept;

  /// Opens keyPath in both stores for reading; true when at least one is
  /// valid. A store (or key) that does not exist gives no handle.
  bool open(std::string_view keyPath);
  /// As open, creating the per-user store and the key there; with
  /// Access::Full writes to it are allowed. A per-user store that cannot be
  /// written is opened for reading instead (when the key exists there). The
  /// machine-wide store is only ever opened for reading, and only when it
  /// exists. The stores are found through the environment each time, so
  /// close() and create() again pick up changed VLTRX_USER_SETTINGS /
  /// VLTRX_MACHINE_SETTINGS.
  bool create(std::string_view keyPath, Access access = Access::Full);
  /// Closes both handles and clears the path.
  void close();
  const std::string& path() const { return m_path; }
  /// True when at least one handle is open.
  bool valid() const;

  /// When a value is missing in both stores, readers store the default only
  /// while this flag is true (it is from the start).
  bool applyDefaults = true;

  // Typed readers: per-user first, then machine-wide. A value of the wrong
  // type or with unusable content counts as missing. False when neither
  // store holds a usable value.
  /// 32-bit number (4 bytes).
  bool readDword(std::string_view name, uint32_t& out, uint32_t def) const;
  /// 32-bit number, non-zero = true.
  bool readBool(std::string_view name, bool& out, bool def) const;
  /// String parsed like "%lf"; a string that holds no number counts as missing.
  bool readDouble(std::string_view name, double& out, double def) const;
  /// First byte of a string; an empty string counts as missing.
  bool readChar(std::string_view name, char& out, char def) const;
  /// String (UTF-8), up to its first NUL byte.
  bool readString(std::string_view name, std::string& out, std::string_view def) const;

  // Typed writers: the per-user store when it is open for writing; true
  // when the write succeeded. Names over kMaxNameLength characters and data over
  // kMaxDataSize bytes are refused.
  bool writeDword(std::string_view name, uint32_t value);
  bool writeBool(std::string_view name, bool value);  // 1 or 0
  bool writeDouble(std::string_view name, double value);  // "%.10f"
  bool writeChar(std::string_view name, char value);  // a string of one byte
  bool writeString(std::string_view name, std::string_view value);
  /// Any value type with raw data.
  bool writeValue(std::string_view name, platform::ValueType type, std::string_view data);

  /// Deletes from the per-user store (a machine-wide value stays and is read
  /// again as the fallback). True when a value was deleted.
  bool deleteValue(std::string_view name);

  /// The per-user database when it exists but could not be opened (not a
  /// database, damaged, unreadable); empty otherwise. Its values are then
  /// unknown, which a caller must not mistake for "missing".
  const std::filesystem::path& unreadableUserStore() const { return m_unreadableUser; }

  /// The stores holding the key, or null where it is not open.
  platform::SettingsStore* userStore() const { return m_user.get(); }
  platform::SettingsStore* machineStore() const { return m_machine.get(); }

 private:
  bool openStores(std::string_view keyPath, bool create, Access access);
  bool writeAll(std::string_view name, platform::ValueType type, std::string_view data);
  template <class Accept>
  bool readFirst(std::string_view name, Accept accept) const;

  std::unique_ptr<platform::SettingsStore> m_user;
  std::unique_ptr<platform::SettingsStore> m_machine;
  bool m_userWritable = false;
  std::filesystem::path m_unreadableUser;
  std::string m_path;
};

/// The one key of the process.
SettingsKey& settingsKey();

/// Key paths.
inline constexpr std::string_view kProgramKeyPath = "Software\\Kestrava\\Velmora\\vltrx";
inline constexpr std::string_view kProductKeyPath = "Software\\Kestrava\\Velmora";
inline constexpr std::string_view kMakerKeyPath = "Software\\Kestrava";

}  // namespace vltrx
