// Start-up shared by the Qt test suites of gui_tests: one application for
// the executable on the offscreen platform, and the graphical program's own
// start-up (language, format lists with the shipped plug-ins) inside a
// settings sandbox of the suite, so that a run outside ctest never touches
// the user's settings.
#pragma once

#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "gui/MainDialog.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace vltrx::test {

/// The application of the test executable, made by whichever suite starts
/// first. No display: Qt draws into memory.
inline void startQtApplication() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) static QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

/// A suite that starts as the graphical program does. Each test has its own
/// settings stores as well: ctest runs the tests of this executable in
/// parallel, and they all write the dialog's settings.
class GuiSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    startQtApplication();
    setenv("VLTRX_SYSTEM_FILTERS", VLTRX_FILTERS, 1);  // the " ¹" entries
    suiteSettings() = std::make_unique<Sandbox>();
    gui::startGui({"gui_tests", "-lang:en"});
  }
  static void TearDownTestSuite() { suiteSettings().reset(); }
  static std::unique_ptr<Sandbox>& suiteSettings() {
    static std::unique_ptr<Sandbox> box;
    return box;
  }
  void SetUp() override {
    setLanguage(Language::En);
    settingsKey().create(kProgramKeyPath, SettingsKey::Access::Full);
  }
  void TearDown() override { settingsKey().close(); }

  Sandbox m_settings;
};

}  // namespace vltrx::test
