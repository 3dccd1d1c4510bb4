// Fuzz target for the DA11 writer's checks. The input is read as polygons:
// a count byte, a comment up to a NUL byte, then that many points of two
// 16-bit values (tenths of a metre around a base the first bytes pick).
// The writer ends with -2201 to -2204, or with 80-column records and the
// final empty line.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/Da11Writer.h"
#include "ui/Ui.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vltrx;
  if (size < 2) return 0;
  const double base = (data[0] & 1) ? 3445000.0 : 0.0;
  const double step = (data[0] & 2) ? 0.1 : 0.001;
  size_t at = 1;
  StagedPlan plan;
  while (at < size && plan.polygons.size() < 64) {
    StagedPolygon& polygon = plan.polygons.emplace_back();
    const size_t count = data[at++];
    while (at < size && data[at] != 0) polygon.comment.push_back(static_cast<char>(data[at++]));
    ++at;
    for (size_t k = 0; k < count && at + 4 <= size; ++k, at += 4) {
      int16_t x, y;
      std::memcpy(&x, data + at, 2);
      std::memcpy(&y, data + at + 2, 2);
      StagedPoint p;
      p.x = base + x * step;
      p.y = base + y * step;
      polygon.points.push_back(p);
    }
    polygon.closed = true;
  }
  resetMeasurementStore();
  SilentUi ui;
  ui.setQuiet(true);
  try {
    const BlockId layout = createLayout(rootFolder(), "fuzz");
    commitStagedPlan(layout, plan);
    StringSink sink;
    writeDa11Layout(layout, sink, 65001, ui);
    const std::string& out = sink.str();
    if (out.size() < 84 || out.compare(out.size() - 2, 2, "\r\n") != 0) std::abort();
    for (size_t r = 0; r + 2 < out.size(); r += 82)
      if (out.compare(r + 80, 2, "\r\n") != 0 || out.compare(r, 2, "11") != 0) std::abort();
    if ((out.size() - 2) % 82 != 0) std::abort();
  } catch (const CError& e) {
    if (e.code() > -2201 || e.code() < -2204) {
      if (e.code() != -602) std::abort();
    }
  }
  resetMeasurementStore();
  return 0;
}
