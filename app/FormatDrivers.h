// The table of reader and writer functions, keyed by format number. Every
// format adds its row here and nowhere else.
#pragma once

#include "app/ConversionJob.h"
#include "core/BlockStore.h"
#include "framework/FormatTable.h"

#include <filesystem>

namespace vltrx {

struct AllFormatOptions;
class Sink;
class Ui;

/// What a reader or writer gets from the driver besides its file.
struct ConversionContext {
  const ConversionJob& job;
  AllFormatOptions& options;
  Ui& ui;
  FormatType inputFormat = kFormatNone;
  FormatType outputFormat = kFormatNone;
  /// Native XML input: keep the layout offsets instead of adding them to
  /// the points (DXF and SVG output, "*categories" import).
  bool keepOffsets = false;
  /// The output format tolerates duplicate point numbers, so readers skip
  /// the -907 failure of the final check.
  bool acceptDuplicateIds = false;
  /// The output is one file for the whole tree (not one file per layout).
  bool wholeTree = false;
};

/// Reads file into the store below parent (a SubFolder); the reader creates
/// its layouts itself. Throws CError.
using ReaderFunction = void (*)(const std::filesystem::path& file, BlockId parent, ConversionContext& context);
/// Writes one layout to sink. Throws CError.
using WriterFunction = void (*)(BlockId layout, Sink& sink, ConversionContext& context);

struct FormatDriver {
  FormatType type;
  ReaderFunction read;    ///< nullptr: no reader
  WriterFunction write;   ///< nullptr: no writer
};

/// The row of a format, nullptr when the format has none.
const FormatDriver* formatDriver(FormatType type);

}  // namespace vltrx
