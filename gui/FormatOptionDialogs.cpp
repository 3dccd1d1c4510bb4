// Placeholder until the format dialogs land: each opens nothing.
#include "gui/FormatOptionDialogs.h"

namespace vltrx::gui {

bool runDxfInputDialog(QWidget*, DxfOptions&) { return false; }
bool runDxfOutputDialog(QWidget*, DxfOptions&) { return false; }
bool runCsvInputDialog(QWidget*, CsvOptions&) { return false; }
bool runCsvOutputDialog(QWidget*, CsvOptions&) { return false; }
bool runTxtInputDialog(QWidget*, TxtOptions&) { return false; }
bool runTxtOutputDialog(QWidget*, TxtOptions&) { return false; }
bool runGsiInputDialog(QWidget*, GsiOptions&) { return false; }
bool runRebOutputDialog(QWidget*, RebOptions&) { return false; }

}  // namespace vltrx::gui
