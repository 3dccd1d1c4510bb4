// Command-line parsing. Options are matched as case-sensitive prefixes in a
// fixed order, the first match wins; unknown options are ignored.
#include "app/CommandLine.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"
#include "framework/PluginFormats.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>

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

void setDelimiter(std::string_view value, std::initializer_list<char*> targets) {
  char code;
  if (!parseDelimiterText(value, code)) fail(ErrorCode::InvalidFieldDelimiter);
  for (char* p : targets) *p = code;
}

void setDecimal(std::string_view value, std::initializer_list<char*> targets) {
  char decimal;
  if (!parseDecimalText(value, decimal)) fail(ErrorCode::InvalidDecimalDelimiter);
  for (char* p : targets) *p = decimal;
}

// --- The option table ------------------------------------------------------------
//
// Each handler gets the text after its prefix and returns 0 to go on, or a
// positive exit code that ends the program (help).

using Job = ConversionJob;
using Options = AllFormatOptions;

int setInputFormat(std::string_view rest, Job& job, Options&) {
  std::string name(rest);
  job.inputFormatName = name;
  if (name == "*") {
    job.inputFormat = kAllFormats;
  } else {
    job.inputFormat = formatTypeFromName(name, FormatDirection::Import);
    if (job.inputFormat == 0) fail(ErrorCode::UnknownDataFormat, name);
  }
  return 0;
}

int setOutputFormat(std::string_view rest, Job& job, Options& o) {
  std::string name(rest);
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
  return 0;
}

/// Only the first -incp: / -outcp: counts: the code page is taken while it
/// is still automatic.
void setCodePage(std::string_view rest, uint32_t& codePage, bool& automatic) {
  int64_t cp;
  if (automatic && readInt(rest, cp)) {
    codePage = static_cast<uint32_t>(cp);
    automatic = false;
  }
}

int setInputCodePage(std::string_view rest, Job& job, Options&) {
  setCodePage(rest, job.inputCodePage, job.inputCodePageAuto);
  return 0;
}

int setOutputCodePage(std::string_view rest, Job& job, Options&) {
  setCodePage(rest, job.outputCodePage, job.outputCodePageAuto);
  return 0;
}

int setAlphaNumIds(std::string_view, Job&, Options& o) {
  for (FormatOptions* r : o.records())
    if (!r->alphaNumIdsNotOffered) r->inAlphaNumIds = true;
  return 0;
}

int setNoDialog(std::string_view, Job& job, Options&) {
  job.noDialog = true;
  return 0;
}

int setSaveOptions(std::string_view rest, Job& job, Options&) {
  job.action = Action::SaveOptions;
  job.inputPath = std::string(rest);
  return 0;
}

int setLoadOptions(std::string_view rest, Job& job, Options&) {
  job.action = Action::LoadOptions;
  job.inputPath = std::string(rest);
  return 0;
}

int setDeleteSource(std::string_view, Job& job, Options&) {
  job.deleteSource = true;
  return 0;
}

int setOpenDialog(std::string_view, Job& job, Options&) {
  job.action = Action::OpenDialogThenConvert;
  return 0;
}

int setSaveDialog(std::string_view, Job& job, Options&) {
  job.action = Action::SaveDialogThenConvert;
  return 0;
}

int setScale(std::string_view rest, Job& job, Options&) {
  double v;
  if (!parseWholeDouble(rest, v) || !std::isfinite(v) || std::fabs(v) < 0.000001) fail(ErrorCode::InvalidScaleFactor);
  job.scale = v;
  return 0;
}

/// "-all" also matches "-all:create", which leaves the categories of the
/// layers to be created.
int setAllLayers(std::string_view rest, Job&, Options& o) {
  o.dxf.importAllLayers = true;
  if (!startsWith(rest, ":create")) o.dxf.importAllLayersWithoutAssignment = true;
  return 0;
}

int setXmlCopy(std::string_view, Job& job, Options&) {
  job.xmlCopy = true;
  return 0;
}

int setApprox(std::string_view rest, Job&, Options& o) {
  double v;
  if (!readNumber(rest, v) || !(v >= 0.001) || !std::isfinite(v)) fail(ErrorCode::InvalidApproximation);
  o.dxf.approx = v;
  return 0;
}

int setEpsilon(std::string_view rest, Job&, Options& o) {
  double v;
  if (!readNumber(rest, v) || !(v >= 0) || !std::isfinite(v)) fail(ErrorCode::InvalidEquality);
  o.dxf.epsilon = v;
  return 0;
}

/// source, epsilon (negative: ignore z), layer, attribute tag, text number.
int setPidImport(std::string_view rest, Job&, Options& o) {
  auto f = splitFields(rest);
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
  return 0;
}

int setBlocks(std::string_view rest, Job&, Options& o) {
  o.dxf.importBlocks = true;
  o.dxf.importBlocksAnchorPoints = rest == "bp";
  return 0;
}

int setProxy(std::string_view, Job&, Options& o) {
  o.dxf.importProxyAnchorPoints = true;
  return 0;
}

int setPointStyle(std::string_view rest, Job&, Options& o) {
  auto f = splitFields(rest);
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
  return 0;
}

int setPolyPoints(std::string_view, Job&, Options& o) {
  o.dxf.addPolyPoints = true;
  return 0;
}

int clearVlLayerPrefix(std::string_view, Job&, Options& o) {
  o.dxf.addVlLayerPrefix = false;
  return 0;
}

int setKeepVlPrefix(std::string_view, Job&, Options& o) {
  o.dxf.keepVlPrefix = true;
  return 0;
}

int setPidReduce(std::string_view, Job&, Options& o) {
  o.csv.inPidReduce = true;
  o.txt.inPidReduce = true;
  return 0;
}

int setDelimiters(std::string_view rest, Job&, Options& o) {
  setDelimiter(rest, {&o.csv.inDelimiter, &o.csv.outDelimiter, &o.txt.inDelimiter, &o.txt.outDelimiter});
  return 0;
}

/// "-delin:" and "-delout:" set one direction; any other "-del..." is ignored.
int setOneDelimiter(std::string_view rest, Job&, Options& o) {
  if (startsWith(rest, "in:"))
    setDelimiter(rest.substr(3), {&o.csv.inDelimiter, &o.txt.inDelimiter});
  else if (startsWith(rest, "out:"))
    setDelimiter(rest.substr(4), {&o.csv.outDelimiter, &o.txt.outDelimiter});
  return 0;
}

int setDecimals(std::string_view rest, Job&, Options& o) {
  setDecimal(rest, {&o.csv.inDecimal, &o.csv.outDecimal, &o.txt.inDecimal, &o.txt.outDecimal});
  return 0;
}

int setOneDecimal(std::string_view rest, Job&, Options& o) {
  if (startsWith(rest, "in:"))
    setDecimal(rest.substr(3), {&o.csv.inDecimal, &o.txt.inDecimal});
  else if (startsWith(rest, "out:"))
    setDecimal(rest.substr(4), {&o.csv.outDecimal, &o.txt.outDecimal});
  return 0;
}

/// Both directions: the layout must suit input and output.
int setLayouts(std::string_view rest, Job&, Options& o) {
  if (!isValidTxtLayout(rest, true) || !isValidTxtLayout(rest, false)) fail(ErrorCode::InvalidFormatString);
  o.txt.inFormat = rest;
  o.txt.outFormat = rest;
  return 0;
}

/// "-formatin:" and "-formatout:"; any other "-format..." is ignored.
int setOneLayout(std::string_view rest, Job&, Options& o) {
  const bool input = startsWith(rest, "in:");
  if (!input && !startsWith(rest, "out:")) return 0;
  const std::string_view layout = rest.substr(input ? 3 : 4);
  if (!isValidTxtLayout(layout, input)) fail(ErrorCode::InvalidFormatString);
  (input ? o.txt.inFormat : o.txt.outFormat) = layout;
  return 0;
}

int setKz(std::string_view rest, Job&, Options& o) {
  int64_t kz;
  if (readInt(rest, kz) && kz >= 10 && kz <= 89) o.reb.outKz = static_cast<int>(kz);
  return 0;
}

/// GSI word indexes: 1 to 99; anything else gives 0 (not read).
int wordIndex(std::string_view rest) {
  int64_t w = 0;
  if (!readInt(rest, w) || w < 1 || w > 99) w = 0;
  return static_cast<int>(w);
}

int setCommentWordIndex(std::string_view rest, Job&, Options& o) {
  o.gsi.wordIndexComment = wordIndex(rest);
  return 0;
}

int setCategoryWordIndex(std::string_view rest, Job&, Options& o) {
  o.gsi.wordIndexCategory = wordIndex(rest);
  return 0;
}

/// The ids of the first two fields.
int addCategoryIds(std::string_view rest, Job& job, Options&) {
  auto f = splitFields(rest);
  for (size_t n = 1; n <= 2 && n <= f.size(); ++n) {
    int64_t id;
    if (readInt(f[n - 1], id)) job.categoryIds.push_back(static_cast<int>(id));
  }
  return 0;
}

int setGui(std::string_view, Job& job, Options&) {
  job.action = Action::Gui;
  return 0;
}

int setAllCentrePoints(std::string_view, Job&, Options& o) {
  o.dxf.cpMethod = kCentrePointsAll;
  return 0;
}

int setNoCentrePoints(std::string_view, Job&, Options& o) {
  o.dxf.cpMethod = kCentrePointsNone;
  return 0;
}

/// The factor alone; the method stays as configured.
int setCentrePointFactor(std::string_view rest, Job&, Options& o) {
  double v;
  if (!readNumber(rest, v) || !(v >= 0) || !std::isfinite(v)) fail(ErrorCode::InvalidMidpointFactor);
  o.dxf.cpFactor = v;
  return 0;
}

int setPidText(std::string_view rest, Job& job, Options&) {
  parseTextSetting(rest, job.exportText.pid, false, ErrorCode::InvalidPidTextHeight);
  return 0;
}

/// "-help" alone: the usage text; "-help:<format>": that format's help.
int showHelp(std::string_view rest, Job& job, Options&) {
  if (!rest.empty() && rest[0] == ':')
    job.output = formatHelpText(std::string(rest.substr(1)));
  else
    job.output = usageText();
  return 1;
}

/// -lang:, -default and -version act at start-up.
int handledAtStartUp(std::string_view, Job&, Options&) { return 0; }

int setEditOptions(std::string_view rest, Job& job, Options&) {
  job.action = Action::EditOptions;
  job.optionFormatName = std::string(rest);
  return 0;
}

int setCoordText(std::string_view rest, Job& job, Options&) {
  parseTextSetting(rest, job.exportText.coord, true, ErrorCode::InvalidCoordTextHeight);
  return 0;
}

/// Exactly three characters holding x, y and z in either case.
int setSwap(std::string_view rest, Job& job, Options&) {
  std::string l = lower(rest);
  if (l.size() != 3 || l.find('x') == std::string::npos || l.find('y') == std::string::npos ||
      l.find('z') == std::string::npos)
    fail(ErrorCode::InvalidSwap);
  job.swapText = rest;
  return 0;
}

int setCommentText(std::string_view rest, Job& job, Options&) {
  parseTextSetting(rest, job.exportText.comment, false, ErrorCode::InvalidTextParameters);
  return 0;
}

/// A height in the first field and the word "forceheight" in any field.
int setTextObjects(std::string_view rest, Job& job, Options&) {
  auto f = splitFields(rest);
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
  return 0;
}

struct OptionRule {
  std::string_view prefix;
  int (*handle)(std::string_view rest, Job& job, Options& options);
};

// The order is part of the grammar: the first row whose prefix begins the
// argument wins, so a shorter prefix takes over the longer forms listed after
// it ("-all" handles "-all:create", "-del" handles "-delin:" and "-delout:").
// Prefixes compare case-sensitively.
constexpr OptionRule kOptionRules[] = {
    {"-in:", setInputFormat},
    {"-out:", setOutputFormat},
    {"-incp:", setInputCodePage},
    {"-outcp:", setOutputCodePage},
    {"-alphanum:", setAlphaNumIds},
    {"-nodialog", setNoDialog},
    {"-saveopt:", setSaveOptions},
    {"-loadopt:", setLoadOptions},
    {"-delsource", setDeleteSource},
    {"-opendlg", setOpenDialog},
    {"-savedlg", setSaveDialog},
    {"-scale:", setScale},
    {"-all", setAllLayers},
    {"-xmlcopy", setXmlCopy},
    {"-approx:", setApprox},
    {"-epsilon:", setEpsilon},
    {"-pidin:", setPidImport},
    {"-block:", setBlocks},
    {"-proxy", setProxy},
    {"-pstyle:", setPointStyle},
    {"-pp", setPolyPoints},
    {"-addvl", clearVlLayerPrefix},
    {"-keepvl", setKeepVlPrefix},
    {"-pidred", setPidReduce},
    {"-del:", setDelimiters},
    {"-del", setOneDelimiter},
    {"-dec:", setDecimals},
    {"-dec", setOneDecimal},
    {"-format:", setLayouts},
    {"-format", setOneLayout},
    {"-kz:", setKz},
    {"-wi:comment,", setCommentWordIndex},
    {"-wi:code,", setCategoryWordIndex},
    {"-cat:", addCategoryIds},
    {"-gui", setGui},
    {"-cp:all", setAllCentrePoints},
    {"-cp:none", setNoCentrePoints},
    {"-cp:", setCentrePointFactor},
    {"-pid:", setPidText},
    {"-help", showHelp},
    {"-lang:", handledAtStartUp},
    {"-default", handledAtStartUp},
    {"-version", handledAtStartUp},
    {"-opt:", setEditOptions},
    {"-coord:", setCoordText},
    {"-swap:", setSwap},
    {"-comment:", setCommentText},
    {"-text:", setTextObjects},
};

}  // namespace

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
    } else if (a == "-checkupdate") {
      job.updateCheck = true;
    } else if (startsWith(a, "-gui")) {
      job.guiRequested = true;
    } else if (startsWith(a, "-nodialog")) {
      job.noDialog = true;
    }
  }
}

std::string usageText() {
  std::string t = replaceFirstS(text(18), kVersionText);
  t = replaceFirstS(t, kYearText);
  // The plug-in formats found at start-up, one line each with the switch
  // that selects it and its display text (marked with the superscript one
  // that the usage text explains).
  bool first = true;
  for (FormatDirection d : {FormatDirection::Import, FormatDirection::Export}) {
    for (const FileFormat* f : pluginEntries(formatList(d))) {
      if (first && !t.empty() && t.back() != '\n') t += '\n';
      if (first) t += '\n';
      first = false;
      std::string option = (d == FormatDirection::Import ? "  -in:" : "  -out:") + f->id;
      if (option.size() < 24) option.resize(24, ' ');
      t += option + " " + f->description + "  (" + f->filter + ")\n";
    }
  }
  return t;
}

std::string formatHelpText(const std::string& name) {
  const FileFormat* f = findFormat(importFormats(), name);
  if (!f) f = findFormat(exportFormats(), name);
  if (!f || name.empty()) fail(ErrorCode::UnknownFileFormat, name);
  const FormatCard* card = formatCard(f->type);
  if (!card || card->helpText < 0) fail(ErrorCode::UnknownFileFormat, name);
  std::string out = text(card->helpText);
  if (card->moreHelpText >= 0) out += text(card->moreHelpText);
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
    // The first row whose prefix begins the argument handles it; an argument
    // that matches no row is ignored.
    for (const OptionRule& rule : kOptionRules) {
      if (!startsWith(a, rule.prefix)) continue;
      const int exitCode = rule.handle(std::string_view(a).substr(rule.prefix.size()), job, o);
      if (exitCode > 0) return exitCode;
      break;
    }
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
