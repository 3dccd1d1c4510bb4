// What the format option dialogs share: the dialog with its OptionForm, its
// caption, the controls named after their registry values, the option-file
// buttons' texts and the checks of their own.
#pragma once

#include "framework/FormatOptions.h"
#include "gui/OptionForm.h"

#include <QDialog>
#include <QString>

class QLineEdit;
class QWidget;

namespace vltrx::gui {

/// One format option dialog: built by the OptionForm from the record's
/// declared fields, run modally by run().
class FormatDialog {
 public:
  FormatDialog(QWidget* owner, FormatOptions& record, const QString& caption);

  QDialog& dialog() { return m_dialog; }
  OptionForm& form() { return m_form; }

  /// OK and Cancel, every placed control named after its value name (tests
  /// and accessibility find them so), then the dialog modally. The result
  /// of exec(): QDialog::Accepted after OK (every field stored).
  int exec();

 private:
  QDialog m_dialog;
  OptionForm m_form;
  FormatOptions& m_record;
};

/// Text id with its "%s" (or "%c") replaced by value.
QString formatText(int textId, const QString& value);
/// "%s Input Options" or "%s Output Options" with the record's key prefix.
QString optionsCaption(const FormatOptions& record, bool side);
/// A warning box with the program title, as the control checks show it.
void warnBox(QWidget* control, const QString& message);

/// A number edit for a floating-point field that, besides Check number,
/// refuses numbers below minimum with the text refusedId (the command
/// line's limits for the same values).
QLineEdit* addNumberAtLeast(OptionForm& form, double* field, double minimum, int refusedId);

}  // namespace vltrx::gui
