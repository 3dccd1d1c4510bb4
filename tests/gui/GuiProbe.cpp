// gui_probe: the Qt programs that the GUI tests run as separate processes.
//   cancel <folder> <program> <args...>   runs the conversion of the command
//       line with Qt dialogs (Yes to an overwrite question) and presses
//       Cancel in the progress window as soon
//       as a temporary file of the converter appears in folder (exit 3 when
//       the conversion ended before one was seen)
//   droptarget <drops>                    the main dialog at the top left of
//       the screen; prints "READY <input x> <input y> <output x> <output y>"
//       (screen coordinates of the input path and the output path), then one
//       "DROP <input path>|<import id>|<output path>|<export id>" line per
//       drop, and ends after that many drops
//   dragsource <x> <y> <path...>          a small window at x, y; each mouse
//       press starts a drag of the next path as a file URL; prints "READY
//       <centre x> <centre y>" and "DRAGGED <action>" after each drag
//   filelinks <Yes|No> <program>           the start-up check of the category
//       file type; prints "ASKED" when the question came, which is answered
//       with the given button
//   mimetype <file name>                  prints the type the shared MIME
//       database gives the name by its extension
#include "gui/FileLinks.h"
#include "gui/MainDialog.h"
#include "gui/QtUi.h"
#include "platform/Files.h"

#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vltrx::gui::MainDialog;

bool temporaryFileIn(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().starts_with(vltrx::platform::kTemporaryFilePrefix)) return true;
  return false;
}

int cancel(const fs::path& folder, std::vector<std::string> args) {
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // The overwrite question of an existing target: Yes.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
    if (!temporaryFileIn(folder)) return;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* button = w->findChild<QPushButton*>("cancel"); button && button->isVisible()) {
        std::printf("CANCEL\n");
        std::fflush(stdout);
        button->click();
      }
  });
  timer.start(1);
  vltrx::gui::runConversionWithDialogs(args);
  return 3;
}

/// The dialog reports each drop after its own handler has run.
class ProbeDialog : public MainDialog {
 public:
  ProbeDialog(int drops) : MainDialog("/bin/false"), m_drops(drops) {}

 protected:
  void dropEvent(QDropEvent* event) override {
    MainDialog::dropEvent(event);
    const vltrx::FileFormat* in = importSelection();
    const vltrx::FileFormat* out = exportSelection();
    std::printf("DROP %s|%s|%s|%s\n", inputPathEdit()->text().toStdString().c_str(), in ? in->id.c_str() : "",
                outputPathCombo()->currentText().toStdString().c_str(), out ? out->id.c_str() : "");
    std::fflush(stdout);
    if (--m_drops == 0) QTimer::singleShot(100, qApp, &QApplication::quit);
  }

 private:
  int m_drops;
};

int dropTarget(int drops) {
  vltrx::gui::startGui({"gui_probe", "-lang:en"});
  ProbeDialog dialog(drops);
  dialog.move(0, 0);
  dialog.show();
  QTimer::singleShot(500, [&] {
    QPoint in = dialog.inputPathEdit()->mapToGlobal(dialog.inputPathEdit()->rect().center());
    QPoint out = dialog.outputPathCombo()->mapToGlobal(dialog.outputPathCombo()->rect().center());
    std::printf("READY %d %d %d %d\n", in.x(), in.y(), out.x(), out.y());
    std::fflush(stdout);
  });
  return QApplication::exec();
}

class DragSource : public QWidget {
 public:
  explicit DragSource(QStringList paths) : m_paths(std::move(paths)) { setFixedSize(80, 80); }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    if (m_paths.isEmpty()) return;
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(m_paths.takeFirst())});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::LinkAction);
    std::printf("DRAGGED %d\n", static_cast<int>(action));
    std::fflush(stdout);
  }

 private:
  QStringList m_paths;
};

int dragSource(int x, int y, const QStringList& paths) {
  DragSource source(paths);
  source.move(x, y);
  source.show();
  QTimer::singleShot(500, [&] {
    QPoint c = source.mapToGlobal(source.rect().center());
    std::printf("READY %d %d\n", c.x(), c.y());
    std::fflush(stdout);
  });
  return QApplication::exec();
}

int fileLinks(const QString& answer, const fs::path& program) {
  vltrx::gui::startGui({"gui_probe", "-lang:en"});
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    for (QPushButton* b : box->findChildren<QPushButton*>())
      if (b->text().remove('&') == answer) {
        std::printf("ASKED %s\n", box->findChild<QLabel*>("qt_msgbox_label")->text().toStdString().c_str());
        std::fflush(stdout);
        b->click();
        return;
      }
  });
  timer.start(20);
  vltrx::gui::offerFileLinks(nullptr, program);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<std::string> args(argv, argv + argc);
  if (args.size() >= 4 && args[1] == "cancel") return cancel(args[2], {args.begin() + 3, args.end()});
  if (args.size() == 3 && args[1] == "droptarget") return dropTarget(std::stoi(args[2]));
  if (args.size() >= 5 && args[1] == "dragsource") {
    QStringList paths;
    for (size_t i = 4; i < args.size(); ++i) paths << QString::fromStdString(args[i]);
    return dragSource(std::stoi(args[2]), std::stoi(args[3]), paths);
  }
  if (args.size() == 4 && args[1] == "filelinks") return fileLinks(QString::fromStdString(args[2]), args[3]);
  if (args.size() == 3 && args[1] == "mimetype") {
    std::printf("%s\n", QMimeDatabase().mimeTypeForFile(QString::fromStdString(args[2]), QMimeDatabase::MatchExtension)
                            .name()
                            .toStdString()
                            .c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: gui_probe cancel|droptarget|dragsource|mimetype ...\n");
  return 2;
}
