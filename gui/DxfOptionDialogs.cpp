// The DXF input and output option dialogs: every field of the DXF record in
// groups, and the option-file buttons, whose file dialogs open in the folder
// of "DxfConfigDir".
#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/DxfOptions.h"
#include "framework/OptionFile.h"
#include "framework/SettingsKey.h"
#include "gui/FormatDialog.h"
#include "gui/FormatOptionDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>
#include <filesystem>

namespace vltrx::gui {
namespace {

QString msg(int id) { return QString::fromStdString(text(id)); }

QStringList texts(std::initializer_list<int> ids) {
  QStringList out;
  for (int id : ids) out << msg(id);
  return out;
}

/// The point display modes the writer knows: the five symbols alone and with
/// a circle (+32), a square (+64) or both (+96), and the two symbols the
/// writer draws as lines (130, 131).
std::vector<std::pair<QString, int>> pointModes() {
  std::vector<std::pair<QString, int>> out;
  const int frames[] = {0, 186, 187, 188};
  for (int f = 0; f < 4; ++f)
    for (int symbol = 0; symbol < 5; ++symbol) {
      QString name = msg(181 + symbol);
      if (frames[f]) name += ' ' + msg(frames[f]);
      out.emplace_back(name, 32 * f + symbol);
    }
  out.emplace_back(msg(189), 130);
  out.emplace_back(msg(190), 131);
  return out;
}

/// Keeps controls enabled only while box is checked and also holds for
/// them; returns the update for further signals to call.
std::function<void()> enableWith(QCheckBox* box, std::vector<QWidget*> controls,
                                 std::function<bool(QWidget*)> also = {}) {
  auto update = [box, controls, also] {
    for (QWidget* c : controls) c->setEnabled(box->isChecked() && (!also || also(c)));
  };
  QObject::connect(box, &QCheckBox::toggled, box, update);
  update();
  return update;
}

/// What the option-file buttons ask of the dialog's run: open it again
/// after a load, so that every control shows the loaded values.
struct FileButtons {
  bool reopen = false;
};

/// Save Options... and Load Options... below the last column. A save first
/// runs the checks and stores the dialog's values, so that the file holds
/// what the dialog shows; a load writes the file's values to the settings
/// store, reads the record from there and has the dialog opened again.
void addFileButtons(FormatDialog& d, DxfOptions& options, bool side, FileButtons& state) {
  QDialog* dialog = &d.dialog();
  OptionForm* form = &d.form();
  const QString filter = msg(142) + " (*.trxopt);;" + msg(141) + " (*)";
  auto chooseFile = [dialog, filter](bool save) {
    std::string folder;
    settingsKey().readString("DxfConfigDir", folder, "");
    QFileDialog files(dialog, msg(save ? 163 : 164).remove("..."), QString::fromStdString(folder), filter);
    files.setObjectName("optionFileDialog");
    files.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    files.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    files.setDefaultSuffix("trxopt");
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) return QString();
    return files.selectedFiles().first();
  };

  auto* row = new QWidget;
  auto* buttons = new QHBoxLayout(row);
  buttons->setContentsMargins(0, 0, 0, 0);
  auto* save = new QPushButton(msg(163), row);
  save->setObjectName("saveOptions");
  save->setAutoDefault(false);
  form->tooltips().add(save, 230);
  auto* load = new QPushButton(msg(164), row);
  load->setObjectName("loadOptions");
  load->setAutoDefault(false);
  form->tooltips().add(load, 231);
  buttons->addWidget(save);
  buttons->addWidget(load);
  buttons->addStretch(1);
  form->endGroup();
  form->addRow(row);

  QObject::connect(save, &QPushButton::clicked, dialog, [dialog, form, side, chooseFile] {
    if (!form->checkAll()) return;
    QString file = chooseFile(true);
    if (file.isEmpty()) return;
    bool stored = form->storeAll();
    FormatType in = side == kInputSide ? kFormatDxf : kFormatNone;
    FormatType out = side == kInputSide ? kFormatNone : kFormatDxf;
    if (!stored || !saveOptionFile(settingsKey(), std::filesystem::path(file.toStdString()), in, out))
      warnBox(dialog, formatText(247, file));
  });
  QObject::connect(load, &QPushButton::clicked, dialog, [dialog, &options, &state, chooseFile] {
    QString file = chooseFile(false);
    if (file.isEmpty()) return;
    int rc = loadOptionFile(std::filesystem::path(file.toStdString()));
    if (rc < 0 && rc != +ErrorCode::CannotCreateFile) {
      warnBox(dialog, formatText(248, file));
      return;
    }
    // A value the settings store refused leaves the others loaded: the
    // dialog shows what the store holds either way.
    std::string title = options.title;
    options.load(settingsKey(), true);
    options.title = title;
    if (rc < 0)
      warnBox(dialog, QString::fromStdString(makeError(rc).message()));
    else
      QMessageBox::information(dialog, msg(0), formatText(249, file));
    state.reopen = true;
    dialog->reject();
  });
}

/// Runs a dialog built by build until it ends other than by a load.
template <class Build>
bool runReopening(QWidget* owner, DxfOptions& options, bool side, int captionId, Build build) {
  for (;;) {
    FormatDialog d(owner, options, msg(captionId));
    FileButtons state;
    build(d);
    addFileButtons(d, options, side, state);
    if (d.exec() == QDialog::Accepted) return true;
    if (!state.reopen) return false;
  }
}

void buildInput(FormatDialog& d, DxfOptions& o) {
  OptionForm& form = d.form();

  // Layers and categories.
  form.beginGroup(143);
  auto* all = qobject_cast<QCheckBox*>(form.add(&o.importAllLayers));
  QWidget* noCategories = form.add(&o.importAllLayersWithoutAssignment);
  enableWith(all, {noCategories});

  // Curves and centre points; the limits are those of "-approx:",
  // "-epsilon:" and "-cp:".
  form.beginGroup(146);
  addNumberAtLeast(form, &o.approx, 0.001, 99);
  addNumberAtLeast(form, &o.epsilon, 0.0, 100);
  QComboBox* method = form.addCombo(&o.cpMethod, texts({150, 151, 152}),
                                    {kCentrePointsNone, kCentrePointsAll, kCentrePointsByFactor});
  const int methodTips[] = {214, 215, 216};
  for (int i = 0; i < 3; ++i) method->setItemData(i, msg(methodTips[i]), Qt::ToolTipRole);
  QLineEdit* factor = addNumberAtLeast(form, &o.cpFactor, 0.0, 101);
  auto updateFactor = [method, factor] { factor->setEnabled(method->currentIndex() == kCentrePointsByFactor); };
  QObject::connect(method, &QComboBox::currentIndexChanged, factor, updateFactor);
  updateFactor();

  // Blocks and proxy objects.
  form.beginGroup(154);
  auto* blocks = qobject_cast<QCheckBox*>(form.add(&o.importBlocks));
  QWidget* anchors = form.add(&o.importBlocksAnchorPoints);
  form.add(&o.importProxyAnchorPoints);
  enableWith(blocks, {anchors});

  // Point-id import.
  form.nextColumn();
  form.beginGroup(158);
  auto* assign = qobject_cast<QCheckBox*>(form.add(&o.pidImport));
  QComboBox* source = form.addCombo(&o.pidImportSource, texts({161, 162, 165}),
                                    {kPidFromTexts, kPidFromBlockTexts, kPidFromBlockAttributes});
  // The search distance keeps its sign in a box of its own: negative means
  // "ignore height".
  auto* distance = new QLineEdit;
  distance->setText(numberText(o.pidImportEpsilon));
  auto* ignoreZ = new QCheckBox(msg(167));
  ignoreZ->setObjectName("DXF_PID_ImportIgnoreZ");
  ignoreZ->setChecked(o.pidImportIgnoreZ);
  form.addCustom(&o.pidImportEpsilon, distance, [distance] { return checkNumber(distance); },
                 [distance, ignoreZ, &o](SettingsKey& key, const std::string& name) {
                   double v = 0;
                   if (!parseControlNumber(distance, v)) return false;
                   o.pidImportEpsilon = std::fabs(v);
                   o.pidImportIgnoreZ = ignoreZ->isChecked();
                   return key.writeDouble(name, o.pidImportIgnoreZ ? -o.pidImportEpsilon : o.pidImportEpsilon);
                 });
  form.addRow(QString(), ignoreZ);
  form.tooltips().add(ignoreZ, 224);

  // The layer: a name, "*" (all layers) or "&" (plan-data layers only).
  auto* layer = new QComboBox;
  layer->setEditable(true);
  layer->setInsertPolicy(QComboBox::NoInsert);
  layer->addItem(msg(173), "*");
  layer->addItem(msg(174), "&");
  if (int i = layer->findData(QString::fromStdString(o.pidImportLayer)); i >= 0)
    layer->setCurrentIndex(i);
  else
    layer->setEditText(QString::fromStdString(o.pidImportLayer));
  form.addCustom(&o.pidImportLayer, layer, {}, [layer, &o](SettingsKey& key, const std::string& name) {
    int i = layer->findText(layer->currentText());
    o.pidImportLayer = (i >= 0 ? layer->itemData(i).toString() : layer->currentText()).toStdString();
    return key.writeString(name, o.pidImportLayer);
  });
  QWidget* attribute = form.add(&o.pidBlockAttribute);
  QWidget* textNumber = form.addInteger(&o.pidBlockTextNumber, 1, 9999);
  QWidget* lineNumber = form.addInteger(&o.pidLineNumber, 1, 9999);
  form.add(&o.inAlphaNumIds, {172, 229});
  // The attribute tag counts for block attributes only, the text number for
  // texts in blocks only.
  auto updatePids = enableWith(assign, {source, distance, ignoreZ, layer, attribute, textNumber, lineNumber},
                               [source, attribute, textNumber](QWidget* c) {
                                 int s = source->currentIndex();
                                 return (c != attribute || s == kPidFromBlockAttributes) &&
                                        (c != textNumber || s == kPidFromBlockTexts);
                               });
  QObject::connect(source, &QComboBox::currentIndexChanged, source, updatePids);

  form.beginGroup(QString());
  form.addCommon(kInputSide);
}

void buildOutput(FormatDialog& d, DxfOptions& o) {
  OptionForm& form = d.form();

  form.beginGroup(175);
  form.add(&o.addPolyPoints);
  form.add(&o.addVlLayerPrefix);

  form.beginGroup(178);
  auto* mode = new QComboBox;
  for (const auto& [name, value] : pointModes()) mode->addItem(name, value);
  int current = mode->findData(o.pdMode);
  if (current < 0) {
    // A mode set elsewhere (command line, option file) is kept selectable.
    mode->addItem(QString::number(o.pdMode), o.pdMode);
    current = mode->count() - 1;
  }
  mode->setCurrentIndex(current);
  form.addCustom(&o.pdMode, mode, {}, [mode, &o](SettingsKey& key, const std::string& name) {
    o.pdMode = mode->currentData().toInt();
    return key.writeDword(name, static_cast<uint32_t>(o.pdMode));
  });
  form.add(&o.pdSize);

  form.beginGroup(QString());
  form.addCommon(kOutputSide);

  // Texts: each kind with its height, layer and orientation; a height that
  // ends in "%" is a percentage of the plan's height.
  form.nextColumn();
  form.beginGroup(191);
  const QStringList orientations = texts({200, 201, 202, 203, 204});
  // Each kind's box heads its rows.
  auto heading = [](QCheckBox* box) {
    QFont font = box->font();
    font.setBold(true);
    box->setFont(font);
    return box;
  };
  for (TextLabelOptions* kind : {&o.pid, &o.coord, &o.comment}) {
    auto* on = heading(qobject_cast<QCheckBox*>(form.add(&kind->enabled)));
    QWidget* height = form.add(&kind->height);
    auto* orig = qobject_cast<QCheckBox*>(form.add(&kind->origLayer));
    QWidget* layer = form.add(&kind->layer);
    QWidget* format = kind == &o.coord ? form.add(&o.coordFormat) : nullptr;
    QWidget* orientation = form.addCombo(&kind->orientation, orientations);
    std::vector<QWidget*> controls = {height, orig, layer, orientation};
    if (format) controls.push_back(format);
    auto update = enableWith(on, controls, [orig, layer](QWidget* c) { return c != layer || !orig->isChecked(); });
    QObject::connect(orig, &QCheckBox::toggled, orig, update);
  }
  auto* textsOn = heading(qobject_cast<QCheckBox*>(form.add(&o.text.enabled)));
  QWidget* textHeight = form.add(&o.text.height);
  QWidget* force = form.add(&o.textForceHeight);
  enableWith(textsOn, {textHeight, force});
}

}  // namespace

bool runDxfInputDialog(QWidget* owner, DxfOptions& options) {
  return runReopening(owner, options, kInputSide, 207, [&options](FormatDialog& d) { buildInput(d, options); });
}

bool runDxfOutputDialog(QWidget* owner, DxfOptions& options) {
  return runReopening(owner, options, kOutputSide, 208, [&options](FormatDialog& d) { buildOutput(d, options); });
}

}  // namespace vltrx::gui
