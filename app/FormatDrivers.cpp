// One row per format with a reader or a writer; lookups go by format number.
// The native XML rows live here because the format needs the category store
// and the conversion's code pages, which only the driver knows.
#include "app/FormatDrivers.h"

#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "framework/AllFormatOptions.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/dxf/DxfReader.h"
#include "xml/CategoryXml.h"
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

namespace vltrx {
namespace {

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

const FormatDriver kDrivers[] = {
    {kFormatXml, readXml, writeXml},
    {kFormatCsv, readCsv, writeCsv},
    {kFormatDxf, readDxf, nullptr},
};

}  // namespace

const FormatDriver* formatDriver(FormatType type) {
  for (const FormatDriver& d : kDrivers)
    if (d.type == type) return &d;
  return nullptr;
}

}  // namespace vltrx
