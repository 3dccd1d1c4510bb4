// Command-line parsing. Options are matched as case-sensitive prefixes in a
// fixed order, the first match wins; unknown options are ignored.
#include "app/CommandLine.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vltrx {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  return true;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

/// Fields of a comma-separated option value, numbered from 1.
std::vector<std::string> splitFields(std::string_view s) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = s.find(',', start);
    fields.emplace_back(s.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string fieldAt(const std::vector<std::string>& fields, size_t number) {
  return number >= 1 && number <= fields.size() ? fields[number - 1] : std::string();
}

/// Reads a number like "%lf" (leading part); false when there is none.
bool readNumber(std::string_view s, double& v) { return parseLeadingDouble(s, v) > 0; }

bool readInt(std::string_view s, int64_t& v) { return parseLeadingInt(s, v) > 0; }

[[noreturn]] void fail(ErrorCode code) { throw makeError(code); }
[[noreturn]] void fail(ErrorCode code, std::string_view detail) { throw makeError(code, detail); }

bool validPdMode(int64_t m) {
  return (m >= 0 && m <= 5) || (m >= 32 && m <= 36) || (m >= 64 && m <= 68) || (m >= 96 && m <= 100);
}

/// -pid:, -coord:, -comment: share "height,origlayer or layer,...".
void parseTextSetting(std::string_view value, ExportTextSettings::Text& t, bool withFormat, ErrorCode error) {
  auto fields = splitFields(value);
  t.given = true;
  std::string height = fieldAt(fields, 1);
  if (!height.empty()) {
    double h;
    if (!parseWholeDouble(height, h) || !std::isfinite(h)) fail(error);
    t.height = h;
  }
  std::string layer = fieldAt(fields, 2);
  if (!layer.empty()) {
    t.origLayer = layer == "origlayer";
    t.layer = layer;
  }
  size_t next = 3;
  if (withFormat && fields.size() >= 3) {
    // A coordinate format may itself hold commas: everything between the
    // layer and a trailing orientation number belongs to it.
    int64_t o;
    bool trailingOrientation = fields.size() >= 4 && !fields.back().empty() &&
                               parseLeadingInt(fields.back(), o) == fields.back().size();
    size_t formatEnd = trailingOrientation ? fields.size() - 1 : fields.size();
    std::string format;
    for (size_t i = 3; i <= formatEnd; ++i) {
      if (i > 3) format += ',';
      format += fields[i - 1];
    }
    if (!format.empty()) t.format = format;
    next = formatEnd + 1;
  }
  std::string orientation = fieldAt(fields, next);
  if (!orientation.empty()) {
    int64_t o;
    if (parseLeadingInt(orientation, o) != orientation.size() || o < 0 || o > 4) fail(error);
    t.orientation = static_cast<int>(o);
  }
}

void applyHeight(double height, TextLabelOptions& label) {
  label.height = std::fabs(height);
  label.relative = height < 0;
}

void applyText(const ExportTextSettings::Text& t, TextLabelOptions& label, std::string* format) {
  if (!t.given) return;
  label.enabled = true;
  if (t.height) applyHeight(*t.height, label);
  if (t.layer) {
    label.origLayer = t.origLayer;
    if (!t.origLayer) label.layer = *t.layer;
  }
  if (t.format && format) *format = *t.format;
  if (t.orientation) label.orientation = *t.orientation;
}

/// Export text settings go to the DXF export when the output is DXF, else
/// to the SVG export when it is SVG, else nowhere.
void applyExportText(const ConversionJob& job, AllFormatOptions& o) {
  const ExportTextSettings& e = job.exportText;
  if (!e.pid.given && !e.coord.given && !e.comment.given && !e.textGiven) return;
  auto applyAll = [&](TextLabelOptions& pid, TextLabelOptions& coord, std::string& coordFormat,
                      TextLabelOptions& comment, TextLabelOptions& text, bool& forceHeight) {
    applyText(e.pid, pid, nullptr);
    applyText(e.coord, coord, &coordFormat);
    applyText(e.comment, comment, nullptr);
    if (e.textGiven) {
      text.enabled = true;
      if (e.textHeight) applyHeight(*e.textHeight, text);
      if (e.textForceHeight) forceHeight = true;
    }
  };
  if (endsWithNoCase(job.outputPath, ".dxf") || job.outputFormat == kFormatDxf) {
    applyAll(o.dxf.pid, o.dxf.coord, o.dxf.coordFormat, o.dxf.comment, o.dxf.text, o.dxf.textForceHeight);
  } else if (endsWithNoCase(job.outputPath, ".svg") || job.outputFormat == kFormatSvg) {
    applyAll(o.svg.pid, o.svg.coord, o.svg.coordFormat, o.svg.comment, o.svg.text, o.svg.textForceHeight);
  }
}

/// -out: list of da30, da45, da49 (case-insensitive); 0 when it is no such list.
unsigned parseRebList(std::string_view value) {
  unsigned kinds = 0;
  for (const auto& f : splitFields(value)) {
    std::string n = lower(f);
    if (n == "da30")
      kinds |= kRebDa30;
    else if (n == "da45")
      kinds |= kRebDa45;
    else if (n == "da49")
      kinds |= kRebDa49;
    else
      return 0;
  }
  return kinds;
}

void setDelimiter(std::string_view value, char* a, char* b, char* c, char* d) {
  char code;
  if (!parseDelimiterText(std::string(value), code)) fail(ErrorCode::InvalidFieldDelimiter);
  for (char* p : {a, b, c, d})
    if (p) *p = code;
}

void setDecimal(std::string_view value, char* a, char* b, char* c, char* d) {
  if (value != "." && value != ",") fail(ErrorCode::InvalidDecimalDelimiter);
  for (char* p : {a, b, c, d})
    if (p) *p = value[0];
}

}  // namespace

bool parseDelimiterText(const std::string& text, char& code) {
  std::string l = lower(text);
  if (l == "ws") {
    code = kDelimiterWs;
    return true;
  }
  if (l == "tab" || text == "\t") {
    code = kDelimiterTab;
    return true;
  }
  // Any single printable character, as the option dialog takes it.
  if (text.size() != 1) return false;
  unsigned char c = static_cast<unsigned char>(text[0]);
  if (c < 0x20 || c >= 0x7F) return false;
  code = static_cast<char>(c);
  return true;
}

bool isValidTxtLayout(const std::string& layout, bool input) {
  if (layout.empty()) return false;
  std::string_view allowed = input ? "#XYZNEIPK" : "#XYZNEICPK";
  int xy = 0, ne = 0;
  for (char ch : layout) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (allowed.find(u) == std::string_view::npos) return false;
    if (u == 'X' || u == 'Y') ++xy;
    if (u == 'N' || u == 'E') ++ne;
  }
  return xy == 2 || ne == 2;
}

void prescanArguments(const std::vector<std::string>& args, ConversionJob& job) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (startsWith(a, "-default:")) {
      job.loadSavedSettings = true;
      job.defaultFormatName = a.substr(9);
    } else if (startsWith(a, "-default")) {
      job.loadSavedSettings = false;
    } else if (startsWith(a, "-version")) {
      job.versionQuery = true;
    } else if (startsWith(a, "-gui")) {
      job.guiRequested = true;
    } else if (startsWith(a, "-nodialog")) {
      job.noDialog = true;
    }
  }
}

std::string usageText() {
  std::string t = replaceFirstS(text(18), kVersionText);
  return replaceFirstS(t, kYearText);
}

std::string formatHelpText(const std::string& name) {
  const FileFormat* f = findFormat(importFormats(), name);
  if (!f) f = findFormat(exportFormats(), name);
  if (!f || name.empty()) fail(ErrorCode::UnknownFileFormat, name);
  std::string out;
  switch (f->type) {
    case kFormatDxf: out = text(19) + text(20); break;
    case kFormatCsv: out = text(21); break;
    case kFormatTxt: out = text(22); break;
    case kFormatGsi: out = text(24); break;
    case kFormatXml: out = text(25); break;
    case kFormatDat: out = text(26); break;
    case kFormatReb: out = text(27); break;
    case kFormatSvg: out = text(28); break;
    case kFormatXslt: out = text(29); break;
    case kFormatEsri: out = text(30); break;
    default: fail(ErrorCode::UnknownFileFormat, name);
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += text(23);
  return out;
}

int parseArguments(const std::vector<std::string>& args, ConversionJob& job, AllFormatOptions& o) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.empty() || a[0] != '-') {
      if (job.pathCount == 0)
        job.inputPath = a;
      else if (job.pathCount == 1)
        job.outputPath = a;
      else
        fail(ErrorCode::TooManyFiles);
      ++job.pathCount;
      continue;
    }
    auto is = [&](std::string_view prefix) { return startsWith(a, prefix); };
    auto rest = [&](std::string_view prefix) { return std::string_view(a).substr(prefix.size()); };

    if (is("-in:")) {
      std::string name(rest("-in:"));
      job.inputFormatName = name;
      if (name == "*") {
        job.inputFormat = kAllFormats;
      } else {
        job.inputFormat = formatTypeFromName(name, FormatDirection::Import);
        if (job.inputFormat == 0) fail(ErrorCode::UnknownDataFormat, name);
      }
    } else if (is("-out:")) {
      std::string name(rest("-out:"));
      job.outputFormatName = name;
      if (name == "*") {
        job.outputFormat = kAllFormats;
      } else {
        job.outputFormat = formatTypeFromName(name, FormatDirection::Export);
        if (job.outputFormat == 0) {
          unsigned kinds = parseRebList(name);
          if (kinds == 0) fail(ErrorCode::UnknownDataFormat, name);
          job.outputFormat = kFormatReb;
          job.rebKinds = kinds;
          o.reb.outTypes = kinds;
        }
      }
    } else if (is("-incp:")) {
      int64_t cp;
      if (job.inputCodePageAuto && readInt(rest("-incp:"), cp)) {
        job.inputCodePage = static_cast<uint32_t>(cp);
        job.inputCodePageAuto = false;
      }
    } else if (is("-outcp:")) {
      int64_t cp;
      if (job.outputCodePageAuto && readInt(rest("-outcp:"), cp)) {
        job.outputCodePage = static_cast<uint32_t>(cp);
        job.outputCodePageAuto = false;
      }
    } else if (is("-alphanum:")) {
      for (FormatOptions* r : o.records())
        if (!r->alphaNumIdsNotOffered) r->inAlphaNumIds = true;
    } else if (is("-nodialog")) {
      job.noDialog = true;
    } else if (is("-saveopt:")) {
      job.action = Action::SaveOptions;
      job.inputPath = std::string(rest("-saveopt:"));
    } else if (is("-loadopt:")) {
      job.action = Action::LoadOptions;
      job.inputPath = std::string(rest("-loadopt:"));
    } else if (is("-delsource")) {
      job.deleteSource = true;
    } else if (is("-opendlg")) {
      job.action = Action::OpenDialogThenConvert;
    } else if (is("-savedlg")) {
      job.action = Action::SaveDialogThenConvert;
    } else if (is("-scale:")) {
      double v;
      if (!parseWholeDouble(rest("-scale:"), v) || !std::isfinite(v) || std::fabs(v) < 0.000001)
        fail(ErrorCode::InvalidScaleFactor);
      job.scale = v;
    } else if (is("-all")) {
      o.dxf.importAllLayers = true;
      if (!is("-all:create")) o.dxf.importAllLayersWithoutAssignment = true;
    } else if (is("-xmlcopy")) {
      job.xmlCopy = true;
    } else if (is("-approx:")) {
      double v;
      if (!readNumber(rest("-approx:"), v) || !(v >= 0.001) || !std::isfinite(v)) fail(ErrorCode::InvalidApproximation);
      o.dxf.approx = v;
    } else if (is("-epsilon:")) {
      double v;
      if (!readNumber(rest("-epsilon:"), v) || !(v >= 0) || !std::isfinite(v)) fail(ErrorCode::InvalidEquality);
      o.dxf.epsilon = v;
    } else if (is("-pidin:")) {
      auto f = splitFields(rest("-pidin:"));
      o.dxf.pidImport = true;
      std::string source = fieldAt(f, 1);
      if (!source.empty()) {
        int64_t s;
        if (!readInt(source, s) || s < 0 || s >= 3) fail(ErrorCode::InvalidOptionId);
        o.dxf.pidImportSource = static_cast<int>(s);
      }
      std::string eps = fieldAt(f, 2);
      double e;
      if (!eps.empty() && readNumber(eps, e) && std::isfinite(e)) {
        o.dxf.pidImportEpsilon = std::fabs(e);
        o.dxf.pidImportIgnoreZ = e < 0;
      }
      if (!fieldAt(f, 3).empty()) o.dxf.pidImportLayer = fieldAt(f, 3);
      if (!fieldAt(f, 4).empty()) o.dxf.pidBlockAttribute = fieldAt(f, 4);
      int64_t n;
      if (!fieldAt(f, 5).empty() && readInt(fieldAt(f, 5), n))
        o.dxf.pidBlockTextNumber = static_cast<int>(std::clamp<int64_t>(n, 1, 1000000));
    } else if (is("-block:")) {
      o.dxf.importBlocks = true;
      o.dxf.importBlocksAnchorPoints = rest("-block:") == "bp";
    } else if (is("-proxy")) {
      o.dxf.importProxyAnchorPoints = true;
    } else if (is("-pstyle:")) {
      auto f = splitFields(rest("-pstyle:"));
      int64_t mode = 0;
      if (!fieldAt(f, 1).empty()) {
        if (!readInt(fieldAt(f, 1), mode) || !validPdMode(mode)) fail(ErrorCode::InvalidPointDisplayMode);
        o.dxf.pdMode = static_cast<int>(mode);
      }
      double size;
      if (!fieldAt(f, 2).empty()) {
        if (!readNumber(fieldAt(f, 2), size) || !std::isfinite(size)) fail(ErrorCode::InvalidPointDisplayMode);
        o.dxf.pdSize = size;
      }
    } else if (is("-pp")) {
      o.dxf.addPolyPoints = true;
    } else if (is("-addvl")) {
      o.dxf.addVlLayerPrefix = false;
    } else if (is("-keepvl")) {
      o.dxf.keepVlPrefix = true;
    } else if (is("-pidred")) {
      o.csv.inPidReduce = true;
      o.txt.inPidReduce = true;
    } else if (is("-del:")) {
      setDelimiter(rest("-del:"), &o.csv.inDelimiter, &o.csv.outDelimiter, &o.txt.inDelimiter, &o.txt.outDelimiter);
    } else if (is("-del")) {
      if (is("-delin:"))
        setDelimiter(rest("-delin:"), &o.csv.inDelimiter, &o.txt.inDelimiter, nullptr, nullptr);
      else if (is("-delout:"))
        setDelimiter(rest("-delout:"), &o.csv.outDelimiter, &o.txt.outDelimiter, nullptr, nullptr);
    } else if (is("-dec:")) {
      setDecimal(rest("-dec:"), &o.csv.inDecimal, &o.csv.outDecimal, &o.txt.inDecimal, &o.txt.outDecimal);
    } else if (is("-dec")) {
      if (is("-decin:"))
        setDecimal(rest("-decin:"), &o.csv.inDecimal, &o.txt.inDecimal, nullptr, nullptr);
      else if (is("-decout:"))
        setDecimal(rest("-decout:"), &o.csv.outDecimal, &o.txt.outDecimal, nullptr, nullptr);
    } else if (is("-format:")) {
      std::string layout(rest("-format:"));
      if (!isValidTxtLayout(layout, true) || !isValidTxtLayout(layout, false)) fail(ErrorCode::InvalidFormatString);
      o.txt.inFormat = layout;
      o.txt.outFormat = layout;
    } else if (is("-format")) {
      if (is("-formatin:")) {
        std::string layout(rest("-formatin:"));
        if (!isValidTxtLayout(layout, true)) fail(ErrorCode::InvalidFormatString);
        o.txt.inFormat = layout;
      } else if (is("-formatout:")) {
        std::string layout(rest("-formatout:"));
        if (!isValidTxtLayout(layout, false)) fail(ErrorCode::InvalidFormatString);
        o.txt.outFormat = layout;
      }
    } else if (is("-kz:")) {
      int64_t kz;
      if (readInt(rest("-kz:"), kz) && kz >= 10 && kz <= 89) o.reb.outKz = static_cast<int>(kz);
    } else if (is("-wi:comment,")) {
      int64_t w = 0;
      if (!readInt(rest("-wi:comment,"), w) || w < 1 || w > 99) w = 0;
      o.gsi.wordIndexComment = static_cast<int>(w);
    } else if (is("-wi:code,")) {
      int64_t w = 0;
      if (!readInt(rest("-wi:code,"), w) || w < 1 || w > 99) w = 0;
      o.gsi.wordIndexCategory = static_cast<int>(w);
    } else if (is("-cat:")) {
      auto f = splitFields(rest("-cat:"));
      for (size_t n = 1; n <= 2 && n <= f.size(); ++n) {
        int64_t id;
        if (readInt(f[n - 1], id)) job.categoryIds.push_back(static_cast<int>(id));
      }
    } else if (is("-gui")) {
      job.action = Action::Gui;
    } else if (is("-cp:all")) {
      o.dxf.cpMethod = kCentrePointsAll;
    } else if (is("-cp:none")) {
      o.dxf.cpMethod = kCentrePointsNone;
    } else if (is("-cp:")) {
      double v;
      if (!readNumber(rest("-cp:"), v) || !(v >= 0) || !std::isfinite(v)) fail(ErrorCode::InvalidMidpointFactor);
      o.dxf.cpFactor = v;
    } else if (is("-pid:")) {
      parseTextSetting(rest("-pid:"), job.exportText.pid, false, ErrorCode::InvalidPidTextHeight);
    } else if (is("-help")) {
      std::string_view r = rest("-help");
      if (!r.empty() && r[0] == ':') {
        job.output = formatHelpText(std::string(r.substr(1)));
      } else {
        job.output = usageText();
      }
      return 1;
    } else if (is("-lang:") || is("-default") || is("-version")) {
      // Handled at start-up.
    } else if (is("-opt:")) {
      job.action = Action::EditOptions;
      job.optionFormatName = std::string(rest("-opt:"));
    } else if (is("-coord:")) {
      parseTextSetting(rest("-coord:"), job.exportText.coord, true, ErrorCode::InvalidCoordTextHeight);
    } else if (is("-swap:")) {
      std::string s(rest("-swap:"));
      std::string l = lower(s);
      if (l.size() != 3 || l.find('x') == std::string::npos || l.find('y') == std::string::npos ||
          l.find('z') == std::string::npos)
        fail(ErrorCode::InvalidSwap);
      job.swapText = s;
    } else if (is("-comment:")) {
      parseTextSetting(rest("-comment:"), job.exportText.comment, false, ErrorCode::InvalidTextParameters);
    } else if (is("-text:")) {
      auto f = splitFields(rest("-text:"));
      job.exportText.textGiven = true;
      for (size_t n = 1; n <= f.size(); ++n) {
        const std::string& field = f[n - 1];
        if (field.empty()) continue;
        if (lower(field) == "forceheight") {
          job.exportText.textForceHeight = true;
        } else if (n == 1) {
          double h;
          if (!parseWholeDouble(field, h) || !std::isfinite(h)) fail(ErrorCode::InvalidTextParameters);
          job.exportText.textHeight = h;
        } else {
          fail(ErrorCode::InvalidTextParameters);
        }
      }
    }
    // Anything else is ignored.
  }

  applyExportText(job, o);

  const int argc = static_cast<int>(args.size());
  if (job.action == Action::OpenDialogThenConvert || job.action == Action::SaveDialogThenConvert) {
    int allowed = job.deleteSource ? 4 : 3;
    if (job.pathCount < 1 || argc > allowed) fail(ErrorCode::InvalidParameterInput);
  }
  if ((job.inputFormat == kAllFormats || job.outputFormat == kAllFormats) && job.action != Action::SaveOptions &&
      job.action != Action::LoadOptions && job.inputPath == "*categories")
    fail(ErrorCode::InvalidParameterInput);
  return 0;
}

}  // namespace vltrx
