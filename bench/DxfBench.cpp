// DXF benchmark: generates a survey-like drawing of n entities (40 % POINT,
// 30 % LINE, 20 % LWPOLYLINE of 5 to 20 vertices with some bulges, 10 %
// ARC and CIRCLE; survey coordinates such as x 505000.123, y 5405000.456;
// group codes right-aligned as AutoCAD writes them, CR LF), then reads it
// into the store and writes it as CSV, printing wall time, MB/s of drawing
// and peak RSS for each step.
//
// Usage: dxf_bench [entities] [folder]     (default 1000000, $TMPDIR)
//        dxf_bench generate <n> <file.dxf>  (only writes the drawing)
//        dxf_bench read <file.dxf>          (times reading and writing an existing file)
// bench/dxf-vs-ogr2ogr.sh compares the vltrx executable with GDAL's ogr2ogr
// on the same drawing.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/CsvWriter.h"
#include "formats/TableCategories.h"
#include "formats/dxf/DxfReader.h"
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

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class DrawingWriter {
 public:
  explicit DrawingWriter(std::FILE* f) : m_f(f) {}
  ~DrawingWriter() { flush(); }

  // One pair; the code right-aligned in three columns.
  void pair(int code, std::string_view value) {
    if (code < 10) m_buf += "  ";
    else if (code < 100) m_buf += ' ';
    appendInt(m_buf, code);
    m_buf += "\r\n";
    m_buf += value;
    m_buf += "\r\n";
    if (m_buf.size() > (1u << 20)) flush();
  }
  void number(int code, double v, int decimals = 3) {
    m_num.clear();
    appendFixed(m_num, v, decimals);
    pair(code, m_num);
  }
  void integer(int code, int64_t v) {
    m_num.clear();
    appendInt(m_num, v);
    pair(code, m_num);
  }
  void entity(std::string_view name, std::string_view layer, std::string_view subclass) {
    pair(0, name);
    char handle[16];
    std::snprintf(handle, sizeof handle, "%llX", static_cast<unsigned long long>(++m_handle));
    pair(5, handle);
    pair(330, "1F");
    pair(100, "AcDbEntity");
    pair(8, layer);
    pair(100, subclass);
  }
  void flush() {
    std::fwrite(m_buf.data(), 1, m_buf.size(), m_f);
    m_buf.clear();
  }

 private:
  std::FILE* m_f;
  std::string m_buf, m_num;
  uint64_t m_handle = 0x100;
};

uint64_t generate(const fs::path& file, uint64_t entities) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) {
    std::perror("dxf_bench");
    std::exit(1);
  }
  std::mt19937_64 rng(20261210);
  std::uniform_real_distribution<double> east(505000.0, 515000.0), north(5405000.0, 5415000.0), height(95, 130);
  std::uniform_real_distribution<double> unit(0, 1);
  {
    DrawingWriter w(f);
    w.pair(0, "SECTION");
    w.pair(2, "HEADER");
    w.pair(9, "$ACADVER");
    w.pair(1, "AC1015");
    w.pair(9, "$DWGCODEPAGE");
    w.pair(3, "ANSI_1252");
    w.pair(0, "ENDSEC");
    w.pair(0, "SECTION");
    w.pair(2, "TABLES");
    w.pair(0, "TABLE");
    w.pair(2, "LAYER");
    w.integer(70, 4);
    for (const char* name : {"VL_POINTS", "VL_LINES", "VL_PARCELS", "VL_TREES"}) {
      w.pair(0, "LAYER");
      w.pair(100, "AcDbSymbolTableRecord");
      w.pair(100, "AcDbLayerTableRecord");
      w.pair(2, name);
      w.integer(70, 0);
      w.integer(62, 7);
      w.pair(6, "CONTINUOUS");
    }
    w.pair(0, "ENDTAB");
    w.pair(0, "ENDSEC");
    w.pair(0, "SECTION");
    w.pair(2, "ENTITIES");
    for (uint64_t i = 0; i < entities; ++i) {
      const uint64_t kind = i % 10;
      const double x = east(rng), y = north(rng), z = height(rng);
      if (kind < 4) {
        w.entity("POINT", "VL_POINTS", "AcDbPoint");
        w.number(10, x);
        w.number(20, y);
        w.number(30, z);
      } else if (kind < 7) {
        w.entity("LINE", "VL_LINES", "AcDbLine");
        w.number(10, x);
        w.number(20, y);
        w.number(30, z);
        w.number(11, x + 40 * unit(rng) - 20);
        w.number(21, y + 40 * unit(rng) - 20);
        w.number(31, z);
      } else if (kind < 9) {
        w.entity("LWPOLYLINE", "VL_PARCELS", "AcDbPolyline");
        const int n = 5 + static_cast<int>(unit(rng) * 16);
        w.integer(90, n);
        w.integer(70, unit(rng) < 0.3 ? 1 : 0);
        w.number(43, 0.0, 1);
        double px = x, py = y;
        const int bulgeAt = unit(rng) < 0.25 ? static_cast<int>(unit(rng) * (n - 1)) : -1;
        for (int k = 0; k < n; ++k) {
          w.number(10, px);
          w.number(20, py);
          if (k == bulgeAt) w.number(42, 0.1 + 0.3 * unit(rng), 6);
          px += 2 + 18 * unit(rng);
          py += 20 * unit(rng) - 10;
        }
      } else if (unit(rng) < 0.5) {
        w.entity("ARC", "VL_TREES", "AcDbCircle");
        w.number(10, x);
        w.number(20, y);
        w.number(30, z);
        w.number(40, 0.5 + 4.5 * unit(rng));
        w.pair(100, "AcDbArc");
        const double a0 = 360 * unit(rng);
        w.number(50, a0, 6);
        w.number(51, a0 + 30 + 150 * unit(rng), 6);
      } else {
        w.entity("CIRCLE", "VL_TREES", "AcDbCircle");
        w.number(10, x);
        w.number(20, y);
        w.number(30, z);
        w.number(40, 0.3 + 1.7 * unit(rng));
      }
    }
    w.pair(0, "ENDSEC");
    w.pair(0, "EOF");
  }
  std::fclose(f);
  return fs::file_size(file);
}

// Category names to ids without a category list in force.
uint16_t benchCategory(std::string_view name) { return static_cast<uint16_t>(1 + name.size() % 7); }

class NameCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view, CategorySet&) override {}
  bool nameOf(uint16_t id, std::string& name) override {
    name.clear();
    name.push_back('C');
    appendInt(name, id);
    return true;
  }
};

void readAndWrite(const fs::path& in, const fs::path& out) {
  const double mb = static_cast<double>(fs::file_size(in)) / 1e6;
  SilentUi ui;
  ui.setQuiet(true);
  DxfReadSettings settings;
  settings.importAllLayers = true;
  settings.acceptDuplicateIds = true;
  settings.categoryForName = benchCategory;
  auto t0 = std::chrono::steady_clock::now();
  const BlockId layout = readDxfFile(in, rootFolder(), settings, ui);
  const double tRead = seconds(t0);
  std::printf("read   %8.2f s %8.1f MB/s  %u polygons, %u points  peak %.0f MB\n", tRead, mb / tRead,
              polygonCount(layout), pointCount(layout), peakRssMb());
  NameCategories names;
  t0 = std::chrono::steady_clock::now();
  {
    FileSink sink(out);
    CsvWriteSettings csv;
    writeCsvLayout(layout, sink, csv, names, ui);
    sink.commit();
  }
  const double tWrite = seconds(t0);
  std::printf("write  %8.2f s  %.1f MB of CSV  peak %.0f MB\n", tWrite, static_cast<double>(fs::file_size(out)) / 1e6,
              peakRssMb());
  std::printf("total  %8.2f s %8.1f MB/s of drawing\n", tRead + tWrite, mb / (tRead + tWrite));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc >= 4 && std::string(argv[1]) == "generate") {
      const uint64_t size = generate(argv[3], std::strtoull(argv[2], nullptr, 10));
      std::printf("%s: %.1f MB\n", argv[3], static_cast<double>(size) / 1e6);
      return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "read") {
      readAndWrite(argv[2], fs::path(argv[2]).replace_extension(".bench.csv"));
      return 0;
    }
    const uint64_t n = argc >= 2 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder = argc >= 3 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
    const fs::path in = folder / "dxf-bench-in.dxf", out = folder / "dxf-bench-out.csv";
    auto t0 = std::chrono::steady_clock::now();
    const uint64_t size = generate(in, n);
    std::printf("%llu entities, %.1f MB generated in %.2f s\n", static_cast<unsigned long long>(n),
                static_cast<double>(size) / 1e6, seconds(t0));
    readAndWrite(in, out);
    if (!std::getenv("DXF_BENCH_KEEP")) {
      fs::remove(in);
      fs::remove(out);
    }
  } catch (const CError& e) {
    std::fprintf(stderr, "Error %d: %s\n", e.code(), e.message().c_str());
    return 1;
  }
  return 0;
}
