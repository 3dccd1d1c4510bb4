// The main dialog. Every text comes from the message table in the current
// language; the general settings are read at start and written back when a
// path is chosen and when Convert is pressed.
#include "gui/MainDialog.h"
#include "gui/UpdateDialogs.h"

#include "app/CommandLine.h"
#include "app/Program.h"
#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/OptionFile.h"
#include "gui/OptionDialogs.h"
#include "framework/PluginFormats.h"
#include "framework/SettingsKey.h"
#include "gui/Manual.h"
#include "platform/Paths.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <system_error>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString msg(int id) { return qs(text(id)); }
std::string str(const QString& s) { return s.toStdString(); }

std::string readSetting(const char* name) {
  std::string value;
  settingsKey().readString(name, value, "");
  return value;
}

/// "Description (*.csv *.txt)" of the visible entries, in list order.
QStringList nameFilters(const FormatList& list) {
  QStringList out;
  for (const FileFormat& f : list) {
    if (f.hidden) continue;
    QString patterns = qs(f.filter).split(';', Qt::SkipEmptyParts).join(' ');
    out << qs(f.description) + " (" + patterns + ")";
  }
  return out;
}

/// The folder a chosen path stands for: the path of a folder, else its parent.
std::string folderOf(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return path;
  return fs::path(path).parent_path().string();
}

}  // namespace

std::string convertedText(int converted, int files) {
  std::string out = text(338);
  for (int n : {converted, files}) {
    size_t at = out.find("%i");
    if (at == std::string::npos) break;
    out.replace(at, 2, std::to_string(n));
  }
  return out;
}

void startGui(const std::vector<std::string>& args) {
  SettingsKey& key = settingsKey();
  key.create(kProgramKeyPath, SettingsKey::Access::Full);
  chooseLanguage(args, true);
  setPluginScanner(scanPlugins);
  buildFormatList(FormatDirection::Import);
  buildFormatList(FormatDirection::Export);
  publishFormatList(key, FormatDirection::Import);
  publishFormatList(key, FormatDirection::Export);
}

MainDialog::MainDialog(fs::path converter, ChildRunner runner, QWidget* parent)
    : QDialog(parent), m_converter(std::move(converter)), m_runner(std::move(runner)) {
  setWindowTitle(msg(0));
  setAcceptDrops(true);
  auto* layout = new QVBoxLayout(this);

  auto* inGroup = new QGroupBox(msg(311), this);
  auto* in = new QGridLayout(inGroup);
  in->addWidget(new QLabel(msg(313), inGroup), 0, 0);
  m_inType = new QComboBox(inGroup);
  m_inType->setToolTip(msg(320));
  in->addWidget(m_inType, 0, 1, 1, 2);
  m_inOptions = new QPushButton(msg(314), inGroup);
  m_inOptions->setToolTip(msg(326));
  in->addWidget(m_inOptions, 0, 3);
  m_inFile = new QPushButton(msg(309), inGroup);
  in->addWidget(m_inFile, 1, 0);
  m_inPath = new QLineEdit(inGroup);
  m_inPath->setToolTip(msg(322));
  in->addWidget(m_inPath, 1, 1, 1, 3);
  m_filterLabel = new QLabel(msg(3), inGroup);
  in->addWidget(m_filterLabel, 2, 0);
  m_filter = new QLineEdit(inGroup);
  m_filter->setToolTip(msg(328));
  in->addWidget(m_filter, 2, 1, 1, 2);
  m_inFolder = new QPushButton(msg(310), inGroup);
  in->addWidget(m_inFolder, 2, 3);
  in->setColumnStretch(1, 1);
  layout->addWidget(inGroup);

  m_outGroup = new QGroupBox(msg(312), this);
  auto* out = new QGridLayout(m_outGroup);
  out->addWidget(new QLabel(msg(313), m_outGroup), 0, 0);
  m_outType = new QComboBox(m_outGroup);
  m_outType->setToolTip(msg(321));
  out->addWidget(m_outType, 0, 1, 1, 2);
  m_outOptions = new QPushButton(msg(314), m_outGroup);
  m_outOptions->setToolTip(msg(327));
  out->addWidget(m_outOptions, 0, 3);
  m_outButton = new QPushButton(msg(309), m_outGroup);
  out->addWidget(m_outButton, 1, 0);
  m_outPath = new QComboBox(m_outGroup);
  m_outPath->setEditable(true);
  m_outPath->addItem(msg(318));
  m_outPath->setToolTip(msg(323));
  out->addWidget(m_outPath, 1, 1, 1, 3);
  out->setColumnStretch(1, 1);
  layout->addWidget(m_outGroup);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  m_convert = new QPushButton(msg(315), this);
  m_convert->setDefault(true);
  bottom->addWidget(m_convert);
  layout->addLayout(bottom);


  fillCombo(m_inType, m_inRows, importFormats(), "InFileType");
  fillCombo(m_outType, m_outRows, exportFormats(), "OutFileType");
  buildMenus();

  routeDropsToDialog();
  connect(m_inFile, &QPushButton::clicked, this, &MainDialog::chooseInputFile);
  connect(m_inFolder, &QPushButton::clicked, this, &MainDialog::chooseInputFolder);
  connect(m_outButton, &QPushButton::clicked, this, &MainDialog::chooseOutput);
  connect(m_convert, &QPushButton::clicked, this, &MainDialog::convert);
  connect(m_inOptions, &QPushButton::clicked, this, [this] { openOptions(FormatDirection::Import); });
  connect(m_outOptions, &QPushButton::clicked, this, [this] { openOptions(FormatDirection::Export); });
  updateFolderMode();
}

void MainDialog::fillCombo(QComboBox* combo, std::vector<int>& rows, const FormatList& list,
                           const char* storedValue) {
  std::string stored = readSetting(storedValue);
  int selected = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].hidden) continue;
    if (!stored.empty() && list[i].id == stored) selected = static_cast<int>(rows.size());
    rows.push_back(static_cast<int>(i));
    combo->addItem(qs(list[i].description));
  }
  if (!rows.empty()) combo->setCurrentIndex(selected);
}

void MainDialog::buildMenus() {
  auto* bar = new QMenuBar(this);
  layout()->setMenuBar(bar);
  QMenu* file = bar->addMenu(msg(292));
  QAction* open = file->addAction(msg(295), this, &MainDialog::chooseInputFile);
  open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  file->addAction(msg(297), this, &QDialog::reject);

  QMenu* options = bar->addMenu(msg(293));
  m_folderAction = options->addAction(msg(298));
  m_folderAction->setCheckable(true);
  connect(m_folderAction, &QAction::toggled, this, &MainDialog::updateFolderMode);
  options->addAction(msg(299), this, [this] {
    QMessageBox::information(this, msg(32), msg(33));
    openFolderSetting("CatDir");
  });
  options->addAction(msg(300), this, [this] { openFolderSetting("InFilterDir"); });
  options->addAction(msg(301), this, [this] { openFolderSetting("OutFilterDir"); });
  options->addAction(msg(302), this, &MainDialog::loadOptions);
  options->addAction(msg(303), this, &MainDialog::saveOptions);

  QMenu* help = bar->addMenu(msg(294));
  QAction* manual = help->addAction(msg(304), this, &MainDialog::openManual);
  manual->setShortcut(QKeySequence(Qt::Key_F1));
  help->addAction(msg(305), this, [this] { openFolderSetting("DocDir"); });
  help->addAction(msg(306), this, &MainDialog::lookForUpdates);
  help->addAction(msg(307), this, &MainDialog::showInfo);
}

void MainDialog::lookForUpdates() { runUpdateCheckWithProgress(this); }

void MainDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The silent check once the dialog is up: it runs on its own thread and
  // offers a newer version over the dialog when there is one.
  if (!m_checkedAtStart) {
    m_checkedAtStart = true;
    QTimer::singleShot(0, this, [this] { startUpdateCheckAtStart(this); });
  }
}

bool MainDialog::folderMode() const { return m_folderAction->isChecked(); }

void MainDialog::setFolderMode(bool on) { m_folderAction->setChecked(on); }

void MainDialog::updateFolderMode() {
  bool on = folderMode();
  m_filterLabel->setVisible(on);
  m_filter->setVisible(on);
  m_outButton->setText(msg(on ? 310 : 309));
  m_outPath->setToolTip(msg(on ? 325 : 323));
  m_inPath->setToolTip(msg(on ? 324 : 322));
}

const FileFormat* MainDialog::importSelection() const {
  int i = m_inType->currentIndex();
  return i < 0 || i >= static_cast<int>(m_inRows.size()) ? nullptr : &importFormats()[m_inRows[i]];
}

const FileFormat* MainDialog::exportSelection() const {
  int i = m_outType->currentIndex();
  return i < 0 || i >= static_cast<int>(m_outRows.size()) ? nullptr : &exportFormats()[m_outRows[i]];
}

static bool selectIn(QComboBox* combo, const std::vector<int>& rows, const FormatList& list, const std::string& id) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (list[rows[i]].id == id) {
      combo->setCurrentIndex(static_cast<int>(i));
      return true;
    }
  return false;
}

bool MainDialog::selectImport(const std::string& id) { return selectIn(m_inType, m_inRows, importFormats(), id); }
bool MainDialog::selectExport(const std::string& id) { return selectIn(m_outType, m_outRows, exportFormats(), id); }

BatchRequest MainDialog::request() const {
  BatchRequest r;
  r.folderMode = folderMode();
  r.inputPath = str(m_inPath->text().trimmed());
  r.inputFilter = str(m_filter->text().trimmed());
  QString out = m_outPath->currentText().trimmed();
  r.outputIsPlaceholder = out == msg(318);
  if (!r.outputIsPlaceholder) r.outputPath = str(out);
  if (const FileFormat* f = importSelection()) r.inputExtension = firstExtension(*f);
  if (const FileFormat* f = exportSelection()) r.outputExtension = firstExtension(*f);
  return r;
}

void MainDialog::saveSelection() {
  SettingsKey& key = settingsKey();
  if (const FileFormat* f = importSelection()) key.writeString("InFileType", f->id);
  if (const FileFormat* f = exportSelection()) key.writeString("OutFileType", f->id);
}

std::pair<int, int> MainDialog::convertBatch() {
  saveSelection();
  BatchRequest r = request();
  if (r.inputPath.empty()) return {-1, 0};
  BatchPlan plan = planBatch(r);
  if (plan.errorText >= 0) {
    showError(msg(plan.errorText));
    return {-1, 0};
  }
  int done = runBatch(plan, m_converter, r.inputExtension, r.outputExtension, m_runner);
  return {done, static_cast<int>(plan.items.size())};
}

void MainDialog::convert() {
  // The children wait for nobody but the user; the dialog waits for them
  // without serving its own events, as the batch is one modal step.
  auto [done, files] = convertBatch();
  if (done < 0) return;
  QMessageBox::information(this, msg(0), qs(convertedText(done, files)));
}

DialogResult MainDialog::openOptions(FormatDirection direction) {
  // Plug-in entries carry type 12 and share the one XSLT record.
  const FileFormat* f = direction == FormatDirection::Import ? importSelection() : exportSelection();
  if (!f) return DialogResult::NotOffered;
  return openOptionDialog(this, f->type, direction);
}

void MainDialog::showError(const QString& message) { QMessageBox::critical(this, msg(0), message); }

void MainDialog::chooseInputFile() {
  QFileDialog dialog(this, msg(316), qs(readSetting("SelectedInputFolder")));
  dialog.setFileMode(QFileDialog::ExistingFile);
  QStringList filters = nameFilters(importFormats());
  dialog.setNameFilters(filters);
  uint32_t index = 1;
  settingsKey().readDword("SelectedInputFilter", index, 1);
  if (index >= 1 && index <= static_cast<uint32_t>(filters.size())) dialog.selectNameFilter(filters[index - 1]);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  QString path = dialog.selectedFiles().first();
  setFolderMode(false);
  m_inPath->setText(path);
  int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
  if (chosen >= 0) {
    m_inType->setCurrentIndex(chosen);
    settingsKey().writeDword("SelectedInputFilter", static_cast<uint32_t>(chosen + 1));
  }
  settingsKey().writeString("SelectedInputFolder", folderOf(str(path)));
}

void MainDialog::chooseInputFolder() {
  QString path = QFileDialog::getExistingDirectory(this, msg(319), qs(readSetting("SelectedInputFolder")));
  if (path.isEmpty()) return;
  setFolderMode(true);
  m_inPath->setText(path);
  settingsKey().writeString("SelectedInputFolder", str(path));
}

void MainDialog::chooseOutput() {
  QString start = qs(readSetting("SelectedOutputFolder"));
  QString path;
  if (folderMode()) {
    path = QFileDialog::getExistingDirectory(this, msg(319), start);
    if (path.isEmpty()) return;
    if (!path.endsWith('/')) path += '/';
    settingsKey().writeString("SelectedOutputFolder", str(path));
  } else {
    QFileDialog dialog(this, msg(317), start);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters = nameFilters(exportFormats());
    dialog.setNameFilters(filters);
    uint32_t index = 1;
    settingsKey().readDword("SelectedOutputFilter", index, 1);
    if (index >= 1 && index <= static_cast<uint32_t>(filters.size())) dialog.selectNameFilter(filters[index - 1]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    path = dialog.selectedFiles().first();
    int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    if (chosen >= 0) {
      m_outType->setCurrentIndex(chosen);
      settingsKey().writeDword("SelectedOutputFilter", static_cast<uint32_t>(chosen + 1));
    }
    settingsKey().writeString("SelectedOutputFolder", folderOf(str(path)));
  }
  m_outPath->setCurrentText(path);
}

void MainDialog::routeDropsToDialog() {
  // A line edit takes a dropped file as text ("file:///..."), and the path
  // fields are where users drop: they leave every drop to the dialog.
  for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->setAcceptDrops(false);
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  // Only the first item counts; where it lands decides its side.
  QPoint at = event->position().toPoint();
  bool outputSide = at.y() >= m_outGroup->geometry().top();
  dropPath(urls.first().toLocalFile(), outputSide);
  event->acceptProposedAction();
}

void MainDialog::dropPath(const QString& dropped, bool outputSide) {
  QString path = dropped;
  // A shell link of the desktop points at its target.
  QFileInfo info(path);
  if (info.isSymLink() || path.endsWith(".lnk", Qt::CaseInsensitive)) {
    QString target = info.symLinkTarget();
    if (!target.isEmpty()) path = target;
  }
  std::string p = str(path);
  std::string ext = fs::path(p).extension().string();
  std::error_code ec;
  bool isFolder = ext.empty() || fs::is_directory(p, ec);
  if (isFolder) {
    if (outputSide) {
      if (!path.endsWith('/')) path += '/';
      m_outPath->setCurrentText(path);
    } else {
      setFolderMode(true);
      m_inPath->setText(path);
      m_filter->clear();
    }
  } else {
    const FormatList& list = outputSide ? exportFormats() : importFormats();
    const FileFormat* f = findFormatByExtension(list, ext);
    if (!f || f->hidden) {
      showError(qs(replaceFirstS(text(84), p)));
      return;
    }
    if (outputSide) {
      selectExport(f->id);
      m_outPath->setCurrentText(path);
    } else {
      selectImport(f->id);
      setFolderMode(false);
      m_inPath->setText(path);
    }
  }
  settingsKey().writeString("SelectedInputFolder", isFolder && !outputSide ? p : fs::path(p).parent_path().string());
}

void MainDialog::openFolderSetting(const char* valueName) {
  std::string folder = platform::expandUserPath(readSetting(valueName));
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(qs(folder)));
}

void MainDialog::openManual() {
  fs::path manual = findManual(platform::programFolder(), sourceDocsFolder());
  if (manual.empty()) {
    showError(msg(6));
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(qs(manual.string())));
}

void MainDialog::loadOptions() {
  QString file = QFileDialog::getOpenFileName(this, msg(302), qs(readSetting("ConfigDir")), "*.trxopt");
  if (file.isEmpty()) return;
  if (int rc = loadOptionFile(fs::path(str(file))); rc < 0) showError(qs(makeError(rc).message()));
}

void MainDialog::saveOptions() {
  QString file = QFileDialog::getSaveFileName(this, msg(303), qs(readSetting("ConfigDir")), "*.trxopt");
  if (file.isEmpty()) return;
  if (!file.endsWith(".trxopt")) file += ".trxopt";
  if (!saveOptionFile(settingsKey(), fs::path(str(file)), kFormatAll, kFormatAll))
    showError(qs(makeError(ErrorCode::CannotCreateFile, str(file)).message()));
}

void MainDialog::showInfo() {
  QString version = msg(334);
  version.replace("%s", kVersionText);
  QMessageBox::about(this, msg(307).remove('&'), msg(0) + "\n" + version + "\n" + msg(335));
}

}  // namespace vltrx::gui
