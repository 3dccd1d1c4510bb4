// Native XML at a million points: writes a generated layout to a file and
// reads it back, printing throughput and peak memory.
// Usage: native_xml_bench [points] [folder]   (default: 1000000, $TMPDIR or /tmp)
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "ui/Ui.h"
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

using namespace vltrx;

namespace {

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

long peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

struct Timer {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = cpuSeconds();
  void report(const char* step, uint64_t bytes, uint32_t points) const {
    double w = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    double c = cpuSeconds() - cpu;
    // On a shared machine the CPU figure is the steadier one.
    std::printf("  %-9s wall %6.3f s  cpu %6.3f s  %6.1f MB/s wall  %6.1f MB/s cpu  %6.1f ns/point cpu  peak RSS %ld MB\n",
                step, w, c, bytes / 1e6 / w, bytes / 1e6 / c, c * 1e9 / points, peakRssMb());
  }
};

// Every category id counts as known; no category_ref is written.
class AllCategories : public NativeCategoryHooks {
 public:
  bool isActive(uint16_t) const override { return true; }
  void writeCategoryRef(XmlWriter&, std::span<const uint16_t>) override {}
  void writeCategoryList(XmlWriter&) override {}
  int readCategoryList(XmlReader&) override { return 0; }
  int readCategoryRef(XmlReader&, std::vector<uint16_t>&) override { return 0; }
};

void fail(const char* what, int rc) {
  std::fprintf(stderr, "%s failed: %d\n", what, rc);
  std::exit(1);
}

// One layout of polygons of 10 points; every tenth point has a name, a
// comment and two categories, every fifth a value, every third a polar
// observation.
BlockId generate(uint32_t n) {
  BlockId layout = createNode("Bench", false);
  if (!layout) fail("createNode", -602);
  int rc = linkChild(rootFolder(), 0, layout);
  if (rc < 0) fail("linkChild", rc);
  std::vector<MPoint> batch(n);
  const uint16_t cats[] = {5, 10500};
  for (uint32_t i = 0; i < n; ++i) {
    MPoint& p = batch[i];
    p = blankPoint();
    p.number = i + 1;
    p.x = 2500.0 + (i % 1000) * 1.2345;
    p.y = 5600.0 + (i / 1000) * 0.9876;
    p.z = 350.0 + (i % 97) * 0.01;
    if (i % 10 == 0) {
      std::string name(1, 'P');
      name += std::to_string(i);
      setText(p, PointText::Name, name);
      setText(p, PointText::Comment, "kerb & gutter");
      setCategories(p, cats);
    }
    if (i % 5 == 0) setPointValue(p, 0.5f * (i % 100));
    if (i % 3 == 0) {
      PointScalars scalars;
      scalars.polar = encodePolar({123.4567, 1.2345, 0.002, 0.0001, 0.01});
      setPointScalars(p, scalars);
    }
  }
  if ((rc = addPoints(layout, 0, batch)) < 0) fail("addPoints", rc);
  const uint32_t polygonsNeeded = (n + 9) / 10;
  if ((rc = insertPolygons(layout, 0, polygonsNeeded)) < 0) fail("insertPolygons", rc);
  for (uint32_t k = 0; k < polygonsNeeded; ++k) {
    MPolygon* poly = polygonAt(layout, k);
    poly->pointCount = static_cast<int16_t>(k + 1 < polygonsNeeded ? 10 : n - 10 * k);
    poly->closed = k % 2;
  }
  return layout;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t n = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path dir = argc > 2 ? argv[2] : (tmp && *tmp ? tmp : "/tmp");
  std::filesystem::path file = dir / ("vltrx-native-bench-" + std::to_string(::getpid()) + ".xml");

  SilentUi ui;
  ui.setQuiet(true);
  NativeXmlCallback callback;
  AllCategories categories;
  std::printf("native XML, %u points\n", n);
  try {
    Timer gen;
    generate(n);
    gen.report("generate", 0, n);

    Timer write;
    writeNativeXmlFile(file, rootFolder(), PreferredSystem::Xyz, ui, callback, &categories);
    uint64_t size = std::filesystem::file_size(file);
    write.report("write", size, n);

    resetMeasurementStore();
    Timer read;
    NativeReadResult result = readNativeXml(file, rootFolder(), {}, ui, callback, &categories);
    read.report("read", size, n);
    if (result.layouts.size() != 1 || pointCount(result.layouts[0]) != n) {
      std::fprintf(stderr, "read back %u points\n", result.layouts.empty() ? 0u : pointCount(result.layouts[0]));
      return 1;
    }
    std::printf("  file %.1f MB\n", size / 1e6);
  } catch (const CError& e) {
    std::fprintf(stderr, "error %d: %s\n", e.code(), e.message().c_str());
    std::filesystem::remove(file);
    return 1;
  }
  std::filesystem::remove(file);
  return 0;
}
