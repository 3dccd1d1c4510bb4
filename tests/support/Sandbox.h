// Test helper: a fresh folder below $TMPDIR with the converter's locations
// (settings stores, XDG folders, temporary folder, HOME) pointed into it for
// the lifetime of the object, and the update check at start switched off.
// The variables are restored and the folder is removed on destruction.
// Header-only, usable by every test suite.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace vltrx::test {

class Sandbox {
 public:
  Sandbox() {
    const char* tmp = std::getenv("TMPDIR");
    std::error_code ec;
    std::string base = tmp && *tmp && std::filesystem::is_directory(tmp, ec) ? tmp : "/tmp";
    std::string pattern = base + "/vltrx-sandbox-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("Sandbox: mkdtemp failed");
    m_root = pattern;
    for (const char* dir : {"home", "config", "data", "tmp", "etc"})
      std::filesystem::create_directories(m_root / dir);
    set("HOME", m_root / "home");
    set("XDG_CONFIG_HOME", m_root / "config");
    set("XDG_DATA_HOME", m_root / "data");
    set("TMPDIR", m_root / "tmp");
    set("VLTRX_USER_SETTINGS", userSettings());
    set("VLTRX_MACHINE_SETTINGS", machineSettings());
    // No main dialog of a test asks the update service when it opens.
    set("VLTRX_UPDATE_CHECK", "0");
  }

  ~Sandbox() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
    std::error_code ec;
    std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_root, ec);
  }

  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  /// The sandbox folder.
  const std::filesystem::path& root() const { return m_root; }
  /// $TMPDIR inside the sandbox.
  std::filesystem::path tmp() const { return m_root / "tmp"; }
  /// $VLTRX_USER_SETTINGS: the per-user store (not created yet).
  std::filesystem::path userSettings() const { return m_root / "config" / "vltrx" / "settings.db"; }
  /// $VLTRX_MACHINE_SETTINGS: the machine-wide store (not created yet).
  std::filesystem::path machineSettings() const { return m_root / "etc" / "vltrx" / "settings.db"; }

  /// Sets an environment variable for the lifetime of the sandbox.
  void set(const std::string& name, const std::filesystem::path& value) {
    const char* old = std::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::filesystem::path m_root;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace vltrx::test
