// Start-up in its fixed order, then one action, then the exit code.
#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/Driver.h"
#include "app/UpdateCommand.h"
#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"
#include "framework/OptionFile.h"
#include "framework/PluginFormats.h"
#include "framework/SettingsKey.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/SettingsStore.h"
#include "ui/Ui.h"
#include "xml/CategoryStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include <unistd.h>

namespace vltrx {
namespace {

void printOut(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  if (!s.empty() && s.back() != '\n') std::fputc('\n', stdout);
  std::fflush(stdout);
}


/// -opt: the option dialog of that format and direction when a display is
/// there (the graphical program opens it, with the same arguments);
/// otherwise, or when it cannot be started, the option record on the
/// terminal and how to change it.
int showOptions(const std::vector<std::string>& args, const ConversionJob& job, AllFormatOptions& options) {
  const std::string& name = job.optionFormatName;
  if (name.empty()) throw makeError(ErrorCode::InvalidOptionId);
  FormatDirection direction = FormatDirection::Import;
  const FileFormat* f = findFormat(importFormats(), name);
  if (!f) {
    f = findFormat(exportFormats(), name);
    direction = FormatDirection::Export;
  }
  if (!f) throw makeError(ErrorCode::InvalidOptionId);
  if (std::filesystem::path gui = guiProgram(); !gui.empty() && displayAvailable()) {
    std::vector<std::string> argv = args;
    argv[0] = gui.string();
    int code = 1;
    if (platform::runProgram(argv, &code)) return code;
  }
  std::string out = f->description + " (" + f->id + ")\n";
  for (const std::string& line : describeOptions(f->type, direction, options)) out += "  " + line + "\n";
  out += "\nChange these values for one run with the switches of -help:" + shortId(*f) +
         ", or keep them with -saveopt:<file> and -loadopt:<file>.\n";
  printOut(out);
  return 0;
}

int dispatch(const std::vector<std::string>& args, ConversionJob& job, AllFormatOptions& options, Ui& ui) {
  switch (job.action) {
    case Action::Gui: {
      // The graphical program is its own executable, so that this one needs
      // neither Qt nor a display; it gets the same arguments.
      std::filesystem::path gui = guiProgram();
      if (!gui.empty() && !displayAvailable()) {
        std::fputs("vltrx: the graphical interface needs a display (DISPLAY or WAYLAND_DISPLAY); use the command line.\n",
                   stderr);
        return 1;
      }
      if (!gui.empty()) {
        std::vector<std::string> argv = args;
        argv[0] = gui.string();
        int code = 1;
        if (platform::runProgram(argv, &code)) return code;
      }
      std::fputs("vltrx: the graphical interface is not part of this build; use the command line.\n", stderr);
      return 1;
    }
    case Action::EditOptions:
      return showOptions(args, job, options);
    case Action::SaveOptions: {
      int in = job.inputFormat, out = job.outputFormat;
      if (in == 0 && out == 0) in = out = kFormatAll;
      if (!saveOptionFile(settingsKey(), job.inputPath, in, out))
        throw makeError(ErrorCode::CannotCreateFile, job.inputPath);
      return 0;
    }
    case Action::LoadOptions:
      if (int rc = loadOptionFile(job.inputPath); rc < 0) throw makeError(rc);
      return 0;
    case Action::OpenDialogThenConvert:
    case Action::SaveDialogThenConvert:
      std::fputs("vltrx: file dialogs need the graphical interface; give the paths on the command line.\n", stderr);
      return 1;
    case Action::Convert:
      return convert(job, options, ui);
  }
  return 0;
}

}  // namespace

void chooseLanguage(const std::vector<std::string>& args, bool save) {
  SettingsKey product;
  std::optional<std::string> stored;
  if (product.open(kProductKeyPath)) {
    product.applyDefaults = false;
    std::string value;
    if (product.readString("PreferredLanguage", value, "")) stored = value;
  }
  Language lang = selectLanguage(stored, args);
  setLanguage(lang);
  if (save) {
    SettingsKey writable;
    if (writable.create(kProductKeyPath)) writable.writeString("PreferredLanguage", storedLanguageCode(lang));
  }
}

std::filesystem::path guiProgram() {
  std::filesystem::path gui = platform::programFolder() / "vltrx-gui";
  if (access(gui.c_str(), X_OK) != 0) return {};
  return gui;
}

bool displayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

int exitStatusFor(int code) {
  int status = code & 0xFF;
  if (status == 0 && code != 0) status = 255;
  return status;
}

int runProgram(const std::vector<std::string>& args, Ui& ui) {
  ConversionJob job;
  try {
    SettingsKey& key = settingsKey();
    key.create(kProgramKeyPath, SettingsKey::Access::Full);
    prescanArguments(args, job);
    ui.setQuiet(job.noDialog);
    // A per-user store that is there but cannot be read (not a database,
    // damaged) would silently turn every stored option into its default.
    if (!key.unreadableUserStore().empty())
      throw makeError(ErrorCode::CannotOpenFile, key.unreadableUserStore().string());

    // A first start of this user (no "Version" in the per-user store yet)
    // stores every format's default options, as an installation would, so
    // that option files carry them. A machine-wide "Version" says nothing
    // about this user.
    bool firstStart = key.userStore() && !key.userStore()->read(key.path(), "Version");
    key.writeDword("Version", static_cast<uint32_t>(kProgramVersion));
    chooseLanguage(args, job.guiRequested);
    std::error_code ec;
    std::filesystem::create_directories(platform::tempPath() / "Trx_Temp", ec);
    setPluginScanner(scanPlugins);
    buildFormatList(FormatDirection::Import);
    buildFormatList(FormatDirection::Export);
    publishFormatList(key, FormatDirection::Import);
    publishFormatList(key, FormatDirection::Export);
    // No installer runs here: the first start creates the category folders.
    {
      SettingsKey categories = openCategorySettings(true);
      ensureCategoryFolders(categories);
    }
    // "-default:<name>" loads the saved settings as without it.
    AllFormatOptions& options = formatOptions();
    options.loadAll(key, job.loadSavedSettings);
    if (firstStart) {
      AllFormatOptions defaults;
      defaults.loadAll(key, false);
      defaults.saveAll(key);
    }
    if (job.loadSavedSettings) key.readString("PointID_Prefix", job.pointIdPrefix, "#");

    if (job.versionQuery) {
      printOut(std::string("vltrx ") + kVersionText);
      return kProgramVersion;
    }
    if (job.updateCheck) return runUpdateCheck(stdout);
    if (args.size() < 2) {
      printOut(usageText());
      return 1;
    }
    int result = parseArguments(args, job, options);
    if (result > 0) {
      printOut(job.output);
      return result;
    }
    ui.setQuiet(job.noDialog);
    return dispatch(args, job, options, ui);
  } catch (const CError& e) {
    std::string line = text(17) + " " + std::to_string(e.code()) + ": " + e.message();
    std::fprintf(stderr, "%s\n", escapeControlCharacters(line, true).c_str());
    ui.closeProgress();
    ui.errorBox(line, text(0));
    return e.code();
  } catch (const ExitRequest& r) {
    ui.closeProgress();
    return r.code;
  } catch (const std::bad_alloc&) {
    CError e = makeError(ErrorCode::StorageExceeded);
    std::fprintf(stderr, "%s %i: %s\n", text(17).c_str(), e.code(), e.message().c_str());
    return e.code();
  }
}

}  // namespace vltrx
