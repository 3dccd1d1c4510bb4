// Category files (".vlcat"): one category per small XML file, read line by
// line and written byte for byte in a fixed layout.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vltrx {

/// Surface kind of a category (stored with the category, used by the
/// plug-in formats and the GUI).
enum class SurfaceKind : uint32_t { None = 0, Planar = 1, Triangle = 2, FixedHeight = 3 };

/// A category as read from or written to a category file.
struct CategoryRecord {
  std::string name;          ///< UTF-8
  uint32_t codePage = 65001; ///< code page the name was stored in (0 = ANSI)
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint16_t id = 0;           ///< 0 = none given
  SurfaceKind surface = SurfaceKind::None;
  double fixedHeight = 0.0;  ///< metres, for SurfaceKind::FixedHeight
};

/// Results of readCategoryFile besides 0.
inline constexpr int kCategoryFileNoCategory = -1;  ///< no "<category" line after "<velmora"
inline constexpr int kCategoryFileCannotOpen = -2;
inline constexpr int kCategoryFileBadExtension = -3;  ///< extension is not ".vlcat"

/// The extension of category files.
inline constexpr std::string_view kCategoryFileExtension = ".vlcat";

/// Whether path ends in ".vlcat", compared case-insensitively.
bool hasCategoryFileExtension(const std::filesystem::path& path);

/// Reads a category file. Returns 0 and fills out, or -3 (extension),
/// -2 (cannot open), -1 (no "<category" line after a "<velmora" line).
int readCategoryFile(const std::filesystem::path& path, CategoryRecord& out);

/// Parses the content of a category file (what readCategoryFile does after
/// opening it); fileStem names the category when the line has no name.
int parseCategoryFile(std::string_view content, std::string_view fileStem, CategoryRecord& out);

/// The exact bytes of the category file of record.
std::string formatCategoryFile(const CategoryRecord& record);

/// Writes the category file of record to path (binary, replacing the file
/// only when complete). True when the file could be written.
bool writeCategoryFile(const CategoryRecord& record, const std::filesystem::path& path);

/// The file name of a category: its name made a safe path component
/// (platform::safePathComponent) with ".vlcat".
std::filesystem::path categoryFileName(std::string_view name);

/// Converts a name in code page codePage (65001 = UTF-8, 0 = ANSI, 1252 ...)
/// to UTF-8; an unknown code page is read as the ANSI code page.
std::string codePageToUtf8(std::string_view text, uint32_t codePage);

}  // namespace vltrx
