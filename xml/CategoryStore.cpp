// The category store: reading and writing folder trees of category files,
// the folders named in the settings, the list in force of a conversion.
#include "xml/CategoryStore.h"

#include "core/CError.h"
#include "core/RecordStore.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "xml/CategoryFile.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

namespace vltrx {
namespace fs = std::filesystem;

namespace {

// Owns a list block until it is handed on.
struct ListGuard {
  BlockId id = 0;
  ~ListGuard() {
    if (id) blockStore().free(id);
  }
  BlockId release() {
    BlockId r = id;
    id = 0;
    return r;
  }
};

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Directory order of the folders the files come from: by name, letters
// compared without case, then byte by byte so that the order is total.
bool nameOrder(const fs::directory_entry& a, const fs::directory_entry& b) {
  const std::string x = a.path().filename().string();
  const std::string y = b.path().filename().string();
  const bool less = std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                                 [](char p, char q) { return foldAscii(p) < foldAscii(q); });
  const bool greater = std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end(),
                                                    [](char p, char q) { return foldAscii(p) < foldAscii(q); });
  if (less != greater) return less;
  return x < y;
}

CategoryEntry entryFromRecord(const CategoryRecord& r) {
  CategoryEntry e = makeCategoryEntry(r.name, r.id, r.red, r.green, r.blue);
  e.surface = static_cast<uint32_t>(r.surface);
  e.fixedHeight = r.fixedHeight;
  return e;
}

CategoryRecord recordFromEntry(const CategoryEntry& e) {
  CategoryRecord r;
  r.name = std::string(e.nameView());
  r.codePage = 65001;
  r.red = e.colour.red;
  r.green = e.colour.green;
  r.blue = e.colour.blue;
  r.id = e.id;
  r.surface = static_cast<SurfaceKind>(e.surface);
  r.fixedHeight = r.surface == SurfaceKind::FixedHeight ? double(e.fixedHeight) : 0.0;
  return r;
}

// The folder a value names for this user, empty when missing: values may
// start with "$XDG_DATA_HOME", "$HOME" or "~" (platform::expandUserPath).
std::string folderValue(const SettingsKey& key, std::string_view name) {
  std::string value;
  if (!key.readString(name, value, "")) return {};
  return platform::expandUserPath(value);
}

void throwIfError(int rc) {
  if (rc < 0) throw makeError(rc);
}

}  // namespace

SettingsKey openCategorySettings(bool create) {
  SettingsKey key;
  if (create)
    key.create(kProductKeyPath);
  else
    key.open(kProductKeyPath);
  return key;
}

std::optional<fs::path> categoryFolder(const SettingsKey& key, std::string_view valueName) {
  const std::string value = folderValue(key, valueName);
  if (value.empty()) return std::nullopt;
  std::error_code ec;
  if (!fs::is_directory(value, ec)) return std::nullopt;
  return fs::path(value);
}

bool ensureCategoryFolders(SettingsKey& key) {
  bool all = true;
  for (std::string_view name : {kMyCategoriesValue, kReceivedCategoriesValue, kStandardCategoriesValue}) {
    if (!folderValue(key, name).empty()) continue;
    // Stored unexpanded, so that the value means each user's own folder
    // wherever it is read (a store copied or shared between users included).
    std::string value(kUserDataFolderValue);
    value += '/';
    value += name;
    const fs::path folder = platform::expandUserPath(value);
    std::error_code ec;
    fs::create_directories(folder, ec);
    // A value names only a folder that is there; otherwise it stays missing
    // and the import reports the missing location.
    if (!fs::is_directory(folder, ec) || !key.writeValue(name, platform::ValueType::ExpandString, value)) all = false;
  }
  return all;
}

int readCategoryFolder(BlockId& list, uint32_t parent, const fs::path& folder, int depth) {
  if (depth >= kMaxCategoryDepth) {
    setPendingDetail(+ErrorCode::TooManyFolderLevels, 0, folder.string());
    return +ErrorCode::TooManyFolderLevels;
  }
  std::error_code ec;
  std::vector<fs::directory_entry> items;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) items.push_back(*it);
  std::sort(items.begin(), items.end(), nameOrder);

  for (const fs::directory_entry& item : items) {
    std::error_code kindError;
    if (item.is_directory(kindError)) {
      const CategoryEntry probe = makeFolderEntry(item.path().filename().string());
      int at = findChildFolder(categoryEntries(list), parent, probe.nameView());
      if (at == kNoEntry) at = insertEntry(list, parent, probe);
      if (at < 0) return at;
      if (int rc = readCategoryFolder(list, uint32_t(at), item.path(), depth + 1); rc < 0) return rc;
    } else {
      CategoryRecord record;
      if (readCategoryFile(item.path(), record) != 0) continue;  // not a category file, or unreadable
      CategoryEntry e = entryFromRecord(record);
      // Local ids belong to the list: they are numbered by arrival.
      if (!e.isFixed()) e.id = nextLocalId(categoryEntries(list));
      if (int at = insertEntry(list, parent, e); at < 0) return at;
    }
    if (categoryEntries(list)[0].subtree > kMaxCategoryEntries) return kCategoryFolderTooLarge;
  }
  return 0;
}

int writeCategoryFolder(CategorySpan list, uint32_t entry, const fs::path& folder) {
  if (entry >= list.size()) return 0;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    setPendingDetail(+ErrorCode::FolderAccessDenied, 0, folder.string());
    return +ErrorCode::FolderAccessDenied;
  }
  const uint32_t end = subtreeEnd(list, entry);
  for (uint32_t k = entry + 1; k < end; k = subtreeEnd(list, k)) {
    const CategoryEntry& e = list[k];
    if (e.isFolder()) {
      const fs::path sub = e.nameView().empty() ? folder : folder / platform::safePathComponent(e.nameView());
      if (int rc = writeCategoryFolder(list, k, sub); rc < 0) return rc;
    } else if (!isBuiltInCategory(e.id) && !e.nameView().empty()) {
      const fs::path file = folder / categoryFileName(e.nameView());
      if (!writeCategoryFile(recordFromEntry(e), file)) {
        setPendingDetail(+ErrorCode::CannotCreateFile, 0, file.string());
        return +ErrorCode::CannotCreateFile;
      }
    }
  }
  return 0;
}

size_t tidyReceivedCategories(const fs::path& folder, size_t keep) {
  struct File {
    fs::path path;
    fs::file_time_type time;
  };
  std::vector<File> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    // Only category files count and go: the folder value may name a folder
    // that holds other files too (an option file can set it).
    if (!it->is_regular_file(e2) || !hasCategoryFileExtension(it->path())) continue;
    auto time = it->last_write_time(e2);
    if (!e2) files.push_back({it->path(), time});
  }
  if (files.size() <= keep) return 0;
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) {
    if (a.time != b.time) return a.time > b.time;
    return a.path < b.path;
  });
  size_t deleted = 0;
  for (size_t i = keep; i < files.size(); ++i) {
    std::error_code e3;
    if (fs::remove(files[i].path, e3)) ++deleted;
  }
  return deleted;
}

void loadActiveCategoryList(const SettingsKey& key) {
  ListGuard list;
  throwIfError(newCategoryList(list.id));
  if (auto own = categoryFolder(key, kMyCategoriesValue))
    throwIfError(readCategoryFolder(list.id, uint32_t(topLevelFolder(categoryEntries(list.id), 0)), *own));
  if (auto received = categoryFolder(key, kReceivedCategoriesValue))
    throwIfError(readCategoryFolder(list.id, uint32_t(topLevelFolder(categoryEntries(list.id), 1)), *received));
  if (auto standard = categoryFolder(key, kStandardCategoriesValue))
    throwIfError(readCategoryFolder(list.id, 0, *standard));
  throwIfError(addBuiltInCategories(list.id));
  throwIfError(commitCategoryList(list.id));
}

void clearActiveCategoryList() {
  ListGuard list;
  throwIfError(newCategoryList(list.id));
  throwIfError(commitCategoryList(list.id));
}

BlockId readMyCategories(const SettingsKey& key) {
  const std::string value = folderValue(key, kMyCategoriesValue);
  if (value.empty()) throw makeError(ErrorCode::CategoryLocationNotSet);
  std::error_code ec;
  if (!fs::is_directory(value, ec)) throw makeError(ErrorCode::FolderAccessDenied, value);
  ListGuard list;
  throwIfError(newCategoryList(list.id));
  throwIfError(readCategoryFolder(list.id, uint32_t(topLevelFolder(categoryEntries(list.id), 0)), value));
  return list.release();
}

fs::path receivedCategoriesFolder(const SettingsKey& key) {
  const std::string value = folderValue(key, kReceivedCategoriesValue);
  if (value.empty()) throw makeError(ErrorCode::CategoryLocationNotSet);
  std::error_code ec;
  fs::create_directories(value, ec);
  if (!fs::is_directory(value, ec)) throw makeError(ErrorCode::FolderAccessDenied, value);
  return fs::path(value);
}

void storeReceivedCategories(const SettingsKey& key, CategorySpan list) {
  const fs::path folder = receivedCategoriesFolder(key);
  if (!list.empty()) throwIfError(writeCategoryFolder(list, 0, folder));
  tidyReceivedCategories(folder);
}

}  // namespace vltrx
