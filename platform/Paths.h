// Where the converter keeps its files on this platform: the XDG base
// directories for the user, /etc for machine-wide settings, $TMPDIR for
// temporary files. Every location can be redirected by environment variables,
// which the tests use to keep the real user's files untouched.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vltrx::platform {

/// The user's temporary folder ($TMPDIR, else /tmp).
std::filesystem::path tempPath();

/// The folder of the running executable (from /proc/self/exe), the folder
/// that holds the XSLT processor wrapper; empty when it cannot be found.
std::filesystem::path programFolder();

/// The user's home folder ($HOME, else the password database, else "/").
std::filesystem::path homePath();

/// The converter's per-user configuration folder:
/// $XDG_CONFIG_HOME/vltrx, with XDG_CONFIG_HOME defaulting to ~/.config.
std::filesystem::path userConfigDir();

/// The converter's per-user data folder (categories and the like):
/// $XDG_DATA_HOME/vltrx, with XDG_DATA_HOME defaulting to ~/.local/share.
std::filesystem::path userDataDir();

/// The user's data home: $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path dataHomePath();

/// A folder value as this user sees it: a leading "$XDG_DATA_HOME" becomes
/// dataHomePath(), a leading "$HOME" or "~" becomes homePath() (each only
/// when followed by "/" or the end). Anything else is returned as it is.
/// Values stored this way hold for every user of a machine.
std::string expandUserPath(std::string_view value);

/// The per-user settings database: $VLTRX_USER_SETTINGS when set, else
/// userConfigDir()/settings.db.
std::filesystem::path userSettingsPath();

/// The machine-wide settings database: $VLTRX_MACHINE_SETTINGS when set,
/// else /etc/vltrx/settings.db.
std::filesystem::path machineSettingsPath();

}  // namespace vltrx::platform
