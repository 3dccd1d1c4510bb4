// The main dialog: input and output formats, files or folders, menus, and
// the batch of child conversions behind Convert.
#pragma once

#include "framework/FormatTable.h"
#include "gui/Batch.h"
#include "gui/GenericOptionsDialog.h"

#include <QDialog>

#include <filesystem>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vltrx::gui {

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  /// converter: the command-line program the batch starts once per file.
  /// runner: how a child is run (runChild by default; tests may replace it).
  explicit MainDialog(std::filesystem::path converter, ChildRunner runner = runChild, QWidget* parent = nullptr);

  // State for tests and the batch.
  bool folderMode() const;
  void setFolderMode(bool on);
  /// Selected entries of the process-wide lists, nullptr when none.
  const FileFormat* importSelection() const;
  const FileFormat* exportSelection() const;
  /// Selects the visible entry whose id is id; false when there is none.
  bool selectImport(const std::string& id);
  bool selectExport(const std::string& id);
  QLineEdit* inputPathEdit() const { return m_inPath; }
  QLineEdit* filterEdit() const { return m_filter; }
  QComboBox* outputPathCombo() const { return m_outPath; }
  QComboBox* importCombo() const { return m_inType; }
  QComboBox* exportCombo() const { return m_outType; }
  QGroupBox* outputGroup() const { return m_outGroup; }
  QPushButton* inputOptionsButton() const { return m_inOptions; }
  QPushButton* outputOptionsButton() const { return m_outOptions; }
  /// The options button of a direction: the option dialog of the selected
  /// format (tooltips "Options for file import"/"... export").
  DialogResult openOptions(FormatDirection direction);

  /// The request that Convert would run now.
  BatchRequest request() const;
  /// Convert without the closing message box: returns {converted, files},
  /// or {-1, 0} when the batch did not start (its error box was shown).
  std::pair<int, int> convertBatch();
  /// The drop of one path at the output side (true) or the input side.
  void dropPath(const QString& path, bool outputSide);
  /// Writes "InFileType", "OutFileType" (the other values are written when
  /// a path is chosen).
  void saveSelection();

 public slots:
  void convert();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  /// The first showing starts the silent update check.
  void showEvent(QShowEvent* event) override;

 private:
  void buildMenus();
  void routeDropsToDialog();
  void fillCombo(QComboBox* combo, std::vector<int>& rows, const FormatList& list, const char* storedValue);
  void chooseInputFile();
  void chooseInputFolder();
  void chooseOutput();
  void openFolderSetting(const char* valueName);
  void openManual();
  void loadOptions();
  void saveOptions();
  void showInfo();
  void lookForUpdates();
  void showError(const QString& text);
  void updateFolderMode();

  std::filesystem::path m_converter;
  ChildRunner m_runner;
  std::vector<int> m_inRows, m_outRows;  // combo index -> list index
  QAction* m_folderAction = nullptr;
  QComboBox* m_inType = nullptr;
  QComboBox* m_outType = nullptr;
  QPushButton* m_inOptions = nullptr;
  QPushButton* m_outOptions = nullptr;
  QPushButton* m_inFile = nullptr;
  QLineEdit* m_inPath = nullptr;
  QLabel* m_filterLabel = nullptr;
  QLineEdit* m_filter = nullptr;
  QPushButton* m_inFolder = nullptr;
  QGroupBox* m_outGroup = nullptr;
  QPushButton* m_outButton = nullptr;
  QComboBox* m_outPath = nullptr;
  QPushButton* m_convert = nullptr;
  bool m_checkedAtStart = false;
};

/// "%i of %i file(s) converted" filled in, in the current language.
std::string convertedText(int converted, int files);

/// Start-up of the graphical program: settings key, language (stored when
/// chosen), the format lists with their plug-ins, published.
void startGui(const std::vector<std::string>& args);

}  // namespace vltrx::gui
