// The option dialogs of the table formats: CSV and TXT, input and output.
// Delimiters are offered as WS, TAB and ";" and may be any other single
// character; TXT refuses "_", which its writer puts in place of the
// delimiter inside category names.
#include "core/DelimiterCodes.h"
#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "framework/TableOptions.h"
#include "gui/FormatDialog.h"
#include "gui/FormatOptionDialogs.h"

#include <QComboBox>
#include <QLineEdit>

namespace vltrx::gui {
namespace {

QString msg(int id) { return QString::fromStdString(text(id)); }

QString delimiterText(char code) {
  if (code == kDelimiterWs) return "WS";
  if (code == kDelimiterTab) return "TAB";
  return QString(QChar::fromLatin1(code));
}

/// The fields of one side of a table record.
struct TableSide {
  bool side;
  char* delimiter;
  char* decimal;
  std::string* format = nullptr;  ///< TXT only
  bool* reduce = nullptr;         ///< input only
  bool refuseUnderscore = false;  ///< TXT
};

QComboBox* editableCombo(const QStringList& entries, const QString& current) {
  auto* combo = new QComboBox;
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems(entries);
  combo->setEditText(current);
  return combo;
}

bool runTableDialog(QWidget* owner, FormatOptions& options, const TableSide& f) {
  FormatDialog d(owner, options, optionsCaption(options, f.side));
  OptionForm& form = d.form();
  form.beginGroup(f.side == kInputSide ? 269 : 270);

  QComboBox* delimiter = editableCombo({"WS", "TAB", ";"}, delimiterText(*f.delimiter));
  bool refuseUnderscore = f.refuseUnderscore;
  form.addCustom(
      f.delimiter, delimiter,
      [delimiter, refuseUnderscore] {
        char code = 0;
        if (parseDelimiterText(delimiter->currentText().toStdString(), code) && !(refuseUnderscore && code == '_'))
          return true;
        warnBox(delimiter, formatText(265, delimiter->currentText().left(1)));
        delimiter->setFocus(Qt::OtherFocusReason);
        return false;
      },
      [delimiter, field = f.delimiter](SettingsKey& key, const std::string& name) {
        char code = 0;
        if (!parseDelimiterText(delimiter->currentText().toStdString(), code)) return false;
        *field = code;
        return key.writeChar(name, code);
      });

  QComboBox* decimal = editableCombo({".", ","}, QString(QChar::fromLatin1(*f.decimal)));
  form.addCustom(
      f.decimal, decimal,
      [decimal] {
        char c = 0;
        if (parseDecimalText(decimal->currentText().toStdString(), c)) return true;
        warnBox(decimal, msg(267));
        decimal->setFocus(Qt::OtherFocusReason);
        return false;
      },
      [decimal, field = f.decimal](SettingsKey& key, const std::string& name) {
        char c = 0;
        if (!parseDecimalText(decimal->currentText().toStdString(), c)) return false;
        *field = c;
        return key.writeChar(name, c);
      });
  // A line cannot be split at the character that also separates decimals.
  form.addCheck([delimiter, decimal] {
    char code = 0, c = 0;
    parseDelimiterText(delimiter->currentText().toStdString(), code);
    parseDecimalText(decimal->currentText().toStdString(), c);
    if (delimiterCharacter(code) != c) return true;
    warnBox(delimiter, msg(268));
    delimiter->setFocus(Qt::OtherFocusReason);
    return false;
  });

  if (f.format) {
    auto* layout = qobject_cast<QLineEdit*>(form.add(f.format));
    const bool input = f.side == kInputSide;
    auto check = [layout, input] {
      if (isValidTxtLayout(layout->text().toStdString(), input)) return true;
      warnBox(layout, msg(131));
      layout->setFocus(Qt::OtherFocusReason);
      return false;
    };
    form.addCheck(check);
    form.tooltips().checkOnFocusLoss(layout, check);
  }
  if (f.reduce) form.add(f.reduce);

  form.beginGroup(QString());
  form.addCommon(f.side);
  return d.exec() == QDialog::Accepted;
}

}  // namespace

bool runCsvInputDialog(QWidget* owner, CsvOptions& options) {
  return runTableDialog(owner, options, {kInputSide, &options.inDelimiter, &options.inDecimal, nullptr,
                                         &options.inPidReduce});
}

bool runCsvOutputDialog(QWidget* owner, CsvOptions& options) {
  return runTableDialog(owner, options, {kOutputSide, &options.outDelimiter, &options.outDecimal});
}

bool runTxtInputDialog(QWidget* owner, TxtOptions& options) {
  return runTableDialog(owner, options, {kInputSide, &options.inDelimiter, &options.inDecimal, &options.inFormat,
                                         &options.inPidReduce, true});
}

bool runTxtOutputDialog(QWidget* owner, TxtOptions& options) {
  return runTableDialog(owner, options,
                        {kOutputSide, &options.outDelimiter, &options.outDecimal, &options.outFormat, nullptr, true});
}

}  // namespace vltrx::gui
