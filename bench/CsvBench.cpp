// CSV benchmark: generates a survey-like CSV file of n points (ids,
// coordinates with three decimals at survey magnitudes, categories on a
// tenth of the points, polygons of 5 to 20 points), reads it into the store,
// writes it back to CSV, and then runs the two legs through the native XML
// format (CSV -> XML, XML -> CSV). Prints wall time, MB/s of CSV text and
// peak RSS for each step.
//
// Usage: csv_bench [points] [folder] [csv]   (default 1000000 points,
// $TMPDIR; "csv" skips the native XML legs)
//        csv_bench read <file.csv>           (times reading an existing file)
// With CSV_BENCH_KEEP set the generated input stays (for a peer tool:
// ogr2ogr -f CSV out.csv $TMPDIR/csv-bench-in.csv -oo SEPARATOR=SEMICOLON).
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/TableCategories.h"
#include "ui/Ui.h"
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;
using namespace vltrx;

namespace {

double peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Writes the test file; returns its size in bytes.
uint64_t generate(const fs::path& path, uint64_t points) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> step(-2.0, 2.0);
  std::uniform_int_distribution<int> length(5, 20);
  // One category on every tenth point, two on every thousandth: a set of
  // two or more is a list block whose id must fit 16 bits, so a store holds
  // at most about 65,000 of them.
  const char* kCategories[] = {"\"Wall\"", "\"Kerb\"", "\"Fence\"", "\"Tree\"", "\"Manhole\""};
  FileSink sink(path);
  sink.write("Velmora CSV Version 2.1\r\nSystem: XYZ\r\n\r\n"
             "Point No.;X;Y;Z;Point Categories;Point Comment;New Poly;Poly Categories;Poly Comment\r\n\r\n");
  std::string line;
  double x = 500000.123, y = 5300000.456, z = 312.789;
  int left = 0;
  for (uint64_t i = 1; i <= points; ++i) {
    line.clear();
    appendInt(line, static_cast<int64_t>(i));
    x += std::round(step(random) * 1000) / 1000;
    y += std::round(step(random) * 1000) / 1000;
    z += std::round(step(random) * 100) / 1000;
    line.push_back(';');
    appendFixed(line, x, 3);
    line.push_back(';');
    appendFixed(line, y, 3);
    line.push_back(';');
    appendFixed(line, z, 3);
    line.push_back(';');
    if (i % 1000 == 0)
      line.append("\"Fence, Wall\"");
    else if (i % 10 == 0)
      line.append(kCategories[(i / 10) % 5]);
    line.push_back(';');
    if (i % 100 == 0) line.append("\"checked\"");
    if (left == 0) {
      left = length(random);
      line.append(i % 3 == 0 ? ";closed;" : ";open;");
      if (i % 7 == 0) line.append("\"Building\"");
      line.push_back(';');
    }
    --left;
    line.append("\r\n");
    sink.write(line);
  }
  sink.commit();
  return fs::file_size(path);
}

// Bytes the layout occupies in the block store.
uint64_t storedBytes(BlockId layout) {
  BlockStore& store = blockStore();
  const MFolder* folder = mFolder(layout);
  uint64_t bytes = store.size(layout) + store.size(folder->points) + store.size(folder->polygons);
  for (uint32_t i = 0; i < pointCount(layout); ++i) {
    const MPoint& p = *pointAt(layout, i);
    const PointExtra& extra = pointExtra(p);
    if (p.extra) bytes += sizeof(PointExtra);
    bytes += store.size(extra.comment) + store.size(extra.name);
    if (p.categoriesIsList) bytes += store.size(p.categories);
  }
  for (uint32_t i = 0; i < polygonCount(layout); ++i) {
    const MPolygon& p = *polygonView(layout, i);
    bytes += store.size(p.comment);
    if (p.categoriesIsList) bytes += store.size(p.categories);
  }
  return bytes;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time and CPU time (user + system: less disturbed by other load on
// the machine) of one step.
struct Timing {
  double wall = 0, cpu = 0;
  Timing operator+(const Timing& o) const { return {wall + o.wall, cpu + o.cpu}; }
};

class Stopwatch {
 public:
  Stopwatch() : m_start(std::chrono::steady_clock::now()), m_cpu(cpuSeconds()) {}
  Timing elapsed() const { return {seconds(m_start), cpuSeconds() - m_cpu}; }

 private:
  std::chrono::steady_clock::time_point m_start;
  double m_cpu;
};

void report(const char* step, const Timing& t, uint64_t csvBytes) {
  std::printf("%-22s %8.3f s  %8.1f MB/s  cpu %7.3f s (%6.1f MB/s)  peak RSS %8.1f MB\n", step, t.wall,
              csvBytes / 1e6 / t.wall, t.cpu, csvBytes / 1e6 / t.cpu, peakRssMb());
}

}  // namespace

int readOnly(const fs::path& file) {
  SilentUi ui;
  ui.setQuiet(true);
  try {
    Stopwatch watch;
    BlockId layout = readCsvFile(file, rootFolder(), {}, activeTableCategories(), ui);
    report("read CSV", watch.elapsed(), fs::file_size(file));
    std::printf("  %u points, %u polygons\n", pointCount(layout), polygonCount(layout));
    if (std::getenv("CSV_BENCH_CHECK")) {
      Stopwatch again;
      checkPointNumbers(layout);
      std::printf("  check again %.3f s\n", again.elapsed().wall);
    }
  } catch (const CError& e) {
    std::fprintf(stderr, "Error %i: %s\n", e.code(), e.message().c_str());
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "read") return readOnly(argv[2]);
  const uint64_t points = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
  const fs::path input = folder / "csv-bench-in.csv";
  const fs::path output = folder / "csv-bench-out.csv";
  const fs::path xml = folder / "csv-bench.xml";
  const fs::path back = folder / "csv-bench-back.csv";

  SilentUi ui;
  ui.setQuiet(true);
  try {
    const uint64_t size = generate(input, points);
    std::printf("points %llu, CSV %.1f MB (%s), peak RSS before reading %.1f MB\n",
                static_cast<unsigned long long>(points), size / 1e6, input.c_str(), peakRssMb());

    CsvReadSettings readSettings;
    Stopwatch watch;
    BlockId layout = readCsvFile(input, rootFolder(), readSettings, activeTableCategories(), ui);
    const Timing csvRead = watch.elapsed();
    report("read CSV", csvRead, size);
    const uint64_t stored = storedBytes(layout);
    std::printf("  %u points, %u polygons, %.1f MB in the store; peak RSS / stored = %.2f\n", pointCount(layout),
                polygonCount(layout), stored / 1e6, peakRssMb() * 1048576.0 / stored);

    CsvWriteSettings writeSettings;
    watch = Stopwatch();
    {
      FileSink sink(output);
      writeCsvLayout(layout, sink, writeSettings, activeTableCategories(), ui);
      sink.commit();
    }
    report("write CSV", watch.elapsed(), fs::file_size(output));

    if (argc > 3 && std::string(argv[3]) == "csv") {
      if (!std::getenv("CSV_BENCH_KEEP")) fs::remove(input);
      fs::remove(output);
      return 0;
    }

    NativeXmlCallback callback;
    watch = Stopwatch();
    writeNativeXmlFile(xml, rootFolder(), preferredSystem(), ui, callback, nullptr);
    const Timing xmlWrite = watch.elapsed();
    report("  write XML", xmlWrite, size);
    report("CSV->XML total", csvRead + xmlWrite, size);
    std::printf("  XML %.1f MB\n", fs::file_size(xml) / 1e6);

    resetMeasurementStore();
    watch = Stopwatch();
    NativeReadResult result = readNativeXml(xml, rootFolder(), {}, ui, callback, nullptr);
    const Timing xmlRead = watch.elapsed();
    report("read XML", xmlRead, size);
    watch = Stopwatch();
    {
      FileSink sink(back);
      writeCsvLayout(result.layouts.at(0), sink, writeSettings, activeTableCategories(), ui);
      sink.commit();
    }
    const Timing csvWrite = watch.elapsed();
    report("  then write CSV", csvWrite, fs::file_size(back));
    report("XML->CSV total", xmlRead + csvWrite, fs::file_size(back));
  } catch (const CError& e) {
    std::fprintf(stderr, "Error %i: %s\n", e.code(), e.message().c_str());
    return 1;
  }
  if (!std::getenv("CSV_BENCH_KEEP")) fs::remove(input);
  fs::remove(output);
  fs::remove(xml);
  fs::remove(back);
  return 0;
}
