// The category store: folder trees of category files whose roots are named
// in the settings ("MyCategories", "ReceivedCategories",
// "StandardCategories" under "Software\Kestrava\Velmora"), read into the
// category list in force and written from received lists.
#pragma once

#include "core/BlockStore.h"
#include "framework/SettingsKey.h"
#include "xml/CategoryList.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace vltrx {

/// Value names of the three folder roots.
inline constexpr std::string_view kMyCategoriesValue = "MyCategories";
inline constexpr std::string_view kReceivedCategoriesValue = "ReceivedCategories";
inline constexpr std::string_view kStandardCategoriesValue = "StandardCategories";

/// Files kept in the received-categories folder at most.
inline constexpr size_t kMaxReceivedCategoryFiles = 512;

/// More than 1024 entries below the root while a folder is read ("Internal
/// error").
inline constexpr int kCategoryFolderTooLarge = -606;

/// The key that names the category folders, "Software\Kestrava\Velmora";
/// with create the key is created in the stores that can be written.
SettingsKey openCategorySettings(bool create = false);

/// The folder named by the value valueName of key (expanded for this user),
/// when the value is set and the folder exists.
std::optional<std::filesystem::path> categoryFolder(const SettingsKey& key, std::string_view valueName);

/// The user's data folder as it is stored in the folder values; each user
/// reads it as its own folder (platform::expandUserPath).
inline constexpr std::string_view kUserDataFolderValue = "$XDG_DATA_HOME/vltrx";

/// First start on this platform: every one of the three values that is
/// missing is set, as an expandable string, to a folder of that name in the
/// user's data folder ("$XDG_DATA_HOME/vltrx/MyCategories" and so on), which
/// is created. Values that are set stay as they are. True when all three
/// values are set afterwards.
bool ensureCategoryFolders(SettingsKey& key);

/// Adds the content of folder below the entry parent of list: subfolders
/// become folder entries (found by name directly below parent, else
/// inserted) read with depth + 1; ".vlcat" files that can be read become
/// categories (an id that is 0 or below 10000 becomes the root's subtree
/// count + 1); other and unreadable files are skipped. Entries are taken in
/// name order. Returns 0, -612 (depth 10 or more), or the code of
/// insertEntry (-611 when the list is full).
int readCategoryFolder(BlockId& list, uint32_t parent, const std::filesystem::path& folder, int depth = 0);

/// Writes the subtree of entry as category files into folder (created when
/// missing): a folder entry with a name becomes a subfolder, one without a
/// name adds its content to the folder itself; a category becomes
/// "<name>.vlcat". Built-in categories are not written. Returns 0, -2127 (a
/// folder cannot be created; the folder in the pending detail) or -2126 (a
/// file cannot be written; its path in the pending detail).
int writeCategoryFolder(CategorySpan list, uint32_t entry, const std::filesystem::path& folder);

/// Keeps at most keep category files (".vlcat") directly in folder: newest
/// first by last-write time, the oldest beyond keep are deleted; other files
/// are neither counted nor touched. Returns the number deleted.
size_t tidyReceivedCategories(const std::filesystem::path& folder, size_t keep = kMaxReceivedCategoryFiles);

/// Builds the category list in force for a conversion: a fresh list, the
/// own categories below the first top-level folder, the received ones
/// below the second, the standard ones below the root, then the built-in
/// categories; committed as the list in force. Folders whose value is
/// missing or that do not exist are left out. Throws CError (-612, -611).
void loadActiveCategoryList(const SettingsKey& key);

/// Makes a fresh list without categories the list in force (the start of a
/// "*categories" import). Throws CError.
void clearActiveCategoryList();

/// "*categories" as input: the categories of the "MyCategories" folder read
/// into a fresh list below its first top-level folder. The caller writes it
/// (CategoryXmlHooks with this list) and frees the block. Throws CError:
/// -2128 when the value is missing, -2127 when the folder does not exist,
/// -612 or -611 from reading it.
BlockId readMyCategories(const SettingsKey& key);

/// The folder for received categories, created when missing. Throws CError
/// -2128 when the value is missing, -2127 (with the folder) when it cannot be
/// reached.
std::filesystem::path receivedCategoriesFolder(const SettingsKey& key);

/// "*categories" as output: writes list (the categories of the imported
/// document) as a folder tree of category files into the received folder,
/// then keeps at most 512 files in it. Throws CError -2128, -2127 or -2126
/// (with the file name).
void storeReceivedCategories(const SettingsKey& key, CategorySpan list);

}  // namespace vltrx
