// The reader and writer functions of every format, one row per format card
// in the card order. The functions live in the libraries above the format
// table, so this second table is the driver's.
#pragma once

#include "framework/Conversion.h"
#include "framework/FormatTable.h"

#include <span>

namespace vltrx {

struct FormatDriver {
  FormatType type;
  ReaderFunction read;    ///< nullptr: no reader
  WriterFunction write;   ///< nullptr: no writer
};

/// Every row, in the order of formatCards().
std::span<const FormatDriver> formatDrivers();

/// The row of a format, nullptr when the format has none.
const FormatDriver* formatDriver(FormatType type);

}  // namespace vltrx
