// Progress phases and their 100 ms throttle.
#include "ui/Ui.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vltrx;

namespace {
class ClockUi : public SilentUi {
 public:
  uint32_t now = 1000;
  std::vector<uint32_t> positions;

 protected:
  void doSetPosition(uint32_t p) override { positions.push_back(p); }
  uint32_t tickMs() const override { return now; }
};
}  // namespace

TEST(Progress, UpdatesFasterThan100msAreThrottled) {
  ClockUi ui;
  ui.openProgress();
  ui.resetProgress();  // draws 0
  ui.beginPhase(100, 10);
  ui.now += 50;
  ui.update(5);  // within 100 ms of the reset: nothing
  ui.now += 60;
  ui.update(6);  // 110 ms after the last draw
  EXPECT_EQ(ui.positions, (std::vector<uint32_t>{0, 60}));
  EXPECT_EQ(ui.progressCurrent(), 6u);
}

TEST(Progress, PhaseWithZeroTotalNeverDraws) {
  ClockUi ui;
  ui.openProgress();
  ui.beginPhase(100, 0);
  ui.now += 500;
  ui.update(3);
  EXPECT_TRUE(ui.positions.empty());
}

TEST(Progress, QuietShowsNothingAndMessageBoxAnswersNone) {
  ClockUi ui;
  ui.setQuiet(true);
  ui.openProgress();
  ui.resetProgress();
  EXPECT_TRUE(ui.positions.empty());
  EXPECT_EQ(ui.messageBox("x", nullptr, "Warning", Ui::Buttons::OkCancel, Ui::Icon::Warning), Ui::Answer::None);
  ui.warningDialog(105, "never shown");  // no throw
}
