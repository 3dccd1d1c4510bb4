// Folder locations following the XDG base directory rules.
#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vltrx::platform {

namespace {

// The value of an environment variable, or nullptr when unset or empty.
const char* envValue(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

// XDG variables hold absolute paths only; a relative one is ignored.
const char* xdgValue(const char* name) {
  const char* v = envValue(name);
  return (v && v[0] == '/') ? v : nullptr;
}

}  // namespace

std::filesystem::path tempPath() {
  if (const char* t = envValue("TMPDIR")) return t;
  return "/tmp";
}

std::filesystem::path programFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
}

std::filesystem::path homePath() {
  if (const char* h = envValue("HOME")) return h;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir)
    return found->pw_dir;
  return "/";
}

std::filesystem::path userConfigDir() {
  if (const char* c = xdgValue("XDG_CONFIG_HOME")) return std::filesystem::path(c) / "vltrx";
  return homePath() / ".config" / "vltrx";
}

std::filesystem::path dataHomePath() {
  if (const char* d = xdgValue("XDG_DATA_HOME")) return d;
  return homePath() / ".local" / "share";
}

std::filesystem::path userDataDir() { return dataHomePath() / "vltrx"; }

std::string expandUserPath(std::string_view value) {
  struct Prefix {
    std::string_view text;
    std::filesystem::path (*base)();
  };
  static constexpr Prefix kPrefixes[] = {{"$XDG_DATA_HOME", dataHomePath}, {"$HOME", homePath}, {"~", homePath}};
  for (const Prefix& p : kPrefixes) {
    if (value.substr(0, p.text.size()) != p.text) continue;
    std::string_view rest = value.substr(p.text.size());
    if (!rest.empty() && rest.front() != '/') continue;
    std::string out = p.base().string();
    while (!out.empty() && out.back() == '/') out.pop_back();
    out += rest;
    if (out.empty()) out = "/";
    return out;
  }
  return std::string(value);
}

std::filesystem::path userSettingsPath() {
  if (const char* p = envValue("VLTRX_USER_SETTINGS")) return p;
  return userConfigDir() / "settings.db";
}

std::filesystem::path machineSettingsPath() {
  if (const char* p = envValue("VLTRX_MACHINE_SETTINGS")) return p;
  return "/etc/vltrx/settings.db";
}

}  // namespace vltrx::platform
