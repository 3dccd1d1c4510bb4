// The reader and writer of the native XML format as the conversion driver
// calls them.
#pragma once

#include "core/BlockStore.h"

#include <filesystem>

namespace vltrx {

class Sink;
struct ConversionContext;

/// Reads a native XML file below parent with the final point-number check,
/// keeping the layout offsets when the context asks for it; the preferred
/// coordinate system of the file goes to the XML options.
void readXml(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

/// Writes layout (the whole tree when the context says the output is one
/// file) with the category list in force.
void writeXml(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
