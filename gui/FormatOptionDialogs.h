// The option dialogs of the formats with options of their own. Each edits
// its record and, on OK, stores every field in the settings store; it
// returns true on OK and false on Cancel (nothing stored).
#pragma once

class QWidget;

namespace vltrx {
struct CsvOptions;
struct DxfOptions;
struct GsiOptions;
struct RebOptions;
struct TxtOptions;
}  // namespace vltrx

namespace vltrx::gui {

bool runDxfInputDialog(QWidget* owner, DxfOptions& options);
bool runDxfOutputDialog(QWidget* owner, DxfOptions& options);
bool runCsvInputDialog(QWidget* owner, CsvOptions& options);
bool runCsvOutputDialog(QWidget* owner, CsvOptions& options);
bool runTxtInputDialog(QWidget* owner, TxtOptions& options);
bool runTxtOutputDialog(QWidget* owner, TxtOptions& options);
bool runGsiInputDialog(QWidget* owner, GsiOptions& options);
bool runRebOutputDialog(QWidget* owner, RebOptions& options);

}  // namespace vltrx::gui
