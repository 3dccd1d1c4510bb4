// The option dialog of a format and direction: the dispatch from the format
// number to its own dialog or to the generic one, with the reload of the
// record from the settings store where the format needs it.
#pragma once

#include "framework/FormatTable.h"
#include "gui/GenericOptionsDialog.h"

#include <string>
#include <vector>

class QWidget;

namespace vltrx {
struct AllFormatOptions;
}

namespace vltrx::gui {

/// One row of the dispatch: which dialog each direction opens and whether
/// the record is read again from the settings store first.
struct OptionDialogRoute {
  enum class Dialog { None, Generic, Own };
  FormatType type;
  Dialog input;
  bool reloadInput;
  Dialog output;
  bool reloadOutput;
};

/// The route of a format number; nullptr for an unknown one.
const OptionDialogRoute* optionDialogRoute(FormatType type);

/// Opens the option dialog of type in direction, modal on owner, editing the
/// record in options: NotOffered when the format has no dialog in that
/// direction (SVG, DAT import, ESRI export, unknown numbers), Refused when a
/// generic dialog is open already, else Accepted (every field stored) or
/// Cancelled (nothing stored).
DialogResult openOptionDialog(QWidget* owner, FormatType type, FormatDirection direction,
                              AllFormatOptions& options);
DialogResult openOptionDialog(QWidget* owner, FormatType type, FormatDirection direction);

/// True when the arguments ask for one option dialog (-opt:<format>).
bool wantsOptionDialog(const std::vector<std::string>& args);

/// vltrx-gui -opt:<format>[_in|_out]: start-up as for the main dialog, the
/// records read from the settings store, then the dialog of that entry alone
/// (import list first, as the terminal listing finds it). 0 after OK or
/// Cancel (and for a format without a dialog); -2115 (invalid option id)
/// when no entry matches.
int runOptionDialogCommand(const std::vector<std::string>& args);

}  // namespace vltrx::gui
