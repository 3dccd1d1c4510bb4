// One request to the update service: the installation id, the query, the
// HTTP download (libcurl) and the scan of the reply for "<VerInfo" lines.
// Everything here runs on the update-check worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {
class SettingsKey;
}

namespace vltrx::update {

/// Results of one program's check besides a newer version number.
inline constexpr int kNothingNewer = 0;
inline constexpr int kNoInternet = -1;
inline constexpr int kServiceUnreachable = -2;
inline constexpr int kOutOfMemory = -3;

/// The reply is read up to this many bytes; the rest is never looked at.
inline constexpr size_t kMaxReplyBytes = 32767;

/// Where the service is and how long a request may take. Read from the
/// maker's key "Software\Kestrava" (per-user first, then machine-wide, so an
/// organisation can set its own service for every user).
struct ServiceSettings {
  std::string versionsUrl = "https://update.kestrava.com/vltrx/versions.xml";  // "UpdateServiceUrl"
  std::string downloadUrl = "https://update.kestrava.com/vltrx/download";      // "UpdateDownloadUrl"
  uint32_t connectTimeoutSeconds = 10;  // "UpdateConnectTimeout"
  uint32_t timeoutSeconds = 30;         // "UpdateTimeout": the whole request
  std::string caFile;  // "UpdateCaFile": certificates (PEM) trusted instead of the system's, "" = the system's
};

/// The settings in force; missing or unusable values keep the defaults
/// (a time-out of 0 or above 600 seconds counts as unusable).
ServiceSettings readServiceSettings();

/// The 4-byte installation id "Environment" under "Software\Kestrava" in
/// the per-user store, as an unsigned number (little-endian bytes). When it
/// is missing (or not 4 bytes) a new one is made and stored: bytes 1, 2 and
/// 3 random, byte 0 = (~byte 2 + byte 3 + byte 1) mod 256. A store that
/// cannot be written still gives this run an id.
uint32_t installationId();
/// The byte rule above, for bytes 1 to 3 given: the whole id.
uint32_t makeInstallationId(uint8_t b1, uint8_t b2, uint8_t b3);

/// Operating-system version: the first three numbers of the kernel release
/// (uname), missing ones 0. "6.1.0-18-amd64" gives 6, 1, 0.
struct OsVersion {
  int major = 0, minor = 0, build = 0;
};
OsVersion osVersion();
OsVersion parseOsRelease(std::string_view release);

/// The request parameters of one program.
struct RequestQuery {
  uint32_t installationId = 0;
  std::string language;
  int currentVersion = 0;
  OsVersion os;
  std::string programName;
  int serial = 0;
};

/// The request address: base + "?env=%lu&lang=%s&ver=%d&os=%d.%d.%d&pgr=%s&serno=%i"
/// ("&" instead of "?" when base already has a query); texts are URL-escaped.
std::string requestUrl(std::string_view base, const RequestQuery& query);

/// The download page for a newer version: base with the keys lang, curver,
/// newver (versions times 1000) and prog.
std::string downloadPageUrl(std::string_view base, std::string_view language, int currentVersion,
                            int newVersion, std::string_view programName);

/// Scans a reply: for each line (split at CR and LF) that starts, after
/// blanks, with "<VerInfo", reads `Version` (integer) and `Id` (at most 63
/// characters); the first line with Version > 0, Id equal to programName and
/// Version > currentVersion gives Version. Otherwise 0.
int scanVersions(std::string_view reply, std::string_view programName, int currentVersion);

/// True when the system has a network connection that can reach url: an
/// interface other than loopback is up with an address, or url names the
/// loopback host itself.
bool internetConnected(std::string_view url);

/// Fetches url fresh (no cache), at most kMaxReplyBytes of it, over HTTP or
/// HTTPS with certificate checks. Returns 0 with the bytes in reply, or
/// kServiceUnreachable (refused, timed out, HTTP error, bad certificate) or
/// kOutOfMemory. abort, when it becomes true, ends the transfer quickly.
int fetch(const std::string& url, const ServiceSettings& settings, std::string& reply,
          const std::atomic<bool>* abort = nullptr);

/// The settings value that silences the background check for one version:
/// "Disable%sUpdateVersion" with the program name's first letter in upper
/// case ("vltrx" gives "DisableVltrxUpdateVersion").
std::string disableValueName(std::string_view programName);

/// Prepares libcurl once per process; call on the thread that starts the
/// first worker (curl_global_init is not safe to race).
void initHttp();

}  // namespace vltrx::update
