// The command-line update check: the menu command's progress list on stdout.
#include "app/UpdateCommand.h"

#include "app/CommandLine.h"
#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "update/UpdateCheck.h"

#include <string>

namespace vltrx {

int runUpdateCheck(std::FILE* out) {
  using namespace update;
  ProgramEntry self{std::string(kProgramKeyPath), "vltrx", storedLanguageCode(currentLanguage()),
                    kProgramVersion, "vltrx", 0};
  UpdateChecker& checker = updateChecker();
  checker.registerProgram(self);
  int result = kNothingNewer;
  // The callback runs on the worker; stdout is the only thing it touches,
  // and this thread only waits.
  bool started = checker.checkWithProgress([&](const UpdateEvent& e) {
    switch (e.kind) {
      case UpdateEvent::Kind::Line:
        std::fprintf(out, "%s\n", e.text.c_str());
        break;
      case UpdateEvent::Kind::Offer:
        // No dialog here: the question is shown with the page to visit, and
        // the "don't remind" value is left as it is.
        std::fprintf(out, "%s\n%s\n%s\n", e.offer.title.c_str(), e.offer.question.c_str(),
                     downloadPageUrl(readServiceSettings().downloadUrl, e.offer.program.language,
                                     e.offer.program.currentVersion, e.offer.newVersion, e.offer.program.name)
                         .c_str());
        break;
      case UpdateEvent::Kind::Finished:
        if (!e.results.empty()) result = e.results.front();
        break;
    }
    std::fflush(out);
  });
  if (!started) return kServiceUnreachable;
  checker.wait();
  return result < 0 ? result : 0;
}

}  // namespace vltrx
