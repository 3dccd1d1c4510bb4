// The generic option dialogs, laid out by the form from the common fields.
#include "gui/GenericOptionsDialog.h"

#include "core/MessageTable.h"
#include "framework/FormatOptions.h"
#include "framework/SettingsKey.h"
#include "gui/OptionForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace vltrx::gui {
namespace {

/// The record a generic dialog edits while it runs; one at a time.
FormatOptions* g_editing = nullptr;

}  // namespace

QString genericDialogCaption(FormatType type, FormatDirection direction) {
  QString caption = QString::fromStdString(text(direction == FormatDirection::Import ? 282 : 283));
  QString name = type == kFormatXslt ? QString() : QString::fromUtf8(keyPrefix(type).data(), keyPrefix(type).size());
  caption.replace(caption.indexOf("%s"), 2, name);
  // Without a name ("%s-Eingabeoptionen", "%s Input Options") no separator
  // is left standing at either end.
  while (!caption.isEmpty() && (caption.front() == ' ' || caption.front() == '-')) caption.remove(0, 1);
  return caption.trimmed();
}

GenericOptionsDialog::GenericOptionsDialog(FormatOptions& record, FormatType type, FormatDirection direction,
                                           SettingsKey& key, QWidget* owner)
    : QDialog(owner), m_record(record), m_input(direction == FormatDirection::Import) {
  QString caption = genericDialogCaption(type, direction);
  record.title = caption.toStdString();
  record.keyPrefix = keyPrefix(type);
  setWindowTitle(caption);
  setWindowIcon(programIcon());
  m_form = std::make_unique<OptionForm>(*this, record, key);
  m_form->addCommon(m_input ? kInputSide : kOutputSide);
  m_ok = m_form->addOkButton(false);
}

GenericOptionsDialog::~GenericOptionsDialog() = default;

QLineEdit* GenericOptionsDialog::scaleEdit() const {
  return qobject_cast<QLineEdit*>(m_form->control(m_input ? &m_record.inScaleFactor : &m_record.outScaleFactor));
}

QCheckBox* GenericOptionsDialog::swapBox() const {
  return qobject_cast<QCheckBox*>(m_form->control(m_input ? &m_record.inSwap : &m_record.outSwap));
}

QComboBox* GenericOptionsDialog::swapOrderCombo() const {
  return qobject_cast<QComboBox*>(m_form->control(m_input ? &m_record.inSwapOrder : &m_record.outSwapOrder));
}

QCheckBox* GenericOptionsDialog::alphaNumBox() const {
  return m_input ? qobject_cast<QCheckBox*>(m_form->control(&m_record.inAlphaNumIds)) : nullptr;
}

bool genericDialogOpen() { return g_editing != nullptr; }

DialogResult runGenericOptionsDialog(QWidget* owner, FormatOptions& record, FormatType type,
                                     FormatDirection direction) {
  if (g_editing) return DialogResult::Refused;
  g_editing = &record;
  DialogResult result = DialogResult::Cancelled;
  {
    GenericOptionsDialog dialog(record, type, direction, settingsKey(), owner);
    if (dialog.exec() == QDialog::Accepted) result = DialogResult::Accepted;
  }
  g_editing = nullptr;
  return result;
}

}  // namespace vltrx::gui
