// The generic input and output option dialogs: the common fields (scale,
// coordinate swap with its order, alphanumeric point ids) of the formats
// without a dialog of their own.
#pragma once

#include "framework/FormatTable.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace vltrx {
class SettingsKey;
struct FormatOptions;
}  // namespace vltrx

namespace vltrx::gui {

class OptionForm;

/// The dialog of one format and direction. It sets the record's title and
/// key prefix; OK checks the scale and the swap order and stores every
/// control ("%s_In_ScaleFactor", "%s_In_Swap", "%s_In_SwapFormat",
/// "%s_In_PID_AlphaNum" unless not offered; "%s_Out_..." without the
/// alphanumeric ids); Cancel stores nothing.
class GenericOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  GenericOptionsDialog(FormatOptions& record, FormatType type, FormatDirection direction, SettingsKey& key,
                       QWidget* owner = nullptr);
  ~GenericOptionsDialog() override;

  QLineEdit* scaleEdit() const;
  QCheckBox* swapBox() const;
  QComboBox* swapOrderCombo() const;
  /// nullptr in the output dialog.
  QCheckBox* alphaNumBox() const;
  QPushButton* okButton() const { return m_ok; }
  OptionForm& form() { return *m_form; }

 private:
  FormatOptions& m_record;
  bool m_input;
  std::unique_ptr<OptionForm> m_form;
  QPushButton* m_ok = nullptr;
};

/// Caption of a generic dialog: "%s Input Options" (text 282) or "%s Output
/// Options" (283) with the format's key prefix, none for XSLT plug-ins.
QString genericDialogCaption(FormatType type, FormatDirection direction);

enum class DialogResult { Accepted, Cancelled, Refused, NotOffered };

/// Generic dialog open: runs the dialog modally on record. Only one generic
/// dialog is open at a time; a second request while one runs is refused.
DialogResult runGenericOptionsDialog(QWidget* owner, FormatOptions& record, FormatType type,
                                     FormatDirection direction);
/// True while a generic dialog runs.
bool genericDialogOpen();

}  // namespace vltrx::gui
