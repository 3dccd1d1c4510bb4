// The update check: a table of up to 9 programs, checked one after another
// on a worker thread against the update service. The caller gets every
// event through a callback that runs on the worker thread; a front end
// passes it on to its own thread (a queued signal, a posted message) and
// answers an offer there with answerOffer().
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update/UpdateRequest.h"
#include "update/UpdateTexts.h"

namespace vltrx::update {

/// One program to check.
struct ProgramEntry {
  std::string keyPath;   // its settings key, e.g. "Software\Kestrava\Velmora\vltrx"
  std::string name;      // program name sent as pgr and matched with Id, up to 64 characters
  std::string language;  // language code sent as lang and choosing the texts, up to 64 characters
  int currentVersion = 0;  // version times 1000: 3400 for 3.400
  std::string title;       // shown in the messages
  int serial = 0;          // sent as serno
};

/// A newer version the user should be told about.
struct UpdateOffer {
  ProgramEntry program;
  int newVersion = 0;
  std::string title;      // "%s Update"
  std::string question;   // "A new version V%.3f of %s is available. ..."
  std::string dontRemind; // the check box: "Don't remind again for this version"
};

struct UpdateEvent {
  enum class Kind {
    Line,      // text: one line of the progress list (progress check only)
    Offer,     // offer: show the notification, then call answerOffer()
    Finished,  // results: one per program, in table order; the check is over
  };
  Kind kind = Kind::Line;
  std::string text;
  UpdateOffer offer;
  std::vector<int> results;  // newer version, 0, kNoInternet, kServiceUnreachable, kOutOfMemory
};

using UpdateCallback = std::function<void(const UpdateEvent&)>;

/// Records the user's answer to an offer: the settings value
/// disableValueName(program) becomes the new version when dontRemind, else
/// 0. Returns the download page to open when visit, else "". Call it on
/// the caller's own thread once the notification was answered.
std::string answerOffer(const UpdateOffer& offer, bool visit, bool dontRemind);

class UpdateChecker {
 public:
  static constexpr size_t kMaxPrograms = 9;

  UpdateChecker() = default;
  /// Ends a check still running (its request is cut off) and waits for it.
  ~UpdateChecker();
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  /// Adds a program; false when the table already holds kMaxPrograms or a
  /// name or language is over 64 characters.
  bool registerProgram(const ProgramEntry& entry);
  /// The silent check: no progress lines, errors are quiet, and a version
  /// the user asked not to be reminded of is not offered. False when a
  /// check is running or the thread cannot start.
  bool checkInBackground(UpdateCallback callback);
  /// The check from the menu: progress lines, error lines, every newer
  /// version offered. False as above.
  bool checkWithProgress(UpdateCallback callback);
  /// True while a check is running.
  bool running() const { return m_running.load(); }
  /// Waits until the running check has finished (its callback included);
  /// from inside the callback it returns at once.
  void wait();
  /// The title of the progress list in the language of the first program.
  std::string progressTitle() const;

 private:
  bool start(bool withProgress, UpdateCallback callback);
  /// What the worker needs of the settings store, read by the caller: the
  /// worker never opens the stores, which are found through the
  /// environment of the moment.
  struct StoredState {
    ServiceSettings service;
    uint32_t installationId = 0;
    std::vector<uint32_t> disabledVersions;  ///< per program, 0 = none
  };
  void run(std::vector<ProgramEntry> programs, StoredState stored, bool withProgress, UpdateCallback callback);

  // Two locks, so that a callback may register programs while the caller
  // waits for the worker.
  mutable std::mutex m_mutex;  // guards m_programs
  std::vector<ProgramEntry> m_programs;
  std::mutex m_threadMutex;  // guards m_thread
  std::thread m_thread;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_abort{false};
  std::atomic<std::thread::id> m_worker{};  // the worker's id while it runs
};

/// The process-wide checker the front end registers its programs with.
UpdateChecker& updateChecker();

}  // namespace vltrx::update
