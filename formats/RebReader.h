// Reader of REB files (".reb", format "REB"): points from DA30 and DA45
// records, polygons from DA49 line records, committed as one new layout.
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

/// What the REB reader needs besides its input.
struct RebReadSettings {
  bool alphaNumIds = false;         ///< alphanumeric point ids
  uint32_t codePage = 0;            ///< code page of the file's texts, 0 = ANSI
  bool acceptDuplicateIds = false;  ///< skip the -907 failure of the final check
};

/// Reads the records of reader into a new layout named layoutName below
/// parent and returns it. fileName goes into the messages. Throws CError
/// (-2003 for a short DA30 record, -2001 for a line id that names no point,
/// with the file name and line), ExitRequest{-2003} after the message box of
/// a short DA45 record; the layout is deleted again on any failure.
BlockId readRebLines(LineReader& reader, BlockId parent, std::string_view layoutName, std::string_view fileName,
                     const RebReadSettings& settings, TableCategories& categories, Ui& ui);

/// Reads file into a new layout below parent, named after the file without
/// folder and extension. Throws CError -2101 when the file cannot be opened.
BlockId readRebFile(const std::filesystem::path& file, BlockId parent, const RebReadSettings& settings,
                    TableCategories& categories, Ui& ui);

/// The reader of the format table: REB options, input code page and the
/// duplicate-id tolerance from the context, the category list in force.
void readReb(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
