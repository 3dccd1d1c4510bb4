// The option dialogs of the surveying formats: GSI input (the word indexes
// of comment and category) and REB output (record types and horizon id).
#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "framework/SurveyOptions.h"
#include "gui/FormatDialog.h"
#include "gui/FormatOptionDialogs.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace vltrx::gui {

bool runGsiInputDialog(QWidget* owner, GsiOptions& options) {
  FormatDialog d(owner, options, optionsCaption(options, kInputSide));
  OptionForm& form = d.form();
  form.beginGroup(QString());
  // Word indexes are two digits; 0 reads nothing.
  form.addInteger(&options.wordIndexComment, 0, 99);
  form.addInteger(&options.wordIndexCategory, 0, 99);
  form.beginGroup(QString());
  form.addCommon(kInputSide);
  return d.exec() == QDialog::Accepted;
}

bool runRebOutputDialog(QWidget* owner, RebOptions& options) {
  FormatDialog d(owner, options, optionsCaption(options, kOutputSide));
  OptionForm& form = d.form();
  form.beginGroup(QString());

  // "Type of coordinate folder:" with one box per record type; together they
  // are the bit set of "REB_OutType".
  auto* types = new QWidget;
  auto* boxes = new QVBoxLayout(types);
  boxes->setContentsMargins(0, 0, 0, 0);
  struct Kind {
    uint32_t bit;
    QString label;
    int tooltip;
    const char* name;
  };
  const Kind kinds[] = {{kRebDa30, "DA30", 277, "REB_OutType_DA30"},
                        {kRebDa45, "DA45", 278, "REB_OutType_DA45"},
                        {kRebDa49, QString::fromStdString(text(274)), 276, "REB_OutType_DA49"}};
  std::vector<std::pair<QCheckBox*, uint32_t>> bits;
  for (const Kind& k : kinds) {
    auto* box = new QCheckBox(k.label, types);
    box->setObjectName(k.name);
    box->setChecked(options.outTypes & k.bit);
    form.tooltips().add(box, k.tooltip);
    boxes->addWidget(box);
    bits.emplace_back(box, k.bit);
  }
  form.addCustom(&options.outTypes, types, {}, [bits, &options](SettingsKey& key, const std::string& name) {
    // Bits of no record type (none are known) stay as they are.
    uint32_t mask = options.outTypes & ~uint32_t{kRebDa30 | kRebDa45 | kRebDa49};
    for (const auto& [box, bit] : bits)
      if (box->isChecked()) mask |= bit;
    options.outTypes = mask;
    return key.writeDword(name, mask);
  });
  form.addInteger(&options.outKz, 10, 89);

  form.beginGroup(QString());
  form.addCommon(kOutputSide);
  return d.exec() == QDialog::Accepted;
}

}  // namespace vltrx::gui
