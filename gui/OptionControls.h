// The control routines every option dialog uses: value checks that report in
// a message box, the store routines that write a control to its record field
// and to the settings store, and the dialog's tooltips with their timings.
//
// A control is a QLineEdit, an editable QComboBox (its edit text counts) or,
// for the check-box routines, a QCheckBox.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class QCheckBox;
class QIcon;
class QProxyStyle;
class QWidget;

namespace vltrx {
class SettingsKey;
}

namespace vltrx::gui {

/// Tooltip timings of the option dialogs.
inline constexpr int kTooltipInitialDelay = 1500;  ///< ms until a tip shows
inline constexpr int kTooltipDisplayTime = 30000;  ///< ms a tip stays up

/// The program icon (the picture of vltrx.svg), for the dialogs' captions.
QIcon programIcon();

/// Text of a line edit or of an editable combo box; empty for other widgets.
QString controlText(const QWidget* control);
/// Sets the text of a line edit or of an editable combo box.
void setControlText(QWidget* control, const QString& text);

/// Check number: "," becomes "."; a number is written back "%.2lf%%" when the
/// text ends with "%", else "%.6lf", and passes. An empty text or one that
/// holds no number shows "Numerical value expected!" (text 128), gives the
/// focus back to the control, clears it and fails. While a check is running
/// (its message box moves the focus) every further check passes at once.
bool checkNumber(QWidget* control);

/// Check integer range: the text must be an integer from minimum to maximum,
/// else "Numerical value between %i and %i expected!" (text 130) is shown,
/// the focus returns to the control and the check fails.
bool checkIntegerRange(QWidget* control, int minimum, int maximum);

/// Check letters: the lower-cased text must have exactly as many characters
/// as allowed and consist only of its letters (in either case; repeats pass),
/// else text 129 with the length and the letters is shown, the text is
/// cleared and the check fails.
bool checkLetters(QWidget* control, std::string_view allowed);

/// Number of a control's text as Store number reads it (at most 256
/// characters, "," as ".", a trailing "%" negates); false when it holds none.
bool parseControlNumber(const QWidget* control, double& value);

/// Store number: the parsed text to field and, when name is not empty, to
/// the settings value name as the string "%.10f". False when the text does
/// not parse (nothing written).
bool storeNumber(const QWidget* control, SettingsKey& key, std::string_view name, double& field);
/// Store check box: its state to field and to name as 32-bit 1 or 0.
bool storeCheckBox(const QCheckBox* box, SettingsKey& key, std::string_view name, bool& field);
/// Store text: the control's text to field and to name as a UTF-8 string.
bool storeText(const QWidget* control, SettingsKey& key, std::string_view name, std::string& field);

/// The tooltips of one dialog. While they exist (from construction until
/// remove() or the dialog's end) the dialog is up, and only then do the
/// focus-loss checks run. Tips show after kTooltipInitialDelay, stay
/// kTooltipDisplayTime and, while one was up a moment ago, the next shows at
/// once (the reshow delay 0 of the dialogs).
class OptionTooltips : public QObject {
 public:
  /// Attaches to dialog; the tips are removed when the dialog finishes.
  explicit OptionTooltips(QWidget* dialog);
  ~OptionTooltips() override;

  /// Adds the tip of a control; on a combo box the tip sits on its edit part
  /// as well, so that it shows over the text.
  void add(QWidget* control, const QString& text);
  /// As add, with a text id of the message table.
  void add(QWidget* control, int textId);
  /// Removes every tip; the focus checks stop.
  void remove();
  bool active() const { return m_active; }

  /// Runs check whenever control loses the focus while the tips are active
  /// and the dialog is visible (not when the focus goes to the control's
  /// own drop-down list or to another window).
  void checkOnFocusLoss(QWidget* control, std::function<bool()> check);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Watch {
    QPointer<QWidget> control;
    std::function<bool()> check;
  };
  QPointer<QWidget> m_dialog;
  QProxyStyle* m_style = nullptr;
  std::vector<QPointer<QWidget>> m_tools;
  std::vector<Watch> m_watches;
  bool m_active = true;
};

}  // namespace vltrx::gui
