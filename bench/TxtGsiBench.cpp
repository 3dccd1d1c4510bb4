// TXT and GSI benchmark: generates n points as a GSI-16 file (blocks with
// words 11, 81, 82, 83: 99 bytes a point), converts it to CSV (read GSI,
// write CSV) and times a short awk script doing the bare conversion on the
// same file in the same run; then CSV -> TXT and TXT -> CSV through the
// store. Prints wall time, MB/s and peak RSS for each step.
//
// Usage: txtgsi_bench [points] [folder] [keep]   (default 1000000 points,
// $TMPDIR; with "keep" the generated and written files stay for comparing)
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/NumberFormat.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/GsiReader.h"
#include "formats/TableCategories.h"
#include "formats/TxtReader.h"
#include "formats/TxtWriter.h"
#include "ui/Ui.h"

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
  return usage.ru_maxrss / 1024.0;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time, and CPU time (user + system), which other load on the machine
// disturbs less.
struct Timing {
  double wall = 0, cpu = 0;
  Timing operator+(const Timing& o) const { return {wall + o.wall, cpu + o.cpu}; }
};

class Stopwatch {
 public:
  Timing elapsed() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(),
            cpuSeconds() - m_cpu};
  }

 private:
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  double m_cpu = cpuSeconds();
};

void report(const char* step, const Timing& t, uint64_t bytes) {
  std::printf("%-18s %7.3f s %7.1f MB/s  cpu %7.3f s %7.1f MB/s  peak RSS %7.1f MB\n", step, t.wall,
              bytes / 1e6 / t.wall, t.cpu, bytes / 1e6 / t.cpu, peakRssMb());
}

void word(std::string& line, const char* head, int64_t value) {
  line.append(head);
  appendInt(line, value, NumberField{.width = 17, .plus = true, .zeroPad = true});
  line.push_back(' ');
}

uint64_t generate(const fs::path& path, uint64_t points) {
  std::mt19937_64 random(42);
  std::uniform_int_distribution<int64_t> step(-2000, 2000);
  int64_t x = 500000123, y = 5300000456, z = 312789;
  FileSink sink(path);
  std::string line;
  for (uint64_t i = 1; i <= points; ++i) {
    line.assign("*110");
    appendInt(line, static_cast<int64_t>(i % 1000), NumberField{.width = 3, .zeroPad = true});
    x += step(random);
    y += step(random);
    z += step(random) / 10;
    appendInt(line, static_cast<int64_t>(i), NumberField{.width = 17, .plus = true, .zeroPad = true});
    line.push_back(' ');
    word(line, "81..10", x);
    word(line, "82..10", y);
    word(line, "83..10", z);
    line.append("\r\n");
    sink.write(line);
  }
  sink.commit();
  return fs::file_size(path);
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t points = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
  const fs::path gsi = folder / "txtgsi-bench.gsi";
  const fs::path csv = folder / "txtgsi-bench.csv";
  const fs::path awkCsv = folder / "txtgsi-bench-awk.csv";
  const fs::path txt = folder / "txtgsi-bench.txt";
  const fs::path back = folder / "txtgsi-bench-back.csv";

  SilentUi ui;
  ui.setQuiet(true);
  try {
    const uint64_t size = generate(gsi, points);
    std::printf("points %llu, GSI-16 %.1f MB (%s)\n", static_cast<unsigned long long>(points), size / 1e6,
                gsi.c_str());

    // The bare conversion in awk: the words of each block by index.
    const std::string awk =
        "awk '{ for (i = 1; i <= NF; i++) { w = $i; if (substr(w, 1, 1) == \"*\") w = substr(w, 2);"
        " k = substr(w, 1, 2); v = substr(w, 8) + 0; if (substr(w, 7, 1) == \"-\") v = -v;"
        " if (k == \"11\") id = v; else if (k == \"81\") x = v / 1000; else if (k == \"82\") y = v / 1000;"
        " else if (k == \"83\") z = v / 1000 }"
        " printf \"%d;%.4f;%.4f;%.4f\\r\\n\", id, x, y, z }' '" +
        gsi.string() + "' > '" + awkCsv.string() + "'";
    // The child's CPU time is not ours: the awk figure is wall time only.
    const auto awkStart = std::chrono::steady_clock::now();
    if (std::system(awk.c_str()) != 0) std::fprintf(stderr, "awk failed\n");
    const double awkSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - awkStart).count();
    std::printf("%-18s %7.3f s %7.1f MB/s\n", "awk GSI -> CSV", awkSeconds, size / 1e6 / awkSeconds);

    Stopwatch watch;
    BlockId layout = readGsiFile(gsi, rootFolder(), {}, activeTableCategories(), ui);
    const Timing gsiRead = watch.elapsed();
    report("  read GSI", gsiRead, size);
    watch = Stopwatch();
    {
      FileSink sink(csv);
      writeCsvLayout(layout, sink, {}, activeTableCategories(), ui);
      sink.commit();
    }
    const Timing csvWrite = watch.elapsed();
    report("  write CSV", csvWrite, fs::file_size(csv));
    report("GSI -> CSV", gsiRead + csvWrite, size);
    std::printf("  %u points; %.1f times the awk script's speed (wall)\n", pointCount(layout),
                awkSeconds / (gsiRead + csvWrite).wall);

    resetMeasurementStore();
    watch = Stopwatch();
    layout = readCsvFile(csv, rootFolder(), {}, activeTableCategories(), ui);
    const Timing csvRead = watch.elapsed();
    report("  read CSV", csvRead, fs::file_size(csv));
    watch = Stopwatch();
    {
      FileSink sink(txt);
      writeTxtLayout(layout, sink, {}, activeTableCategories(), ui);
      sink.commit();
    }
    const Timing txtWrite = watch.elapsed();
    report("  write TXT", txtWrite, fs::file_size(txt));
    report("CSV -> TXT", csvRead + txtWrite, fs::file_size(csv));

    resetMeasurementStore();
    TxtReadSettings in;
    in.delimiter = 9;
    watch = Stopwatch();
    layout = readTxtFile(txt, rootFolder(), in, activeTableCategories(), ui);
    const Timing txtRead = watch.elapsed();
    report("  read TXT", txtRead, fs::file_size(txt));
    watch = Stopwatch();
    {
      FileSink sink(back);
      writeCsvLayout(layout, sink, {}, activeTableCategories(), ui);
      sink.commit();
    }
    const Timing backWrite = watch.elapsed();
    report("  write CSV", backWrite, fs::file_size(back));
    report("TXT -> CSV", txtRead + backWrite, fs::file_size(txt));
  } catch (const CError& e) {
    std::fprintf(stderr, "Error %i: %s\n", e.code(), e.message().c_str());
    return 1;
  }
  const bool keep = argc > 3 && std::string(argv[3]) == "keep";
  if (!keep)
    for (const fs::path& p : {gsi, csv, awkCsv, txt, back}) fs::remove(p);
  return 0;
}
