// The update request: installation id, query, libcurl download, reply scan.
#include "update/UpdateRequest.h"

#include "framework/SettingsKey.h"
#include "platform/SettingsStore.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/utsname.h>

#include <charconv>
#include <chrono>
#include <mutex>
#include <new>
#include <random>

namespace vltrx::update {

using platform::ValueType;

namespace {

constexpr std::string_view kInstallationIdName = "Environment";
constexpr size_t kMaxIdLength = 63;
constexpr uint32_t kMaxTimeoutSeconds = 600;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void appendNumber(std::string& out, long long value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, end);
}

// URL-escapes everything but the unreserved characters (RFC 3986).
void appendEscaped(std::string& out, std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
}

char querySeparator(std::string_view base) { return base.find('?') == std::string_view::npos ? '?' : '&'; }

// The attributes of a "<VerInfo" line: name="value" or name='value' pairs
// up to the closing '>'. Only whole names count, so "MinVersion" is no
// "Version".
struct VerInfo {
  bool hasVersion = false;
  long long version = 0;
  bool idUsable = false;
  std::string_view id;
};

VerInfo parseVerInfo(std::string_view line) {
  VerInfo info;
  size_t i = 0;
  auto isNameChar = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.';
  };
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || line[i] == '>' || line[i] == '/') break;
    size_t nameStart = i;
    while (i < line.size() && isNameChar(line[i])) ++i;
    std::string_view name = line.substr(nameStart, i - nameStart);
    if (name.empty()) break;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || line[i] != '=') break;
    ++i;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || (line[i] != '"' && line[i] != '\'')) break;
    char quote = line[i++];
    size_t close = line.find(quote, i);
    if (close == std::string_view::npos) break;
    std::string_view value = line.substr(i, close - i);
    i = close + 1;
    if (name == "Version" && !info.hasVersion) {
      long long v = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
      if (ec == std::errc() && end == value.data() + value.size()) {
        info.hasVersion = true;
        info.version = v;
      }
    } else if (name == "Id" && !info.idUsable) {
      // A longer Id fits no program name (those are shorter), so it is no match
      // rather than being cut to one.
      info.idUsable = value.size() <= kMaxIdLength;
      info.id = value;
    }
  }
  return info;
}

bool isLoopbackHost(std::string_view url) {
  size_t scheme = url.find("://");
  std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
  size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
  std::string_view host;
  if (!authority.empty() && authority[0] == '[') {
    host = authority.substr(1, authority.find(']') - 1);
  } else {
    host = authority.substr(0, authority.find(':'));
  }
  return host == "localhost" || host.starts_with("127.") || host == "::1";
}

struct Transfer {
  std::string* reply;
  const std::atomic<bool>* abort;
  bool full = false;
  bool outOfMemory = false;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t bytes = size * count;
  size_t room = kMaxReplyBytes - t->reply->size();
  size_t take = bytes < room ? bytes : room;
  try {
    t->reply->append(data, take);
  } catch (const std::bad_alloc&) {
    t->outOfMemory = true;
    return 0;
  }
  if (take < bytes) {
    // Enough read: a short count ends the transfer (CURLE_WRITE_ERROR).
    t->full = true;
    return take;
  }
  return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  return t->abort && t->abort->load() ? 1 : 0;
}

}  // namespace

ServiceSettings readServiceSettings() {
  ServiceSettings s;
  SettingsKey maker;
  if (!maker.open(kMakerKeyPath)) return s;
  maker.applyDefaults = false;
  std::string text;
  if (maker.readString("UpdateServiceUrl", text, "") && !text.empty()) s.versionsUrl = text;
  if (maker.readString("UpdateDownloadUrl", text, "") && !text.empty()) s.downloadUrl = text;
  if (maker.readString("UpdateCaFile", text, "")) s.caFile = text;
  uint32_t seconds = 0;
  if (maker.readDword("UpdateConnectTimeout", seconds, 0) && seconds > 0 && seconds <= kMaxTimeoutSeconds)
    s.connectTimeoutSeconds = seconds;
  if (maker.readDword("UpdateTimeout", seconds, 0) && seconds > 0 && seconds <= kMaxTimeoutSeconds)
    s.timeoutSeconds = seconds;
  return s;
}

uint32_t makeInstallationId(uint8_t b1, uint8_t b2, uint8_t b3) {
  uint8_t b0 = static_cast<uint8_t>(static_cast<uint8_t>(~b2) + b3 + b1);
  return uint32_t(b0) | uint32_t(b1) << 8 | uint32_t(b2) << 16 | uint32_t(b3) << 24;
}

uint32_t installationId() {
  // Per-user only: the id names this user's installation, and the
  // machine-wide store is the installation's, never written by a run.
  SettingsKey maker;
  maker.create(kMakerKeyPath);
  if (platform::SettingsStore* user = maker.userStore()) {
    auto stored = user->read(maker.path(), kInstallationIdName);
    if (stored && stored->type == ValueType::Binary && stored->data.size() == 4) {
      const auto* b = reinterpret_cast<const unsigned char*>(stored->data.data());
      return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
  }
  // Seeded with the current time, as the id needs no secrecy, only spread.
  auto now = std::chrono::system_clock::now().time_since_epoch().count();
  std::minstd_rand random(static_cast<std::minstd_rand::result_type>(now ^ (now >> 32)));
  std::uniform_int_distribution<int> byte(0, 255);
  uint8_t b1 = static_cast<uint8_t>(byte(random));
  uint8_t b2 = static_cast<uint8_t>(byte(random));
  uint8_t b3 = static_cast<uint8_t>(byte(random));
  uint32_t id = makeInstallationId(b1, b2, b3);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((id >> (8 * i)) & 0xff);
  maker.writeValue(kInstallationIdName, ValueType::Binary, bytes);
  return id;
}

OsVersion parseOsRelease(std::string_view release) {
  OsVersion v;
  int* fields[] = {&v.major, &v.minor, &v.build};
  const char* p = release.data();
  const char* end = p + release.size();
  for (int i = 0; i < 3 && p < end; ++i) {
    int n = 0;
    auto [next, ec] = std::from_chars(p, end, n);
    if (ec != std::errc()) break;
    *fields[i] = n;
    p = next;
    if (p >= end || *p != '.') break;
    ++p;
  }
  return v;
}

OsVersion osVersion() {
  utsname name{};
  if (uname(&name) != 0) return {};
  return parseOsRelease(name.release);
}

std::string requestUrl(std::string_view base, const RequestQuery& q) {
  std::string url(base);
  url += querySeparator(base);
  url += "env=";
  appendNumber(url, q.installationId);
  url += "&lang=";
  appendEscaped(url, q.language);
  url += "&ver=";
  appendNumber(url, q.currentVersion);
  url += "&os=";
  appendNumber(url, q.os.major);
  url += '.';
  appendNumber(url, q.os.minor);
  url += '.';
  appendNumber(url, q.os.build);
  url += "&pgr=";
  appendEscaped(url, q.programName);
  url += "&serno=";
  appendNumber(url, q.serial);
  return url;
}

std::string downloadPageUrl(std::string_view base, std::string_view language, int currentVersion,
                            int newVersion, std::string_view programName) {
  std::string url(base);
  url += querySeparator(base);
  url += "lang=";
  appendEscaped(url, language);
  url += "&curver=";
  appendNumber(url, currentVersion);
  url += "&newver=";
  appendNumber(url, newVersion);
  url += "&prog=";
  appendEscaped(url, programName);
  return url;
}

int scanVersions(std::string_view reply, std::string_view programName, int currentVersion) {
  constexpr std::string_view kTag = "<VerInfo";
  size_t pos = 0;
  while (pos < reply.size()) {
    size_t end = reply.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = reply.size();
    std::string_view line = reply.substr(pos, end - pos);
    pos = end + 1;
    size_t start = 0;
    while (start < line.size() && isBlank(line[start])) ++start;
    line.remove_prefix(start);
    if (!line.starts_with(kTag)) continue;
    VerInfo info = parseVerInfo(line.substr(kTag.size()));
    if (info.hasVersion && info.version > 0 && info.version <= INT32_MAX && info.idUsable &&
        info.id == programName && info.version > currentVersion)
      return static_cast<int>(info.version);
  }
  return kNothingNewer;
}

bool internetConnected(std::string_view url) {
  if (isLoopbackHost(url)) return true;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return true;  // cannot tell: let the request decide
  bool connected = false;
  for (ifaddrs* a = list; a && !connected; a = a->ifa_next) {
    if (!a->ifa_addr || (a->ifa_flags & IFF_LOOPBACK) || !(a->ifa_flags & IFF_UP) ||
        !(a->ifa_flags & IFF_RUNNING))
      continue;
    int family = a->ifa_addr->sa_family;
    connected = family == AF_INET || family == AF_INET6;
  }
  freeifaddrs(list);
  return connected;
}

void initHttp() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int fetch(const std::string& url, const ServiceSettings& settings, std::string& reply,
          const std::atomic<bool>* abort) {
  initHttp();
  reply.clear();
  try {
    reply.reserve(kMaxReplyBytes);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  CURL* curl = curl_easy_init();
  if (!curl) return kServiceUnreachable;
  Transfer transfer{&reply, abort};
  curl_slist* headers = nullptr;
  // A fresh copy every time: neither the service's nor a proxy's cache.
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Kestrava Update");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // An organisation's service may carry a certificate of its own CA.
  if (!settings.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.c_str());
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // worker thread: no SIGALRM for resolver time-outs
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(settings.connectTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(settings.timeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  CURLcode rc = curl_easy_perform(curl);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  if (transfer.outOfMemory || rc == CURLE_OUT_OF_MEMORY) return kOutOfMemory;
  if (rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && transfer.full)) return 0;
  reply.clear();
  return kServiceUnreachable;
}

std::string disableValueName(std::string_view programName) {
  std::string name(programName);
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  return "Disable" + name + "UpdateVersion";
}

}  // namespace vltrx::update
