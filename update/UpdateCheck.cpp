// The update check worker: one program after another, events to the caller.
#include "update/UpdateCheck.h"

#include "framework/SettingsKey.h"

#include <new>

namespace vltrx::update {
namespace {

constexpr size_t kMaxTextLength = 64;

UpdateLanguage languageOf(const ProgramEntry& p) { return languageFromCode(p.language); }

// The "Disable...UpdateVersion" value of a program, 0 when not set.
uint32_t disabledVersion(const ProgramEntry& p) {
  SettingsKey key;
  uint32_t value = 0;
  if (key.open(p.keyPath)) {
    key.applyDefaults = false;
    key.readDword(disableValueName(p.name), value, 0);
  }
  return value;
}

UpdateOffer makeOffer(const ProgramEntry& p, int newVersion) {
  UpdateLanguage lang = languageOf(p);
  UpdateOffer offer;
  offer.program = p;
  offer.newVersion = newVersion;
  offer.title = formatText(updateText(UpdateText::OfferTitle, lang), p.title);
  // "V%.3f of %s": the version comes first.
  std::string question = updateText(UpdateText::OfferQuestion, lang);
  size_t v = question.find("%.3f");
  if (v != std::string::npos) question.replace(v, 4, versionText(newVersion));
  offer.question = formatText(question, p.title);
  offer.dontRemind = updateText(UpdateText::DontRemind, lang);
  return offer;
}

// One program's check: steps 1 to 5.
int checkOne(const ProgramEntry& p, const ServiceSettings& settings, uint32_t id, const std::atomic<bool>& abort) {
  try {
    RequestQuery query;
    query.installationId = id;
    if (!internetConnected(settings.versionsUrl)) return kNoInternet;
    query.language = p.language;
    query.currentVersion = p.currentVersion;
    query.os = osVersion();
    query.programName = p.name;
    query.serial = p.serial;
    std::string reply;
    int rc = fetch(requestUrl(settings.versionsUrl, query), settings, reply, &abort);
    if (rc < 0) return rc;
    return scanVersions(reply, p.name, p.currentVersion);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace

std::string answerOffer(const UpdateOffer& offer, bool visit, bool dontRemind) {
  const ProgramEntry& p = offer.program;
  SettingsKey key;
  if (key.create(p.keyPath))
    key.writeDword(disableValueName(p.name), dontRemind ? static_cast<uint32_t>(offer.newVersion) : 0u);
  if (!visit) return {};
  return downloadPageUrl(readServiceSettings().downloadUrl, p.language, p.currentVersion, offer.newVersion,
                         p.name);
}

UpdateChecker::~UpdateChecker() {
  m_abort = true;
  wait();
}

bool UpdateChecker::registerProgram(const ProgramEntry& entry) {
  if (entry.name.size() > kMaxTextLength || entry.language.size() > kMaxTextLength) return false;
  std::lock_guard lock(m_mutex);
  if (m_programs.size() >= kMaxPrograms) return false;
  m_programs.push_back(entry);
  return true;
}

bool UpdateChecker::checkInBackground(UpdateCallback callback) { return start(false, std::move(callback)); }

bool UpdateChecker::checkWithProgress(UpdateCallback callback) { return start(true, std::move(callback)); }

std::string UpdateChecker::progressTitle() const {
  std::lock_guard lock(m_mutex);
  UpdateLanguage lang = m_programs.empty() ? UpdateLanguage::De : languageOf(m_programs.front());
  return updateText(UpdateText::ProgressTitle, lang);
}

bool UpdateChecker::start(bool withProgress, UpdateCallback callback) {
  bool expected = false;
  if (!m_running.compare_exchange_strong(expected, true)) return false;
  std::lock_guard threadLock(m_threadMutex);
  // The previous worker has finished (the flag was clear): collect it.
  if (m_thread.joinable()) m_thread.join();
  initHttp();
  m_abort = false;
  try {
    // The worker gets its own copy: the caller may change the table at once.
    std::vector<ProgramEntry> copy;
    {
      std::lock_guard lock(m_mutex);
      copy = m_programs;
    }
    StoredState stored;
    stored.service = readServiceSettings();
    stored.installationId = installationId();
    for (const ProgramEntry& p : copy) stored.disabledVersions.push_back(disabledVersion(p));
    m_thread = std::thread(&UpdateChecker::run, this, std::move(copy), std::move(stored), withProgress,
                           std::move(callback));
  } catch (...) {
    // No thread, no memory, or a store that failed: no check, and the next
    // one may start.
    m_running = false;
    return false;
  }
  return true;
}

void UpdateChecker::wait() {
  if (m_worker.load() == std::this_thread::get_id()) return;
  std::lock_guard lock(m_threadMutex);
  if (m_thread.joinable()) m_thread.join();
}

void UpdateChecker::run(std::vector<ProgramEntry> programs, StoredState stored, bool withProgress,
                        UpdateCallback callback) {
  m_worker = std::this_thread::get_id();
  UpdateEvent finished;
  finished.kind = UpdateEvent::Kind::Finished;
  // A failing callback or store must not take the program down with it: a
  // failed check never affects the program.
  try {
    const ServiceSettings& settings = stored.service;
    auto line = [&](std::string text) {
      if (!withProgress || !callback) return;
      UpdateEvent e;
      e.text = std::move(text);
      callback(e);
    };
    for (size_t i = 0; i < programs.size(); ++i) {
      const ProgramEntry& p = programs[i];
      if (m_abort) break;
      UpdateLanguage lang = languageOf(p);
      line(formatText(updateText(UpdateText::ProgressLine, lang), p.title));
      int result = checkOne(p, settings, stored.installationId, m_abort);
      finished.results.push_back(result);
      if (result > 0)
        line(formatText(updateText(UpdateText::NewVersion, lang), "", result));
      else if (result == kNothingNewer)
        line(formatText(updateText(UpdateText::NoNewVersion, lang), p.title));
      else if (result == kNoInternet)
        line(updateText(UpdateText::NoInternet, lang));
      else
        line(updateText(UpdateText::ServiceDown, lang));
      if (result <= 0 || m_abort) continue;
      // The silent run keeps quiet about a version the user declined for good;
      // the menu command offers it all the same.
      if (!withProgress && stored.disabledVersions[i] == static_cast<uint32_t>(result)) continue;
      if (callback) {
        UpdateEvent e;
        e.kind = UpdateEvent::Kind::Offer;
        e.offer = makeOffer(p, result);
        callback(e);
      }
    }
  } catch (...) {
  }
  try {
    if (callback) callback(finished);
  } catch (...) {
  }
  // Cleared last, so a start from inside the callback is refused rather
  // than waiting for this very thread.
  m_worker = std::thread::id();
  m_running = false;
}

UpdateChecker& updateChecker() {
  static UpdateChecker checker;
  return checker;
}

}  // namespace vltrx::update
