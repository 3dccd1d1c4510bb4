// Settings store on SQLite. Layout of a database file:
//   keys(id, fold, path)                     one row per key path
//   vals(id, key_id, fold, name, type, data) one row per value
// "fold" holds the ASCII-lower-cased path or name and carries the unique
// indexes, so lookups ignore case like the registry while the spelling of the
// first write is kept. Names and data are BLOBs: any byte, NUL included,
// survives. A value's id is given on first insert and kept by an overwrite
// (upsert), so ordering by id enumerates in first-written order.
//
// Concurrency: WAL journal, a 10 s busy timeout and one BEGIN IMMEDIATE
// transaction per write, so writers of several processes queue up instead of
// failing or overwriting each other.
#include "platform/SettingsStore.h"

#include "platform/Paths.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

namespace vltrx::platform {

namespace fs = std::filesystem;

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr size_t kMaxKeySegment = 255;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY, fold BLOB NOT NULL UNIQUE, path BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY, key_id INTEGER NOT NULL, fold BLOB NOT NULL,"
    " name BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
    " UNIQUE(key_id, fold));";

enum Statement {
  kKeyExists,
  kInsertKey,
  kReadValue,
  kUpsertValue,
  kDeleteValue,
  kEnumerate,
  kStatementCount
};

std::string fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Binds bytes as a BLOB; an empty view still binds an empty BLOB, not NULL.
int bindBytes(sqlite3_stmt* st, int index, std::string_view bytes) {
  static const char kEmpty = 0;
  return sqlite3_bind_blob(st, index, bytes.empty() ? &kEmpty : bytes.data(),
                           static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

std::string columnBytes(sqlite3_stmt* st, int column) {
  const void* p = sqlite3_column_blob(st, column);
  int n = sqlite3_column_bytes(st, column);
  if (!p || n <= 0) return {};
  return std::string(static_cast<const char*>(p), static_cast<size_t>(n));
}

// Resets a cached statement when it goes out of scope.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* st) : m_st(st) {}
  ~StatementUse() {
    if (m_st) {
      sqlite3_reset(m_st);
      sqlite3_clear_bindings(m_st);
    }
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  sqlite3_stmt* get() const { return m_st; }
  explicit operator bool() const { return m_st != nullptr; }

 private:
  sqlite3_stmt* m_st;
};

// A file may be written when the process has access and the file carries a
// write permission bit at all: root passes access() for everything, and a
// file made read-only on purpose must stay untouched for it too.
bool fileWritable(const fs::path& file) {
  struct stat st{};
  if (::stat(file.c_str(), &st) != 0) return false;
  if ((st.st_mode & 0222) == 0) return false;
  return ::access(file.c_str(), W_OK) == 0;
}

// "file:" URI of a path for sqlite3_open_v2 with SQLITE_OPEN_URI.
std::string fileUri(const fs::path& file, const char* query) {
  std::string uri = "file:";
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : file.string()) {
    if (c == '%' || c == '?' || c == '#' || c < 0x21 || c >= 0x7f) {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  uri += query;
  return uri;
}

sqlite3* openConnection(const fs::path& file, int flags, bool immutable = false) {
  sqlite3* db = nullptr;
  int rc;
  if (immutable)
    rc = sqlite3_open_v2(fileUri(file, "?immutable=1").c_str(), &db,
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  else
    rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 0);
  return db;
}

// Runs sql and returns the primary result code.
int run(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) & 0xff;
}

// Sets up a read-write connection: WAL journal and the tables. Returns the
// SQLite result code of the first failure.
int prepareWritable(sqlite3* db) {
  if (sqlite3_db_readonly(db, "main") == 1) return SQLITE_READONLY;
  int rc = run(db, "PRAGMA journal_mode=WAL");
  if (rc != SQLITE_OK) return rc;
  // In WAL mode NORMAL keeps every commit safe from a crash of the program;
  // only a power cut may lose the last ones. FULL costs an fsync per value.
  rc = run(db, "PRAGMA synchronous=NORMAL");
  if (rc != SQLITE_OK) return rc;
  return run(db, kSchema);
}

}  // namespace

SettingsStore::SettingsStore(sqlite3* db, fs::path file, bool writable)
    : m_db(db), m_file(std::move(file)), m_writable(writable) {}

SettingsStore::~SettingsStore() {
  for (sqlite3_stmt*& st : m_statements) sqlite3_finalize(st);
  sqlite3_close_v2(m_db);
}

std::unique_ptr<SettingsStore> SettingsStore::openRoot(Root root, Mode mode) {
  return open(root == Root::User ? userSettingsPath() : machineSettingsPath(), mode);
}

std::unique_ptr<SettingsStore> SettingsStore::open(const fs::path& file, Mode mode) {
  if (file.empty()) return nullptr;
  std::error_code ec;
  fs::file_status status = fs::status(file, ec);
  bool exists = fs::exists(status);
  if (exists && !fs::is_regular_file(status)) return nullptr;
  if (!exists) {
    if (mode == Mode::Read) return nullptr;
    if (file.has_parent_path()) {
      fs::create_directories(file.parent_path(), ec);
      if (ec) return nullptr;
    }
  }

  if (mode == Mode::Create && (!exists || fileWritable(file))) {
    if (sqlite3* db = openConnection(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) {
      int rc = prepareWritable(db);
      if (rc == SQLITE_OK) return std::unique_ptr<SettingsStore>(new SettingsStore(db, file, true));
      sqlite3_close_v2(db);
      // A damaged file is unavailable; anything else (read-only file or
      // folder, locked for longer than the time-out) may still be read.
      if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) return nullptr;
    }
    if (!fs::exists(file, ec)) return nullptr;
  }

  // Read-only. A WAL database needs its -shm file; where that cannot be
  // created (folder of another user) the file is read as immutable.
  for (bool immutable : {false, true}) {
    sqlite3* db = openConnection(file, SQLITE_OPEN_READONLY, immutable);
    if (!db) continue;
    int rc = run(db, "SELECT count(*) FROM sqlite_master");
    if (rc == SQLITE_OK) return std::unique_ptr<SettingsStore>(new SettingsStore(db, file, false));
    sqlite3_close_v2(db);
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) return nullptr;
  }
  return nullptr;
}

std::string SettingsStore::normalizeKeyPath(std::string_view keyPath) {
  while (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
  if (keyPath.empty()) return {};
  size_t start = 0;
  while (start <= keyPath.size()) {
    size_t end = keyPath.find('\\', start);
    if (end == std::string_view::npos) end = keyPath.size();
    size_t length = end - start;
    if (length == 0 || length > kMaxKeySegment) return {};
    start = end + 1;
  }
  return std::string(keyPath);
}

sqlite3_stmt* SettingsStore::statement(int which, const char* sql) const {
  sqlite3_stmt*& st = m_statements[which];
  if (!st && sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    st = nullptr;
  }
  return st;
}

bool SettingsStore::exec(const char* sql) const { return run(m_db, sql) == SQLITE_OK; }

bool SettingsStore::keyExists(std::string_view keyPath) const {
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty()) return false;
  StatementUse st(statement(kKeyExists, "SELECT 1 FROM keys WHERE fold=?1"));
  if (!st) return false;
  bindBytes(st.get(), 1, fold(key));
  return sqlite3_step(st.get()) == SQLITE_ROW;
}

bool SettingsStore::createKey(std::string_view keyPath) {
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty() || !m_writable) return false;
  StatementUse st(statement(kInsertKey, "INSERT OR IGNORE INTO keys(fold, path) VALUES(?1, ?2)"));
  if (!st) return false;
  bindBytes(st.get(), 1, fold(key));
  bindBytes(st.get(), 2, key);
  return sqlite3_step(st.get()) == SQLITE_DONE;
}

std::optional<SettingsValue> SettingsStore::read(std::string_view keyPath,
                                                 std::string_view name) const {
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty()) return std::nullopt;
  StatementUse st(statement(kReadValue,
                            "SELECT v.name, v.type, v.data FROM vals v JOIN keys k ON v.key_id = k.id"
                            " WHERE k.fold = ?1 AND v.fold = ?2"));
  if (!st) return std::nullopt;
  bindBytes(st.get(), 1, fold(key));
  bindBytes(st.get(), 2, fold(name));
  if (sqlite3_step(st.get()) != SQLITE_ROW) return std::nullopt;
  SettingsValue value;
  value.name = columnBytes(st.get(), 0);
  value.type = static_cast<ValueType>(sqlite3_column_int64(st.get(), 1));
  value.data = columnBytes(st.get(), 2);
  return value;
}

bool SettingsStore::write(std::string_view keyPath, std::string_view name, ValueType type,
                          std::string_view data) {
  if (!m_writable || name.size() > kMaxNameLength || data.size() > kMaxDataSize) return false;
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty()) return false;
  if (!exec("BEGIN IMMEDIATE")) return false;
  if (writeInTransaction(key, name, type, data) && exec("COMMIT")) return true;
  exec("ROLLBACK");
  return false;
}

bool SettingsStore::writeInTransaction(std::string_view key, std::string_view name,
                                       ValueType type, std::string_view data) {
  std::string keyFold = fold(key);
  {
    StatementUse st(statement(kInsertKey, "INSERT OR IGNORE INTO keys(fold, path) VALUES(?1, ?2)"));
    if (!st) return false;
    bindBytes(st.get(), 1, keyFold);
    bindBytes(st.get(), 2, key);
    if (sqlite3_step(st.get()) != SQLITE_DONE) return false;
  }
  StatementUse st(statement(kUpsertValue,
                            "INSERT INTO vals(key_id, fold, name, type, data)"
                            " SELECT id, ?2, ?3, ?4, ?5 FROM keys WHERE fold = ?1"
                            " ON CONFLICT(key_id, fold) DO UPDATE SET"
                            " type = excluded.type, data = excluded.data"));
  if (!st) return false;
  bindBytes(st.get(), 1, keyFold);
  bindBytes(st.get(), 2, fold(name));
  bindBytes(st.get(), 3, name);
  sqlite3_bind_int64(st.get(), 4, static_cast<uint32_t>(type));
  bindBytes(st.get(), 5, data);
  return sqlite3_step(st.get()) == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool SettingsStore::remove(std::string_view keyPath, std::string_view name) {
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty() || !m_writable) return false;
  StatementUse st(statement(kDeleteValue,
                            "DELETE FROM vals WHERE fold = ?2 AND"
                            " key_id = (SELECT id FROM keys WHERE fold = ?1)"));
  if (!st) return false;
  bindBytes(st.get(), 1, fold(key));
  bindBytes(st.get(), 2, fold(name));
  return sqlite3_step(st.get()) == SQLITE_DONE && sqlite3_changes(m_db) > 0;
}

std::vector<SettingsValue> SettingsStore::values(std::string_view keyPath) const {
  std::vector<SettingsValue> out;
  std::string key = normalizeKeyPath(keyPath);
  if (key.empty()) return out;
  StatementUse st(statement(kEnumerate,
                            "SELECT v.name, v.type, v.data FROM vals v JOIN keys k ON v.key_id = k.id"
                            " WHERE k.fold = ?1 ORDER BY v.id"));
  if (!st) return out;
  bindBytes(st.get(), 1, fold(key));
  while (sqlite3_step(st.get()) == SQLITE_ROW) {
    SettingsValue value;
    value.name = columnBytes(st.get(), 0);
    value.type = static_cast<ValueType>(sqlite3_column_int64(st.get(), 1));
    value.data = columnBytes(st.get(), 2);
    out.push_back(std::move(value));
  }
  return out;
}

}  // namespace vltrx::platform
