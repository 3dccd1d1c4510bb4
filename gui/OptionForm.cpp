// The option-dialog builder: controls from the declared fields of a record,
// the checks and stores of OK.
#include "gui/OptionForm.h"

#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "framework/SettingsKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <cstdint>

namespace vltrx::gui {
namespace {

using Kind = OptionBinding::Kind;

QString msg(int id) { return QString::fromStdString(text(id)); }

bool isCommon(const OptionField* f, int index) { return f == &commonOptionFields()[index]; }
bool isSwapOrder(const OptionField* f) { return isCommon(f, 2) || isCommon(f, 6); }

int labelOf(const OptionField& f, FieldTexts texts) { return texts.label >= 0 ? texts.label : f.label; }

/// The integer of a control's text; false when it holds none.
bool controlInt(const QWidget* control, int64_t& value) {
  std::string s = controlText(control).left(128).toStdString();
  return parseLeadingInt(s, value) > 0;
}

}  // namespace

QString numberText(double value, bool percent) {
  std::string s = formatFixed(percent ? std::fabs(value) : value, percent ? 2 : 6);
  if (percent) s += '%';
  return QString::fromStdString(s);
}

OptionForm::OptionForm(QDialog& dialog, FormatOptions& record) : OptionForm(dialog, record, settingsKey()) {}

OptionForm::OptionForm(QDialog& dialog, FormatOptions& record, SettingsKey& key)
    : m_dialog(dialog), m_record(record), m_key(key), m_declared(record.declaredFields()) {
  m_tips = new OptionTooltips(&dialog);
  auto* outer = new QVBoxLayout(&dialog);
  m_columns = new QHBoxLayout;
  outer->addLayout(m_columns);
  m_column = new QVBoxLayout;
  m_columns->addLayout(m_column);
  m_buttons = new QHBoxLayout;
  m_buttons->addStretch();
  outer->addLayout(m_buttons);
}

OptionForm::~OptionForm() = default;

// ---- Layout -------------------------------------------------------------------------------------

QGroupBox* OptionForm::beginGroup(int titleTextId) { return beginGroup(msg(titleTextId)); }

QGroupBox* OptionForm::beginGroup(const QString& title) {
  endGroup();
  m_group = new QGroupBox(title, &m_dialog);
  m_rows = new QGridLayout(m_group);
  m_rows->setColumnStretch(1, 1);
  m_column->addWidget(m_group);
  m_lastFirst = nullptr;
  return m_group;
}

void OptionForm::endGroup() {
  m_group = nullptr;
  m_rows = nullptr;
  m_lastFirst = nullptr;
}

void OptionForm::nextColumn() {
  endGroup();
  m_column->addStretch();
  m_column = new QVBoxLayout;
  m_columns->addLayout(m_column);
}

QGridLayout* OptionForm::rows() {
  if (!m_rows) {
    m_rows = new QGridLayout;
    m_rows->setColumnStretch(1, 1);
    m_column->addLayout(m_rows);
  }
  return m_rows;
}

void OptionForm::addRow(QWidget* widget) {
  QGridLayout* grid = rows();
  m_lastRow = grid->rowCount();
  grid->addWidget(widget, m_lastRow, 0, 1, 2);
  m_lastFirst = widget;
}

void OptionForm::addRow(const QString& label, QWidget* control) {
  QGridLayout* grid = rows();
  m_lastRow = grid->rowCount();
  auto* l = new QLabel(label);
  l->setBuddy(control);
  grid->addWidget(l, m_lastRow, 0);
  grid->addWidget(control, m_lastRow, 1);
  m_lastFirst = control;
}

void OptionForm::addBeside(QWidget* widget) {
  QGridLayout* grid = rows();
  if (!m_lastFirst) {
    addRow(widget);
    return;
  }
  int row, column, rowSpan, columnSpan;
  int index = grid->indexOf(m_lastFirst);
  grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
  if (column == 0 && columnSpan == 2) {
    // A widget alone on its row gives up the second column.
    grid->removeWidget(m_lastFirst);
    grid->addWidget(m_lastFirst, row, 0);
    grid->addWidget(widget, row, 1);
  } else {
    grid->addWidget(widget, row, column + columnSpan);
  }
}

// ---- Fields -------------------------------------------------------------------------------------

const DeclaredOption* OptionForm::declared(const void* member) const {
  for (const DeclaredOption& d : m_declared)
    if (d.field->field.at(m_record) == member) return &d;
  return nullptr;
}

OptionForm::Entry* OptionForm::entry(const void* member) {
  for (Entry& e : m_entries)
    if (e.at == member) return &e;
  return nullptr;
}

const OptionForm::Entry* OptionForm::entry(const void* member) const {
  return const_cast<OptionForm*>(this)->entry(member);
}

QWidget* OptionForm::control(const void* member) const {
  const Entry* e = entry(member);
  return e ? e->control : nullptr;
}

std::string OptionForm::valueName(const void* member) const {
  if (const Entry* e = entry(member)) return e->name;
  const DeclaredOption* d = declared(member);
  return d ? d->name : std::string();
}

void OptionForm::setStored(const void* member, bool stored) {
  if (Entry* e = entry(member)) e->stored = stored;
}

OptionForm::Entry& OptionForm::place(const DeclaredOption& d, QWidget* control, bool ownLabel, FieldTexts texts) {
  const OptionField& f = *d.field;
  const int label = labelOf(f, texts), tooltip = texts.tooltip >= 0 ? texts.tooltip : f.tooltip;
  control->setParent(m_group ? static_cast<QWidget*>(m_group) : &m_dialog);
  if (ownLabel) {
    if (auto* box = qobject_cast<QCheckBox*>(control); box && box->text().isEmpty() && label > 0)
      box->setText(msg(label));
    addRow(control);
  } else if (label > 0) {
    addRow(msg(label), control);
  } else if (m_lastFirst) {
    addBeside(control);
  } else {
    addRow(control);
  }
  if (tooltip > 0) m_tips->add(control, tooltip);
  Entry e;
  e.field = &f;
  e.name = d.name;
  e.at = f.field.at(m_record);
  e.control = control;
  m_entries.push_back(std::move(e));
  return m_entries.back();
}

QWidget* OptionForm::add(const void* member, FieldTexts texts) {
  const DeclaredOption* d = declared(member);
  if (!d) return nullptr;
  if (Entry* e = entry(member)) return e->control;
  const OptionField& f = *d->field;
  void* at = f.field.at(m_record);

  if (isSwapOrder(&f)) {
    QComboBox* combo = addLetters(member, "XYZ", {"XYZ", "YXZ"}, texts);
    // The box of the same side's swap flag, placed before it.
    const void* flag = isCommon(&f, 2) ? static_cast<const void*>(&m_record.inSwap) : &m_record.outSwap;
    if (auto* box = qobject_cast<QCheckBox*>(control(flag))) enableWhile(box, combo);
    return combo;
  }

  switch (f.kind()) {
    case Kind::Bool: {
      auto* box = new QCheckBox;
      bool* field = static_cast<bool*>(at);
      box->setChecked(*field);
      Entry& e = place(*d, box, true, texts);
      e.store = [box, field](SettingsKey& key, const std::string& name) {
        return storeCheckBox(box, key, name, *field);
      };
      if (isCommon(&f, 3) && m_record.alphaNumIdsNotOffered) {
        box->setEnabled(false);
        e.stored = false;
      }
      return box;
    }
    case Kind::Double:
    case Kind::SignedDouble: {
      auto* edit = new QLineEdit;
      double* field = static_cast<double*>(at);
      bool* sign = f.signFlag.at ? static_cast<bool*>(f.signFlag.at(m_record)) : nullptr;
      edit->setText(numberText(*field, sign && *sign));
      Entry& e = place(*d, edit, false, texts);
      e.check = [edit] { return checkNumber(edit); };
      if (sign) {
        e.store = [edit, field, sign](SettingsKey& key, const std::string& name) {
          double v = 0;
          if (!storeNumber(edit, key, name, v)) return false;
          *field = std::fabs(v);
          *sign = v < 0;
          return true;
        };
      } else {
        e.store = [edit, field](SettingsKey& key, const std::string& name) {
          return storeNumber(edit, key, name, *field);
        };
      }
      m_tips->checkOnFocusLoss(edit, e.check);
      return edit;
    }
    case Kind::Int:
      return addInteger(member, INT_MIN, INT_MAX, texts);
    case Kind::Dword:
      return addInteger(member, 0, INT_MAX, texts);
    case Kind::Char: {
      auto* edit = new QLineEdit;
      char* field = static_cast<char*>(at);
      edit->setMaxLength(1);
      if (*field) edit->setText(QString(QChar::fromLatin1(*field)));
      Entry& e = place(*d, edit, false, texts);
      e.store = [edit, field](SettingsKey& key, const std::string& name) {
        std::string s = edit->text().toStdString();
        if (s.empty()) return true;  // an empty field keeps its character
        *field = s[0];
        return name.empty() || key.writeString(name, std::string(1, s[0]));
      };
      return edit;
    }
    case Kind::String: {
      auto* edit = new QLineEdit;
      std::string* field = static_cast<std::string*>(at);
      edit->setText(QString::fromStdString(*field));
      Entry& e = place(*d, edit, false, texts);
      e.store = [edit, field](SettingsKey& key, const std::string& name) {
        return storeText(edit, key, name, *field);
      };
      return edit;
    }
  }
  return nullptr;
}

void OptionForm::addSide(bool side) {
  for (const DeclaredOption& d : m_declared) {
    const OptionField& f = *d.field;
    if (f.side != side || (f.label == 0 && f.tooltip == 0)) continue;
    const void* member = f.field.at(m_record);
    if (!entry(member)) add(member);
  }
}

void OptionForm::addCommon(bool side) {
  std::span<const OptionField> common = commonOptionFields();
  for (const OptionField& f : common)
    if (f.side == side) add(f.field.at(m_record));
}

QComboBox* OptionForm::addCombo(const void* member, const QStringList& entries, const std::vector<int>& values,
                                bool editable, FieldTexts texts) {
  const DeclaredOption* d = declared(member);
  if (!d || entry(member)) return nullptr;
  const OptionField& f = *d->field;
  void* at = f.field.at(m_record);
  auto* combo = new QComboBox;
  combo->addItems(entries);
  combo->setEditable(editable);
  Entry* placed = nullptr;
  if (f.kind() == Kind::Int || f.kind() == Kind::Dword) {
    auto valueAt = [values](int i) { return i < static_cast<int>(values.size()) ? values[i] : i; };
    int current = f.kind() == Kind::Int ? *static_cast<int*>(at) : static_cast<int>(*static_cast<uint32_t*>(at));
    for (int i = 0; i < combo->count(); ++i)
      if (valueAt(i) == current) combo->setCurrentIndex(i);
    placed = &place(*d, combo, false, texts);
    bool dword = f.kind() == Kind::Dword;
    placed->store = [combo, at, valueAt, dword](SettingsKey& key, const std::string& name) {
      int v = valueAt(std::max(0, combo->currentIndex()));
      if (dword)
        *static_cast<uint32_t*>(at) = static_cast<uint32_t>(v);
      else
        *static_cast<int*>(at) = v;
      return name.empty() || key.writeDword(name, static_cast<uint32_t>(v));
    };
  } else if (f.kind() == Kind::String) {
    std::string* field = static_cast<std::string*>(at);
    QString current = QString::fromStdString(*field);
    int index = combo->findText(current);
    if (index >= 0)
      combo->setCurrentIndex(index);
    else if (editable)
      combo->setEditText(current);
    placed = &place(*d, combo, false, texts);
    placed->store = [combo, field](SettingsKey& key, const std::string& name) {
      *field = combo->currentText().toStdString();
      return name.empty() || key.writeString(name, *field);
    };
  } else {
    delete combo;
    return nullptr;
  }
  return combo;
}

QLineEdit* OptionForm::addInteger(const void* member, int minimum, int maximum, FieldTexts texts) {
  const DeclaredOption* d = declared(member);
  if (!d || entry(member)) return nullptr;
  const OptionField& f = *d->field;
  if (f.kind() != Kind::Int && f.kind() != Kind::Dword) return nullptr;
  void* at = f.field.at(m_record);
  bool dword = f.kind() == Kind::Dword;
  auto* edit = new QLineEdit;
  edit->setText(dword ? QString::number(*static_cast<uint32_t*>(at)) : QString::number(*static_cast<int*>(at)));
  Entry& e = place(*d, edit, false, texts);
  e.check = [edit, minimum, maximum] { return checkIntegerRange(edit, minimum, maximum); };
  e.store = [edit, at, dword](SettingsKey& key, const std::string& name) {
    int64_t v = 0;
    if (!controlInt(edit, v)) return false;
    if (dword)
      *static_cast<uint32_t*>(at) = static_cast<uint32_t>(v);
    else
      *static_cast<int*>(at) = static_cast<int>(v);
    return name.empty() || key.writeDword(name, static_cast<uint32_t>(v));
  };
  m_tips->checkOnFocusLoss(edit, e.check);
  return edit;
}

QComboBox* OptionForm::addLetters(const void* member, std::string_view letters, const QStringList& entries,
                                  FieldTexts texts) {
  const DeclaredOption* d = declared(member);
  if (!d || entry(member) || d->field->kind() != Kind::String) return nullptr;
  std::string* field = static_cast<std::string*>(d->field->field.at(m_record));
  auto* combo = new QComboBox;
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems(entries);
  // The text stays as typed: "yxz" is not completed to the entry "YXZ".
  if (QCompleter* completer = combo->completer()) completer->setCaseSensitivity(Qt::CaseSensitive);
  combo->setEditText(QString::fromStdString(*field));
  Entry& e = place(*d, combo, false, texts);
  std::string allowed(letters);
  e.check = [combo, allowed] { return checkLetters(combo, allowed); };
  e.store = [combo, field](SettingsKey& key, const std::string& name) { return storeText(combo, key, name, *field); };
  m_tips->checkOnFocusLoss(combo, e.check);
  return combo;
}

QWidget* OptionForm::addCustom(const void* member, QWidget* control, Check check, Store store, FieldTexts texts) {
  const DeclaredOption* d = declared(member);
  if (!d || entry(member)) return nullptr;
  Entry& e = place(*d, control, qobject_cast<QCheckBox*>(control) != nullptr, texts);
  e.check = std::move(check);
  e.store = std::move(store);
  if (e.check) m_tips->checkOnFocusLoss(control, e.check);
  return control;
}

void OptionForm::enableWhile(QCheckBox* box, QWidget* control) {
  control->setEnabled(box->isChecked());
  QObject::connect(box, &QCheckBox::toggled, control, &QWidget::setEnabled);
}

void OptionForm::addCheck(Check check) { m_checks.push_back(std::move(check)); }

QPushButton* OptionForm::addOkButton(bool cancelToo) {
  auto* ok = new QPushButton(msg(12), &m_dialog);
  ok->setDefault(true);
  ok->setObjectName("ok");
  m_buttons->addWidget(ok);
  QObject::connect(ok, &QPushButton::clicked, &m_dialog, [this] { accept(); });
  if (cancelToo) {
    auto* cancel = new QPushButton(msg(13), &m_dialog);
    cancel->setObjectName("cancel");
    m_buttons->addWidget(cancel);
    QObject::connect(cancel, &QPushButton::clicked, &m_dialog, &QDialog::reject);
  }
  return ok;
}

// ---- OK ------------------------------------------------------------------------------------------

bool OptionForm::checkAll() {
  for (const Entry& e : m_entries)
    if (e.check && !e.check()) return false;
  for (const Check& c : m_checks)
    if (!c()) return false;
  return true;
}

bool OptionForm::storeAll() {
  bool ok = true;
  for (const Entry& e : m_entries)
    if (e.stored && e.store) ok = e.store(m_key, e.name) && ok;
  return ok;
}

bool OptionForm::accept() {
  if (!checkAll()) return false;
  // A value the settings store refused would otherwise be lost without a
  // word: say so and keep the dialog open.
  if (!storeAll()) {
    QMessageBox::warning(&m_dialog, msg(0), msg(34));
    return false;
  }
  m_tips->remove();
  m_dialog.accept();
  return true;
}

}  // namespace vltrx::gui
