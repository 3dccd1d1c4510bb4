// The dispatch of the options buttons and of vltrx-gui -opt:.
#include "gui/OptionDialogs.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/SettingsKey.h"
#include "gui/FormatOptionDialogs.h"
#include "gui/MainDialog.h"

#include <cstdio>
#include <string_view>

namespace vltrx::gui {
namespace {

using Dialog = OptionDialogRoute::Dialog;

// By format number: the dialog of each direction and whether the record is
// read from the settings store before it opens. The DXF input dialog keeps
// the record as it is (it loads and saves option files of its own); the
// REB DA11 export ("DAT") has nothing but the common fields, which no other
// place changes while the program runs.
constexpr OptionDialogRoute kRoutes[] = {
    {kFormatXml, Dialog::Generic, true, Dialog::Generic, true},
    {kFormatEsri, Dialog::Generic, false, Dialog::None, false},
    {kFormatDxf, Dialog::Own, false, Dialog::Own, true},
    {kFormatCsv, Dialog::Own, true, Dialog::Own, true},
    {kFormatTxt, Dialog::Own, true, Dialog::Own, true},
    {kFormatGsi, Dialog::Own, true, Dialog::Generic, true},
    {kFormatReb, Dialog::Generic, true, Dialog::Own, true},
    {kFormatSvg, Dialog::None, false, Dialog::None, false},
    {kFormatDat, Dialog::None, false, Dialog::Generic, false},
    {kFormatXslt, Dialog::Generic, true, Dialog::Generic, true},
};

/// The dialog of a format of its own; false on Cancel (and for a format
/// without one).
bool runOwnDialog(QWidget* owner, FormatType type, bool input, AllFormatOptions& o) {
  switch (type) {
    case kFormatDxf: return input ? runDxfInputDialog(owner, o.dxf) : runDxfOutputDialog(owner, o.dxf);
    case kFormatCsv: return input ? runCsvInputDialog(owner, o.csv) : runCsvOutputDialog(owner, o.csv);
    case kFormatTxt: return input ? runTxtInputDialog(owner, o.txt) : runTxtOutputDialog(owner, o.txt);
    case kFormatGsi: return input && runGsiInputDialog(owner, o.gsi);
    case kFormatReb: return !input && runRebOutputDialog(owner, o.reb);
    default: return false;
  }
}

}  // namespace

const OptionDialogRoute* optionDialogRoute(FormatType type) {
  for (const OptionDialogRoute& r : kRoutes)
    if (r.type == type) return &r;
  return nullptr;
}

DialogResult openOptionDialog(QWidget* owner, FormatType type, FormatDirection direction, AllFormatOptions& options) {
  const OptionDialogRoute* route = optionDialogRoute(type);
  FormatOptions* record = options.find(type, direction);
  const bool input = direction == FormatDirection::Import;
  Dialog dialog = route ? (input ? route->input : route->output) : Dialog::None;
  if (dialog == Dialog::None || !record) return DialogResult::NotOffered;
  if (dialog == Dialog::Generic && genericDialogOpen()) return DialogResult::Refused;
  // The record as the conversion would read it; a Cancel after the reload
  // leaves the stored values unchanged all the same.
  if (input ? route->reloadInput : route->reloadOutput) record->load(settingsKey(), true);
  if (dialog == Dialog::Generic) return runGenericOptionsDialog(owner, *record, type, direction);
  return runOwnDialog(owner, type, input, options) ? DialogResult::Accepted : DialogResult::Cancelled;
}

DialogResult openOptionDialog(QWidget* owner, FormatType type, FormatDirection direction) {
  return openOptionDialog(owner, type, direction, formatOptions());
}

bool wantsOptionDialog(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i)
    if (std::string_view(args[i]).starts_with("-opt:")) return true;
  return false;
}

int runOptionDialogCommand(const std::vector<std::string>& args) {
  std::string name;
  for (size_t i = 1; i < args.size(); ++i)
    if (std::string_view(args[i]).starts_with("-opt:")) name = args[i].substr(5);
  startGui(args);
  formatOptions().loadAll(settingsKey(), true);
  FormatDirection direction = FormatDirection::Import;
  const FileFormat* f = name.empty() ? nullptr : findFormat(importFormats(), name);
  if (!f && !name.empty()) {
    f = findFormat(exportFormats(), name);
    direction = FormatDirection::Export;
  }
  if (!f) {
    CError e = makeError(ErrorCode::InvalidOptionId);
    std::string line = text(17) + " " + std::to_string(e.code()) + ": " + e.message();
    std::fprintf(stderr, "%s\n", line.c_str());
    return e.code();
  }
  openOptionDialog(nullptr, f->type, direction);
  return 0;
}

}  // namespace vltrx::gui
