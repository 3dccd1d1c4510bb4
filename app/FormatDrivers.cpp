// One row per format with a reader or a writer; the order is irrelevant,
// lookups go by format number.
#include "app/FormatDrivers.h"

namespace vltrx {
namespace {

const FormatDriver kDrivers[] = {
    {kFormatXml, nullptr, nullptr},
};

}  // namespace

const FormatDriver* formatDriver(FormatType type) {
  for (const FormatDriver& d : kDrivers)
    if (d.type == type) return &d;
  return nullptr;
}

}  // namespace vltrx
