// The process-wide access object to the settings key
// "Software\Kestrava\Velmora\vltrx": per-user store first, machine-wide
// store as fallback; writes go to every store that is open for writing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {

namespace platform {
class SettingsStore;
}

class SettingsKey {
 public:
  enum class Access { Read, Full };

  /// Opens keyPath in both stores for reading; true when at least one is valid.
  bool open(std::string_view keyPath);
  /// As open, creating the key; a denied access is retried read-only.
  bool create(std::string_view keyPath, Access access = Access::Full);
  void close();
  const std::string& path() const { return m_path; }
  bool valid() const;

  /// When a value is missing in both stores, readers store the default only
  /// while this flag is true (it is from the start).
  bool applyDefaults = true;

  // Typed readers: per-user first, then machine-wide. False when neither
  // store holds a usable value.
  bool readDword(std::string_view name, uint32_t& out, uint32_t def) const;
  bool readBool(std::string_view name, bool& out, bool def) const;
  bool readDouble(std::string_view name, double& out, double def) const;
  bool readChar(std::string_view name, char& out, char def) const;
  bool readString(std::string_view name, std::string& out, std::string_view def) const;

  // Typed writers: every valid store; true when any write succeeded.
  bool writeDword(std::string_view name, uint32_t value);
  bool writeBool(std::string_view name, bool value);
  bool writeDouble(std::string_view name, double value);  // "%.10f"
  bool writeString(std::string_view name, std::string_view value);

  /// Deletes from the per-user store and, only when that succeeded, from the
  /// machine-wide one.
  bool deleteValue(std::string_view name);

  platform::SettingsStore* userStore() const { return m_user; }
  platform::SettingsStore* machineStore() const { return m_machine; }

 private:
  platform::SettingsStore* m_user = nullptr;
  platform::SettingsStore* m_machine = nullptr;
  std::string m_path;
};

/// The one key of the process.
SettingsKey& settingsKey();

/// Key paths.
inline constexpr std::string_view kProgramKeyPath = "Software\\Kestrava\\Velmora\\vltrx";
inline constexpr std::string_view kProductKeyPath = "Software\\Kestrava\\Velmora";
inline constexpr std::string_view kMakerKeyPath = "Software\\Kestrava";

}  // namespace vltrx
