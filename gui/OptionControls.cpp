// Value checks, store routines and tooltips of the option dialogs.
#include "gui/OptionControls.h"

#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "framework/SettingsKey.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>

#include <cstdint>

namespace vltrx::gui {
namespace {

QString msg(int id) { return QString::fromStdString(text(id)); }

/// The re-entrance guard of the checks: a failed check's message box takes
/// the focus from the control, which would start the same check again.
bool g_checkRunning = false;

class CheckGuard {
 public:
  CheckGuard() : m_owner(!g_checkRunning) { g_checkRunning = true; }
  ~CheckGuard() {
    if (m_owner) g_checkRunning = false;
  }
  /// False when another check is running; this one then passes at once.
  bool owner() const { return m_owner; }

 private:
  bool m_owner;
};

void warn(QWidget* control, const QString& message) {
  QMessageBox::warning(control ? control->window() : nullptr, msg(0), message);
}

/// The text limited to limit characters, as a fixed text buffer would hold it.
std::string limited(const QWidget* control, int limit) {
  return controlText(control).left(limit).toStdString();
}

/// A number at the start of the text, as "%lf" reads it ("," already ".").
bool leadingNumber(const std::string& s, double& value) { return parseLeadingDouble(s, value) > 0; }

/// Tips after 1.5 s; Qt's fall-asleep window keeps the next tip immediate
/// once one has been shown, which is the reshow delay 0 of the dialogs.
class TooltipStyle : public QProxyStyle {
 public:
  // The application's own style underneath, so the controls look alike.
  TooltipStyle() : QProxyStyle(QApplication::style()->name()) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kTooltipInitialDelay;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QProxyStyle* tooltipStyle() {
  // One for the process: widgets do not own their style, and a dialog's
  // controls may outlive any one tooltip object during destruction.
  static QProxyStyle* style = [] {
    auto* s = new TooltipStyle;
    s->setParent(qApp);
    return s;
  }();
  return style;
}

}  // namespace

QIcon programIcon() {
  // Drawn as vltrx.svg draws it: this Qt may come without its SVG plug-in.
  QPixmap picture(64, 64);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#2f5d8a"));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
  const QPointF points[] = {{12, 46}, {26, 22}, {40, 38}, {52, 16}};
  QPen line(Qt::white, 4);
  line.setJoinStyle(Qt::RoundJoin);
  p.setPen(line);
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(points, 4);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#f2c14e"));
  for (const QPointF& at : points) p.drawEllipse(at, 4, 4);
  p.end();
  return QIcon(picture);
}

QString controlText(const QWidget* control) {
  if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
  if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
  return {};
}

void setControlText(QWidget* control, const QString& value) {
  if (auto* edit = qobject_cast<QLineEdit*>(control))
    edit->setText(value);
  else if (auto* combo = qobject_cast<QComboBox*>(control))
    combo->setEditText(value);
}

bool checkNumber(QWidget* control) {
  CheckGuard guard;
  if (!guard.owner()) return true;
  std::string s = limited(control, 128);
  for (char& c : s)
    if (c == ',') c = '.';
  double value = 0;
  if (!s.empty() && leadingNumber(s, value)) {
    bool percent = s.back() == '%';
    std::string shown = formatFixed(value, percent ? 2 : 6);
    if (percent) shown += '%';
    setControlText(control, QString::fromStdString(shown));
    return true;
  }
  warn(control, msg(128));
  control->setFocus(Qt::OtherFocusReason);
  setControlText(control, QString());
  return false;
}

bool checkIntegerRange(QWidget* control, int minimum, int maximum) {
  CheckGuard guard;
  if (!guard.owner()) return true;
  std::string s = limited(control, 128);
  int64_t value = 0;
  size_t used = parseLeadingInt(s, value);
  if (used > 0 && value >= minimum && value <= maximum) return true;
  QString message = msg(130);
  message.replace(message.indexOf("%i"), 2, QString::number(minimum));
  message.replace(message.indexOf("%i"), 2, QString::number(maximum));
  warn(control, message);
  control->setFocus(Qt::OtherFocusReason);
  return false;
}

bool checkLetters(QWidget* control, std::string_view allowed) {
  CheckGuard guard;
  if (!guard.owner()) return true;
  QString value = controlText(control).left(128).toLower();
  QString letters = QString::fromUtf8(allowed.data(), static_cast<qsizetype>(allowed.size())).toLower();
  bool ok = value.size() == letters.size();
  for (QChar c : value)
    if (!letters.contains(c)) ok = false;
  if (ok) return true;
  QString message = msg(129);
  message.replace(message.indexOf("%i"), 2, QString::number(letters.size()));
  message.replace(message.indexOf("%s"), 2, QString::fromUtf8(allowed.data(), static_cast<qsizetype>(allowed.size())));
  warn(control, message);
  control->setFocus(Qt::OtherFocusReason);
  setControlText(control, QString());
  return false;
}

bool parseControlNumber(const QWidget* control, double& value) {
  std::string s = limited(control, 256);
  for (char& c : s)
    if (c == ',') c = '.';
  double parsed = 0;
  if (s.empty() || !leadingNumber(s, parsed)) return false;
  // Percent values are kept as negative numbers.
  value = s.back() == '%' ? -parsed : parsed;
  return true;
}

bool storeNumber(const QWidget* control, SettingsKey& key, std::string_view name, double& field) {
  double value = 0;
  if (!parseControlNumber(control, value)) return false;
  field = value;
  return name.empty() || key.writeDouble(name, value);
}

bool storeCheckBox(const QCheckBox* box, SettingsKey& key, std::string_view name, bool& field) {
  field = box->isChecked();
  return name.empty() || key.writeBool(name, field);
}

bool storeText(const QWidget* control, SettingsKey& key, std::string_view name, std::string& field) {
  field = controlText(control).toStdString();
  return name.empty() || key.writeString(name, field);
}

// ------------------------------------------------------------------------------------------------

OptionTooltips::OptionTooltips(QWidget* dialog) : QObject(dialog), m_dialog(dialog) {
  m_style = tooltipStyle();
  if (auto* d = qobject_cast<QDialog*>(dialog)) connect(d, &QDialog::finished, this, [this] { remove(); });
}

OptionTooltips::~OptionTooltips() {
  for (const Watch& w : m_watches)
    if (w.control) w.control->removeEventFilter(this);
}

void OptionTooltips::add(QWidget* control, const QString& tip) {
  auto attach = [&](QWidget* w) {
    w->setToolTip(tip);
    w->setToolTipDuration(kTooltipDisplayTime);
    // The wake-up delay is read from the style of the widget under the mouse.
    w->setStyle(m_style);
    m_tools.emplace_back(w);
  };
  attach(control);
  if (auto* combo = qobject_cast<QComboBox*>(control))
    if (QLineEdit* edit = combo->lineEdit()) attach(edit);
}

void OptionTooltips::add(QWidget* control, int textId) { add(control, msg(textId)); }

void OptionTooltips::remove() {
  m_active = false;
  for (const QPointer<QWidget>& w : m_tools)
    if (w) w->setToolTip(QString());
  m_tools.clear();
}

void OptionTooltips::checkOnFocusLoss(QWidget* control, std::function<bool()> check) {
  control->installEventFilter(this);
  m_watches.push_back({control, std::move(check)});
}

bool OptionTooltips::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && m_active && m_dialog && m_dialog->isVisible()) {
    auto reason = static_cast<QFocusEvent*>(event)->reason();
    // The combo box's own list and a switch to another window are no
    // leaving of the field.
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      for (const Watch& w : m_watches)
        if (w.control == watched && w.check) {
          auto check = w.check;  // the check may add watches (a message box)
          check();
          break;
        }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vltrx::gui
