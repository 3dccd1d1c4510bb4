// The parsed command line: one action with its paths, formats and switches.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vltrx {

enum class Action : int {
  Convert = 0,
  OpenDialogThenConvert = 1,
  SaveDialogThenConvert = 2,
  SaveOptions = 3,
  LoadOptions = 4,
  Gui = 5,
  EditOptions = 6,
};

/// Format number meaning "all formats" (-in:* / -out:*).
constexpr int kAllFormats = 13;

/// Export text settings collected from -pid:, -coord:, -comment:, -text:
/// and applied after parsing to the DXF or SVG export options.
struct ExportTextSettings {
  /// One label kind; a field left empty on the command line keeps the
  /// configured value.
  struct Text {
    bool given = false;
    std::optional<double> height;       // negative: percent of the plan height
    std::optional<std::string> layer;   // "origlayer" is kept as origLayer
    bool origLayer = false;
    std::optional<std::string> format;  // coordinate texts only
    std::optional<int> orientation;
  };
  Text pid, coord, comment;
  bool textGiven = false;
  std::optional<double> textHeight;
  bool textForceHeight = false;
};

struct ConversionJob {
  Action action = Action::Convert;
  std::string inputPath;   // also the option file of -saveopt:/-loadopt:
  std::string outputPath;
  int pathCount = 0;
  int inputFormat = 0;     // FormatType, 0 = not given, kAllFormats = *
  int outputFormat = 0;
  std::string inputFormatName;
  std::string outputFormatName;
  std::string optionFormatName;  // -opt:
  bool deleteSource = false;
  bool xmlCopy = false;
  unsigned rebKinds = 0;  // 1 = DA30, 2 = DA45, 4 = DA49
  std::string swapText;   // -swap:, empty = not given
  double scale = 0;       // -scale:, 0 = not given
  ExportTextSettings exportText;
  uint32_t inputCodePage = 0;   // 0 = the ANSI code page
  bool inputCodePageAuto = true;
  uint32_t outputCodePage = 0;
  bool outputCodePageAuto = true;
  std::string pointIdPrefix = "#";
  std::vector<int> categoryIds;  // -cat:

  // Process-wide switches.
  bool noDialog = false;
  bool loadSavedSettings = true;
  std::string defaultFormatName;  // -default:<name>
  bool versionQuery = false;
  bool updateCheck = false;  // -checkupdate
  bool guiRequested = false;

  /// Text the action prints (help, usage); set together with a positive
  /// parser result.
  std::string output;
};

}  // namespace vltrx
