// Option files (.trxopt): the options of the settings key exported as
// registry-export text, and loaded back into the settings stores.
#pragma once

#include "framework/FormatTable.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class SettingsKey;
namespace platform {
class SettingsStore;
}

/// Which values of the settings key go into an option file: a name is
/// written when it equals an include name; otherwise it is skipped when it
/// equals an exclude name (the general settings); otherwise it is written
/// when it begins with one of the prefixes. Comparisons are case-sensitive.
class OptionFilter {
 public:
  /// Starts with the general settings as exclude names.
  OptionFilter();
  /// Adds the prefix and include names of a format and direction;
  /// kFormatAll adds those of every format.
  void addFormat(FormatType type, FormatDirection direction);
  bool accepts(std::string_view name) const;

  std::vector<std::string> includeNames;
  std::vector<std::string> excludeNames;
  std::vector<std::string> prefixes;
};

/// The filter of a save: the input format's keys with direction import and
/// the output format's keys with direction export.
OptionFilter optionFilter(FormatType inFormat, FormatType outFormat);

/// The text of an option file for the values of key that pass filter.
std::string optionFileText(const SettingsKey& key, const OptionFilter& filter);

/// Writes the option file for an input and an output format (kFormatAll for
/// all formats). False when the file cannot be created or written.
bool saveOptionFile(const SettingsKey& key, const std::filesystem::path& file,
                    FormatType inFormat, FormatType outFormat);

/// Loads an option file: every value line of a section is written to the key
/// the section names, HKEY_CURRENT_USER into the per-user store and
/// HKEY_LOCAL_MACHINE into the machine-wide store (opened or created as the
/// environment names them). Sections of other roots, machine-wide sections
/// whose store cannot be written (an ordinary user's case), and lines of any
/// other form are ignored. Returns 0, or a code with its detail pending:
/// -2136 when the file does not exist; -2101 (the file) when it cannot be
/// opened or is no regular file; -2126 (the settings database) when a
/// per-user section finds no writable store, or a value could not be stored
/// (locked longer than the busy time-out, disk full, damaged). The lines
/// after a failed one are still tried.
int loadOptionFile(const std::filesystem::path& file);

/// As loadOptionFile, into the given stores (either may be null).
int loadOptionFile(const std::filesystem::path& file, platform::SettingsStore* user,
                   platform::SettingsStore* machine);

/// Expands %NAME% references to environment variables; unknown names and
/// lone percent signs stay as they are.
std::string expandEnvironment(std::string_view text);

}  // namespace vltrx
