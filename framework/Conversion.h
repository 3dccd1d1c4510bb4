// What a reader or writer gets from the conversion driver besides its file,
// and the function types of the reader and writer of a format.
#pragma once

#include "core/BlockStore.h"
#include "framework/FormatTable.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace vltrx {

struct AllFormatOptions;
class Sink;
class Ui;

/// The facts of one conversion that readers and writers read.
struct ConversionContext {
  AllFormatOptions& options;
  Ui& ui;
  /// The format list entry being read or written: its type, id and filter,
  /// and for a plug-in format the path of its script.
  const FileFormat* format = nullptr;
  uint32_t inputCodePage = 0;   ///< code page of the input texts (-incp:), 0 = ANSI
  uint32_t outputCodePage = 0;  ///< code page of the written texts (-outcp:), 0 = ANSI
  /// Put before the number of a point without id text when alphanumeric ids
  /// are written.
  std::string pointIdPrefix = "#";
  /// Native XML input: keep the layout offsets instead of adding them to
  /// the points (the output format takes them as they are).
  bool keepOffsets = false;
  /// The output format tolerates duplicate point numbers, so readers skip
  /// the -907 failure of the final check.
  bool acceptDuplicateIds = false;
  /// The output is one file for the whole tree (not one file per layout).
  bool wholeTree = false;
  /// The conversion's input format (a plug-in export passes the alphanumeric
  /// point-id option of the input side to its stylesheet).
  FormatType inputType = kFormatNone;
  /// Writers: the file the sink will become (a plug-in export puts its
  /// temporary files beside it); empty when the sink is no file.
  std::filesystem::path outputFile{};
};

/// Reads file into the store below parent (a SubFolder); the reader creates
/// its layouts itself. Throws CError.
using ReaderFunction = void (*)(const std::filesystem::path& file, BlockId parent, ConversionContext& context);
/// Writes one layout to sink. Throws CError.
using WriterFunction = void (*)(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
