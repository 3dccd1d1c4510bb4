// Reader of ESRI ASCII raster grids (".grid", ".asc", format "ESRI", input
// only): every cell that holds a value becomes a single point at the cell
// centre with the value as height, committed as one new layout.
#pragma once

#include "core/BlockStore.h"

#include <filesystem>
#include <string_view>

namespace vltrx {

class Ui;
struct ConversionContext;

/// Reads the grid in bytes into a new layout named layoutName below parent
/// and returns it. fileName goes into the messages. Throws CError -2401 for
/// a bad header line or header value, -2402 for data that do not fill whole
/// rows of ncols values or hold a value beyond the doubles; the layout is
/// deleted again on any failure.
BlockId readEsriGridBytes(std::string_view bytes, BlockId parent, std::string_view layoutName,
                          std::string_view fileName, Ui& ui);

/// Maps file and reads it into a new layout below parent, named after the
/// file without folder and extension. Throws CError -2101 with the file name
/// when it cannot be opened or is no regular file.
BlockId readEsriGridFile(const std::filesystem::path& file, BlockId parent, Ui& ui);

/// The reader of the format table.
void readEsriGrid(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
