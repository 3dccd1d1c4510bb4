// The native XML rows of the format table: the reader and writer with the
// category store hooks and the options the driver hands over.
#include "xml/NativeXmlDriver.h"

#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "xml/CategoryXml.h"
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

namespace vltrx {

void readXml(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  NativeReadOptions options;
  options.checkPointNumbers = true;
  options.keepOffsets = context.keepOffsets;
  // Native XML texts are in the ANSI code page of the machine.
  NativeXmlCallback callback(0);
  CategoryXmlHooks hooks(&callback);
  NativeReadResult result = readNativeXml(file, parent, options, context.ui, callback, &hooks);
  if (result.preferredSystem) context.options.xml.preferredSystem = static_cast<int>(*result.preferredSystem);
}

void writeXml(BlockId layout, Sink& sink, ConversionContext& context) {
  NativeXmlCallback callback(0);
  CategoryXmlHooks hooks(&callback);
  // A single output file carries the whole tree, so a layout read from
  // inside folders keeps them; a folder output gets one layout per file.
  BlockId root = context.wholeTree ? rootFolder() : layout;
  writeNativeXml(sink, root, preferredSystem(), context.ui, callback, &hooks);
}

}  // namespace vltrx
