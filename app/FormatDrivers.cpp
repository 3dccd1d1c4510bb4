// One row per format card: the reader and writer this build has, nullptr
// where a format has none (yet).
#include "app/FormatDrivers.h"

#include "app/PluginDriver.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/Da11Writer.h"
#include "formats/dxf/DxfReader.h"
#include "formats/dxf/DxfWriter.h"
#include "formats/EsriGridReader.h"
#include "formats/GsiReader.h"
#include "formats/GsiWriter.h"
#include "formats/RebReader.h"
#include "formats/RebWriter.h"
#include "formats/SvgWriter.h"
#include "formats/TxtReader.h"
#include "formats/TxtWriter.h"
#include "xml/NativeXmlDriver.h"

namespace vltrx {
namespace {

const FormatDriver kDrivers[] = {
    {kFormatXml, readXml, writeXml},
    {kFormatDxf, readDxf, writeDxf},
    {kFormatEsri, readEsriGrid, nullptr},
    {kFormatCsv, readCsv, writeCsv},
    {kFormatTxt, readTxt, writeTxt},
    {kFormatGsi, readGsi, writeGsi},
    {kFormatReb, readReb, writeReb},
    {kFormatDat, nullptr, writeDa11},
    {kFormatSvg, nullptr, writeSvg},
    {kFormatXslt, readXslt, writeXslt},
};

}  // namespace

std::span<const FormatDriver> formatDrivers() { return kDrivers; }

const FormatDriver* formatDriver(FormatType type) {
  for (const FormatDriver& d : kDrivers)
    if (d.type == type) return &d;
  return nullptr;
}

}  // namespace vltrx
