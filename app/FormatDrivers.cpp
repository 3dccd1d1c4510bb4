// One row per format card: the reader and writer this build has, nullptr
// where a format has none (yet).
#include "app/FormatDrivers.h"

#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/Da11Writer.h"
#include "formats/EsriGridReader.h"
#include "formats/RebReader.h"
#include "formats/RebWriter.h"
#include "xml/NativeXmlDriver.h"

namespace vltrx {
namespace {

const FormatDriver kDrivers[] = {
    {kFormatXml, readXml, writeXml},
    {kFormatDxf, nullptr, nullptr},
    {kFormatEsri, readEsriGrid, nullptr},
    {kFormatCsv, readCsv, writeCsv},
    {kFormatTxt, nullptr, nullptr},
    {kFormatGsi, nullptr, nullptr},
    {kFormatReb, readReb, writeReb},
    {kFormatDat, nullptr, writeDa11},
    {kFormatSvg, nullptr, nullptr},
    {kFormatXslt, nullptr, nullptr},
};

}  // namespace

std::span<const FormatDriver> formatDrivers() { return kDrivers; }

const FormatDriver* formatDriver(FormatType type) {
  for (const FormatDriver& d : kDrivers)
    if (d.type == type) return &d;
  return nullptr;
}

}  // namespace vltrx
