// What the drawing writers (DXF, SVG) share about labels: the text-object
// categories and the coordinate-text format language.
#pragma once

#include "core/Layout.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// The built-in categories that mark a point or polygon as a text object:
/// left-aligned, centred and right-aligned text.
inline constexpr uint16_t kTextLeftCategory = 10150;
inline constexpr uint16_t kTextCentreCategory = 10151;
inline constexpr uint16_t kTextRightCategory = 10152;

inline bool isTextCategory(uint16_t id) { return id >= kTextLeftCategory && id <= kTextRightCategory; }

/// True when ids hold one of the three text categories.
bool isTextObject(const CategoryIds& ids);

/// The point a coordinate text describes.
struct CoordinatePoint {
  int32_t number = 0;
  double x = 0, y = 0, z = 0;          ///< as written (offsets added)
  std::string_view pointCategory;      ///< name of the point's first category, UTF-8
  std::string_view polygonCategory;    ///< name of its polygon's first category
};

/// Expands a coordinate format ("(%x %y)") for point into texts (cleared
/// first; at least one). Tokens, letters in either case: "#" the point
/// number; "%x"/"%e", "%y"/"%n", "%z" the coordinate with 4 decimals, or N
/// decimals when followed by ".N" (a "." and another character: both are
/// consumed, 4 decimals; a "." at the very end stays); "%k" the point's
/// first category, "%p" the polygon's, "%c" the point's else the polygon's.
/// Any other "%" pair and every other character is copied. The two
/// characters "\n" become lineBreak, "\N" starts the next text.
void expandCoordinateFormat(std::string_view format, const CoordinatePoint& point, std::string_view lineBreak,
                            std::vector<std::string>& texts);

}  // namespace vltrx
