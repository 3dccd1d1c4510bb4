// Measurement store at millions of points: commit through the staging model,
// bulk and point-by-point inserts, point-number check, walk and delete.
// Usage: store_bench [points ...]   (default: 1000000 5000000)
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Staging.h"

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vltrx;

namespace {

// Wall and CPU time of a step; the CPU time is the steadier figure on a
// machine shared with other work.
struct Stamp {
  std::chrono::steady_clock::time_point wall;
  double cpu;
};

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

Stamp now() { return {std::chrono::steady_clock::now(), cpuSeconds()}; }

long peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

void report(const char* step, uint32_t n, const Stamp& start) {
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count();
  const double cpu = cpuSeconds() - start.cpu;
  std::printf("  %-34s wall %7.3f s  cpu %7.3f s  %7.1f ns/point (cpu)\n", step, wall, cpu, cpu * 1e9 / n);
}

constexpr uint32_t kPolygonSize = 10;

double walk(BlockId layout) {
  const uint32_t n = pointCount(layout);
  const MPoint* p = points(layout);
  double sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += p[i].x + p[i].y + p[i].z;
  return sum;
}

void check(int rc, const char* what) {
  if (rc < 0) {
    std::fprintf(stderr, "%s failed: %d\n", what, rc);
    std::exit(1);
  }
}

// Staging path: every point has a name (its source id), every tenth a
// comment, every point one category; polygons of 10 points.
void stagingRun(uint32_t n) {
  Stamp t = now();
  StagedPlan plan;
  plan.polygons.resize(n / kPolygonSize);
  uint32_t number = 1;
  for (StagedPolygon& polygon : plan.polygons) {
    polygon.points.resize(kPolygonSize);
    polygon.categories = {3};
    for (StagedPoint& p : polygon.points) {
      p.x = 1000.0 + number * 0.001;
      p.y = 2000.0 + number * 0.002;
      p.z = 300.0;
      p.sourceNumber = static_cast<int32_t>(number);
      p.name = "P" + std::to_string(number);
      if (number % 10 == 0) p.comment = "Bordstein";
      p.categories = {uint16_t(1 + number % 5)};
      ++number;
    }
  }
  report("build staged plan", n, t);

  t = now();
  BlockId layout = createLayout(rootFolder(), "staged");
  commitStagedPlan(layout, plan);
  report("commit staged plan", n, t);
  const size_t blocks = blockStore().blockCount();
  plan = StagedPlan{};

  t = now();
  check(checkPointNumbers(layout), "check point numbers");
  report("check point numbers", n, t);

  t = now();
  volatile double sum = walk(layout);
  (void)sum;
  report("walk (sum of coordinates)", n, t);

  t = now();
  check(deleteNode(layout), "delete");
  report("delete layout", n, t);
  std::printf("  blocks while committed: %zu, after delete: %zu\n", blocks, blockStore().blockCount());
}

// Raw path: records built by the caller, each array inserted once; then the
// same points appended one at a time.
void rawRun(uint32_t n) {
  Stamp t = now();
  std::vector<MPoint> records(n, blankPoint());
  for (uint32_t i = 0; i < n; ++i) {
    records[i].x = 1000.0 + i * 0.001;
    records[i].y = 2000.0 + i * 0.002;
    records[i].z = 300.0;
    records[i].number = n - i;  // descending: the check falls back to its hash set
  }
  std::vector<MPolygon> polys(n / kPolygonSize, MPolygon{});
  for (MPolygon& g : polys) g.pointCount = kPolygonSize;
  BlockId layout = createLayout(rootFolder(), "raw");
  check(addPoints(layout, 0, records), "add points");
  check(addPolygons(layout, 0, polys), "add polygons");
  report("raw bulk insert", n, t);

  t = now();
  check(checkPointNumbers(layout), "check point numbers");
  report("check point numbers (descending)", n, t);

  t = now();
  volatile double sum = walk(layout);
  (void)sum;
  report("walk (sum of coordinates)", n, t);

  t = now();
  check(deleteNode(layout), "delete");
  report("delete layout", n, t);

  t = now();
  layout = createLayout(rootFolder(), "append");
  for (uint32_t i = 0; i < n; ++i) check(addPoint(layout, i, records[i]), "add point");
  report("raw append point by point", n, t);
  t = now();
  check(deleteNode(layout), "delete");
  report("delete layout", n, t);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint32_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  if (sizes.empty()) sizes = {1000000, 5000000};
  try {
    for (uint32_t n : sizes) {
      n -= n % kPolygonSize;
      std::printf("store_bench: %u points\n", n);
      stagingRun(n);
      rawRun(n);
      resetMeasurementStore();
      std::printf("  peak RSS so far: %ld MB\n", peakRssMb());
    }
  } catch (const CError& e) {
    std::fprintf(stderr, "store_bench: error %d\n", e.code());
    return 1;
  }
  return 0;
}
