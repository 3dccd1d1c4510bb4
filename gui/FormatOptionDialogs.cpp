// The frame every format option dialog shares (FormatDialog.h). The
// dialogs themselves are in DxfOptionDialogs.cpp, TableOptionDialogs.cpp
// and SurveyOptionDialogs.cpp.
#include "gui/FormatDialog.h"

#include "core/MessageTable.h"
#include "gui/FormatOptionDialogs.h"

#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace vltrx::gui {

QString formatText(int textId, const QString& value) {
  QString out = QString::fromStdString(text(textId));
  qsizetype at = out.indexOf("%s");
  if (at < 0) at = out.indexOf("%c");
  if (at >= 0) out.replace(at, 2, value);
  return out;
}

QString optionsCaption(const FormatOptions& record, bool side) {
  return formatText(side == kInputSide ? 282 : 283, QString::fromStdString(record.keyPrefix));
}

void warnBox(QWidget* control, const QString& message) {
  QMessageBox::warning(control ? control->window() : nullptr, QString::fromStdString(text(0)), message);
}

FormatDialog::FormatDialog(QWidget* owner, FormatOptions& record, const QString& caption)
    : m_dialog(owner), m_form(m_dialog, record), m_record(record) {
  record.title = caption.toStdString();
  m_dialog.setWindowTitle(caption);
  if (owner) m_dialog.setWindowIcon(owner->window()->windowIcon());
  // The dialog grows with its longest label in every language and cannot be
  // shrunk below it.
  if (m_dialog.layout()) m_dialog.layout()->setSizeConstraint(QLayout::SetMinimumSize);
}

int FormatDialog::exec() {
  for (const DeclaredOption& d : m_record.declaredFields()) {
    QWidget* control = m_form.control(d.field->field.at(m_record));
    if (control && control->objectName().isEmpty() && !d.name.empty())
      control->setObjectName(QString::fromStdString(d.name));
  }
  QPushButton* ok = m_form.addOkButton(true);
  m_form.tooltips().add(ok, 245);
  if (auto* cancel = m_dialog.findChild<QPushButton*>("cancel")) m_form.tooltips().add(cancel, 246);
  return m_dialog.exec();
}

QLineEdit* addNumberAtLeast(OptionForm& form, double* field, double minimum, int refusedId) {
  auto* edit = new QLineEdit;
  edit->setText(numberText(*field));
  auto check = [edit, minimum, refusedId] {
    if (!checkNumber(edit)) return false;
    double v = 0;
    if (parseControlNumber(edit, v) && v < minimum) {
      warnBox(edit, QString::fromStdString(text(refusedId)));
      edit->setFocus(Qt::OtherFocusReason);
      return false;
    }
    return true;
  };
  form.addCustom(field, edit, check, [edit, field](SettingsKey& key, const std::string& name) {
    return storeNumber(edit, key, name, *field);
  });
  return edit;
}

}  // namespace vltrx::gui
