// Reader of total-station GSI files (".gsi", format "GSI"): blocks of
// fixed-width words tagged with word indexes; every block with a point
// number (word 11) and coordinates (81, 82, 83) or a polar measurement (21,
// 22, 31) becomes a single point of one new layout.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vltrx {

class LineReader;
class TableCategories;
class Ui;
struct ConversionContext;

/// What the GSI reader needs besides its input.
struct GsiReadSettings {
  int commentWordIndex = 71;   ///< 1..99; 0 = no comment read
  int categoryWordIndex = 0;   ///< 1..99; 0 = no category read
  bool alphaNumIds = false;    ///< alphanumeric point ids (else point-id reduction)
  uint32_t codePage = 0;       ///< code page of the file's texts, 0 = ANSI
};

/// The numeric value of a word (word index, information field with the unit
/// digit at position 5, sign at 6, data from 7; without its separating blank)
/// in metres or radians, as the instrument wrote it: angles clockwise and not
/// normalised. angle tells whether the unit is an angle. False when the data
/// is no number (empty, letters, or an unset value written with dashes).
bool gsiRawValue(std::string_view word, double& value, bool& angle);

/// The value as the data hold it: lengths in metres, angles counter-clockwise
/// in radians normalised into [0, 2 pi). False as for gsiRawValue.
bool gsiValue(std::string_view word, double& value);

/// The text value of a word: its data with leading zeros and blanks removed
/// and trailing blanks trimmed ("0000000000000ABC" is "ABC", sixteen zeros
/// are "").
std::string_view gsiText(std::string_view word);

/// Reads the lines of reader into a new layout named layoutName below parent
/// and returns it. Throws CError (point-id errors, the final check of point
/// numbers including -907) and ExitRequest from a cancelled prompt; on any
/// failure the layout is deleted again.
BlockId readGsiLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const GsiReadSettings& settings, TableCategories& categories, Ui& ui);

/// Reads file into a new layout below parent, named after the file without
/// folder and extension. Throws CError -2101 when the file cannot be opened.
BlockId readGsiFile(const std::filesystem::path& file, BlockId parent, const GsiReadSettings& settings,
                    TableCategories& categories, Ui& ui);

/// The reader of the format table: GSI options and input code page from the
/// context, the category list in force.
void readGsi(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
