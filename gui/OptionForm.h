// Builds an option dialog from an option record's declaration: every
// declared field becomes a labelled control of its kind (check box, number
// edit, integer edit, text edit), with its label and tooltip texts; on OK the
// form runs every check and then stores every field into its record and the
// settings store with the control routines (OptionControls.h).
//
// Usage:
//
//   QDialog dialog(owner);
//   OptionForm form(dialog, options);           // options: a DxfOptions, ...
//   form.beginGroup(150);                       // a group box titled text 150
//   form.add(&options.approx);                  // control of the declared kind
//   form.addCombo(&options.cpMethod, {text(160), text(161), text(162)});
//   form.addInteger(&options.pidLineNumber, 1, 999);
//   form.endGroup();
//   form.nextColumn();                          // groups in a second column
//   form.addSide(kOutputSide);                  // every declared field of a side
//   form.addCheck([&] { return myExtraCheck(); });
//   form.addOkButton(true);                     // OK (text 12) and Cancel (13)
//   bool ok = dialog.exec() == QDialog::Accepted;  // OK stored every field
//
// Fields are named by the address of the member in the record, nested
// members included (&options.pid.height); the label and tooltip ids come
// from the declaration unless given (form.add(&options.approx, {150, 151})).
// A check box carries its label as its own text. A declared field without a label
// text (the swap order) is placed beside the control before it. The common
// swap-order fields get an editable combo box "XYZ"/"YXZ" checked with the
// letters "XYZ" and enabled only while their swap check box is on; the
// alphanumeric-ids box is disabled and not stored when the record does not
// offer it.
#pragma once

#include "framework/FormatOptions.h"
#include "gui/OptionControls.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDialog;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vltrx {
class SettingsKey;
}

namespace vltrx::gui {

/// Label and tooltip text ids of a field's control where the declaration
/// gives none or the dialog wants others: -1 takes the declared id, 0 none.
struct FieldTexts {
  int label = -1;
  int tooltip = -1;
};

class OptionForm {
 public:
  /// Stores go to key (the process-wide one by default). The form lays out
  /// the dialog; it must outlive the dialog's exec().
  OptionForm(QDialog& dialog, FormatOptions& record, SettingsKey& key);
  OptionForm(QDialog& dialog, FormatOptions& record);
  ~OptionForm();
  OptionForm(const OptionForm&) = delete;
  OptionForm& operator=(const OptionForm&) = delete;

  QDialog& dialog() { return m_dialog; }
  FormatOptions& record() { return m_record; }
  OptionTooltips& tooltips() { return *m_tips; }

  // ---- Layout: rows go into the current group (or the dialog itself).
  /// Starts a group box titled with a text id (or a text); later rows go
  /// into it until endGroup().
  QGroupBox* beginGroup(int titleTextId);
  QGroupBox* beginGroup(const QString& title);
  void endGroup();
  /// Later groups and rows go into a new column to the right.
  void nextColumn();
  /// A row of the dialog's own: a widget alone (spanning both columns), or
  /// a label text and a control.
  void addRow(QWidget* widget);
  void addRow(const QString& label, QWidget* control);
  /// A widget beside the last row's first widget (e.g. a button).
  void addBeside(QWidget* widget);

  // ---- Fields. Each returns the control, nullptr when member is not a
  // declared field of the record.
  /// The control of the declared kind: a check box for bool, a number edit
  /// (Check number, "%.6lf"; a signed height shows "%.2lf%" when relative)
  /// for floating point, an integer edit for int and 32-bit numbers, a text
  /// edit for strings and characters.
  QWidget* add(const void* member, FieldTexts texts = {});
  /// Every declared field of a side (kInputSide, kOutputSide) that has a
  /// label or a tooltip and is not placed yet, in record order; the common
  /// fields included.
  void addSide(bool side);
  /// The common fields of a side: scale, swap with its order and, for the
  /// input side, alphanumeric ids.
  void addCommon(bool side);
  /// A combo box with fixed entries. An int field stores the entry's value
  /// (values[index], or the index when values is empty); a string field the
  /// entry's text (editable: any text typed in).
  QComboBox* addCombo(const void* member, const QStringList& entries, const std::vector<int>& values = {},
                      bool editable = false, FieldTexts texts = {});
  /// An integer edit checked with Check integer range.
  QLineEdit* addInteger(const void* member, int minimum, int maximum, FieldTexts texts = {});
  /// An editable combo box (entries offered) checked with Check letters.
  QComboBox* addLetters(const void* member, std::string_view letters, const QStringList& entries = {},
                        FieldTexts texts = {});
  /// A control of the dialog's own for a field: check runs on focus loss
  /// (when given) and on OK; store writes the field and its value name.
  using Check = std::function<bool()>;
  using Store = std::function<bool(SettingsKey& key, const std::string& name)>;
  QWidget* addCustom(const void* member, QWidget* control, Check check, Store store, FieldTexts texts = {});

  /// The control and value name of a placed field (nullptr / empty when none).
  QWidget* control(const void* member) const;
  std::string valueName(const void* member) const;
  /// control is enabled only while box is checked.
  static void enableWhile(QCheckBox* box, QWidget* control);
  /// A field that is shown but not stored (or stored again).
  void setStored(const void* member, bool stored);

  /// An extra check run on OK after the field checks, in the order added.
  void addCheck(Check check);
  /// The OK button (text 12, default) and, when cancelToo, Cancel (text 13).
  QPushButton* addOkButton(bool cancelToo = false);

  /// OK: every check (the first failure keeps the dialog open and returns
  /// false), then every field stored, the tooltips removed and the dialog
  /// accepted.
  bool accept();
  /// The checks alone; the stores alone (true when every write succeeded).
  bool checkAll();
  bool storeAll();

 private:
  struct Entry {
    const OptionField* field = nullptr;
    std::string name;  ///< value name, empty: not stored
    void* at = nullptr;
    QWidget* control = nullptr;
    Check check;
    Store store;
    bool stored = true;
  };
  const DeclaredOption* declared(const void* member) const;
  Entry* entry(const void* member);
  const Entry* entry(const void* member) const;
  Entry& place(const DeclaredOption& d, QWidget* control, bool ownLabel, FieldTexts texts);
  QGridLayout* rows();

  QDialog& m_dialog;
  FormatOptions& m_record;
  SettingsKey& m_key;
  OptionTooltips* m_tips;
  std::vector<DeclaredOption> m_declared;
  std::vector<Entry> m_entries;
  std::vector<Check> m_checks;
  QBoxLayout* m_columns = nullptr;
  QBoxLayout* m_column = nullptr;
  QGroupBox* m_group = nullptr;
  QGridLayout* m_rows = nullptr;
  QBoxLayout* m_buttons = nullptr;
  QWidget* m_lastFirst = nullptr;  ///< first widget of the last row
  int m_lastRow = -1;
};

/// "%.6lf" of a number; a negative one (a percentage) "%.2lf%".
QString numberText(double value, bool percent = false);

}  // namespace vltrx::gui
