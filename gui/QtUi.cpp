// Qt dialogs for the Ui interface, safe to call from the conversion thread.
#include "gui/QtUi.h"

#include "app/Program.h"
#include "core/MessageTable.h"
#include "core/PointNumberer.h"
#include "platform/Files.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <cstdlib>
#include <thread>
#include <type_traits>

namespace vltrx::gui {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

/// Runs f on the Qt main thread and returns its result; directly when the
/// caller is that thread already.
template <class F>
auto onGui(F f) -> decltype(f()) {
  if (QThread::currentThread() == qApp->thread()) return f();
  using R = decltype(f());
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

/// Cancel: the conversion thread is left where it is, so the file it is
/// writing (a hidden temporary beside the target) and the tool it may be
/// waiting for are dealt with here; the target itself only ever appears
/// complete. Then the process ends with exit code 1.
[[noreturn]] void cancelConversion() {
  platform::abandonTemporaryFiles();
  std::_Exit(1);
}

}  // namespace

QtUi::QtUi() = default;

QtUi::~QtUi() {
  delete m_window;
}

int QtUi::barPosition() const { return m_bar ? m_bar->value() : -1; }

QWidget* QtUi::owner() const { return m_window; }

void QtUi::doOpen() {
  onGui([this] {
    if (m_window) return;
    m_window = new QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                        Qt::WindowTitleHint);
    m_window->setWindowTitle(qs(text(15)));
    m_window->setObjectName("progressWindow");
    auto* layout = new QVBoxLayout(m_window);
    m_status = new QLabel(m_window);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setObjectName("status");
    m_bar = new QProgressBar(m_window);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_cancel = new QPushButton(qs(text(13)), m_window);
    m_cancel->setObjectName("cancel");
    // Cancel ends the converter at once with exit code 1, as the terminal's
    // interrupt does; a disabled button (while received categories are
    // stored) cannot be pressed.
    QObject::connect(m_cancel, &QPushButton::clicked, m_window, [] { cancelConversion(); });
    // Esc and the close box are Cancel too: ignored while it is disabled.
    QObject::connect(m_window, &QDialog::rejected, m_window, [this] {
      if (m_cancel && m_cancel->isEnabled()) cancelConversion();
      if (m_window) m_window->show();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    m_window->setMinimumWidth(480);
    m_window->show();
  });
}

void QtUi::doClose() {
  onGui([this] {
    delete m_window;
    m_window = nullptr;
    m_status = nullptr;
    m_bar = nullptr;
    m_cancel = nullptr;
  });
}

void QtUi::doSetStatus(std::string_view text) {
  QString t = qs(text);
  onGui([this, t] {
    if (m_status) m_status->setText(t);
  });
}

void QtUi::doEnableCancel(bool enabled) {
  onGui([this, enabled] {
    if (m_cancel) m_cancel->setEnabled(enabled);
  });
}

void QtUi::doSetPosition(uint32_t position) {
  int p = position > 100 ? 100 : static_cast<int>(position);
  onGui([this, p] {
    if (m_bar) m_bar->setValue(p);
  });
}

Ui::Answer QtUi::doMessageBox(std::string_view body, std::string_view caption, Buttons buttons, Icon icon) {
  QString t = qs(body), c = qs(caption);
  return onGui([this, t, c, buttons, icon] {
    QMessageBox box(owner());
    box.setWindowTitle(c);
    box.setText(t);
    switch (icon) {
      case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
      case Icon::Information: box.setIcon(QMessageBox::Information); break;
      case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
      case Icon::Question: box.setIcon(QMessageBox::Question); break;
      case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
      case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
      case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
      case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    switch (box.exec()) {
      case QMessageBox::Ok: return Answer::Ok;
      case QMessageBox::Cancel: return Answer::Cancel;
      case QMessageBox::Yes: return Answer::Yes;
      case QMessageBox::No: return Answer::No;
      default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
  });
}

bool QtUi::doWarning(int, std::string_view body) {
  QString t = qs(body);
  return onGui([this, t] {
    QMessageBox box(QMessageBox::Warning, qs(text(16)), t, QMessageBox::NoButton, owner());
    QPushButton* ok = box.addButton(qs(text(12)), QMessageBox::AcceptRole);
    box.addButton(qs(text(13)), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
  });
}

void QtUi::doErrorBox(std::string_view body, std::string_view caption) {
  QString t = qs(body), c = qs(caption);
  onGui([this, t, c] { QMessageBox::critical(owner(), c, t); });
}

bool QtUi::doAskOverwrite(std::string_view question) {
  QString t = qs(question);
  return onGui([this, t] {
    return QMessageBox::question(owner(), qs(text(0)), t, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
  });
}

int QtUi::doRenumberPrompt(std::string_view title, std::string_view message, bool commentOffered,
                           unsigned previousBits) {
  QString tt = qs(title), m = qs(message);
  return onGui([this, tt, m, commentOffered, previousBits] {
    QDialog dialog(owner());
    dialog.setWindowTitle(tt);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(m, &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* dontAsk = new QCheckBox(qs(text(8)), &dialog);
    dontAsk->setChecked(previousBits & kRenumberDontAsk);
    layout->addWidget(dontAsk);
    QCheckBox* asComment = nullptr;
    if (commentOffered) {
      asComment = new QCheckBox(qs(text(9)), &dialog);
      asComment->setChecked(previousBits & kRenumberIdAsComment);
      layout->addWidget(asComment);
    }
    auto* box = new QDialogButtonBox(&dialog);
    box->addButton(qs(text(12)), QDialogButtonBox::AcceptRole);
    box->addButton(qs(text(13)), QDialogButtonBox::RejectRole);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    if (dialog.exec() != QDialog::Accepted) return -1;
    unsigned bits = previousBits & ~(kRenumberDontAsk | kRenumberIdAsComment);
    if (dontAsk->isChecked()) bits |= kRenumberDontAsk;
    if (asComment ? asComment->isChecked() : (previousBits & kRenumberIdAsComment)) bits |= kRenumberIdAsComment;
    return static_cast<int>(bits);
  });
}

int runConversionWithDialogs(const std::vector<std::string>& args) {
  QApplication::setQuitOnLastWindowClosed(false);
  QtUi ui;
  int code = 0;
  std::thread worker([&] {
    code = runProgram(args, ui);
    QMetaObject::invokeMethod(qApp, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  worker.join();
  return code;
}

}  // namespace vltrx::gui
