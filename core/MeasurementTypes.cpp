// Packed date and time, polar observation bit packing, preferred system.
#include "core/MeasurementTypes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vltrx {

// --- PackedDateTime ------------------------------------------------------------

uint32_t packDateTime(const DateTimeParts& p) {
  return ((((p.yy * 13 + p.mm) * 32 + p.dd) * 24 + p.hh) * 60 + p.mi) * 60 + p.ss;
}

DateTimeParts unpackDateTime(uint32_t v) {
  DateTimeParts p;
  p.ss = v % 60;
  p.mi = (v / 60) % 60;
  p.hh = (v / 3600) % 24;
  p.dd = (v / 86400) % 32;
  p.mm = (v / 2764800) % 13;
  p.yy = v / 35942400;
  return p;
}

bool isValidDateTime(const DateTimeParts& p) {
  if (p.yy > 99 || p.mm < 1 || p.mm > 12 || p.dd < 1 || p.dd > 31) return false;
  if ((p.mm == 4 || p.mm == 6 || p.mm == 9 || p.mm == 11) && p.dd > 30) return false;
  if (p.mm == 2 && p.dd > 29) return false;
  if (p.mm == 2 && p.dd > 28 && p.yy % 4 != 0) return false;
  return p.hh < 24 && p.mi < 60 && p.ss < 60;
}

std::optional<uint32_t> packDateTime(uint32_t yymmdd, uint32_t hhmmss) {
  DateTimeParts p{yymmdd / 10000, (yymmdd / 100) % 100, yymmdd % 100,
                  hhmmss / 10000, (hhmmss / 100) % 100, hhmmss % 100};
  if (hhmmss > 999999 || !isValidDateTime(p)) return std::nullopt;
  return packDateTime(p);
}

uint32_t dateNumber(uint32_t packed) {
  DateTimeParts p = unpackDateTime(packed);
  return p.yy * 10000 + p.mm * 100 + p.dd;
}

uint32_t timeNumber(uint32_t packed) {
  DateTimeParts p = unpackDateTime(packed);
  return p.hh * 10000 + p.mi * 100 + p.ss;
}

// --- PolarObservation ----------------------------------------------------------
//
// Bit layout (little-endian 16-bit words):
//   bytes 0-1   r bits 0-15
//   bytes 2-3   phi bits 0-15
//   bytes 4-5   dev_r bits 0-15
//   bytes 6-7   bits 0-10 r bits 16-26, bits 11-14 phi bits 16-19, bit 15 dev_r bit 16
//   bytes 8-9   bits 0-9 h, bits 10-15 dev_phi bits 8-13
//   byte 10     dev_phi bits 0-7
// r (27 bits), dev_r (17) and dev_phi (14) are unsigned; phi (20) and h (10)
// are two's complement. r, dev_r, h in 0.1 mm; phi, dev_phi in 0.00001 rad.

namespace {

constexpr double kLengthUnit = 10000.0;   // 0.1 mm per unit
constexpr double kAngleUnit = 100000.0;   // 0.00001 rad per unit
constexpr int64_t kMaxR = (1 << 27) - 1;
constexpr int64_t kMaxDevR = (1 << 17) - 1;

// Scales and rounds half up; NaN counts as 0, the result is clamped.
int64_t scaled(double value, double unit, int64_t lo, int64_t hi) {
  if (std::isnan(value)) return 0;
  double v = std::floor(value * unit + 0.5);
  if (v < double(lo)) return lo;
  if (v > double(hi)) return hi;
  return static_cast<int64_t>(v);
}

void putWord(uint8_t* b, unsigned offset, uint32_t word) {
  b[offset] = static_cast<uint8_t>(word & 0xFF);
  b[offset + 1] = static_cast<uint8_t>((word >> 8) & 0xFF);
}

uint32_t getWord(const uint8_t* b, unsigned offset) { return uint32_t(b[offset]) | (uint32_t(b[offset + 1]) << 8); }

int32_t signExtend(uint32_t value, unsigned bits) {
  uint32_t sign = 1u << (bits - 1);
  value &= (1u << bits) - 1;
  return static_cast<int32_t>(value ^ sign) - static_cast<int32_t>(sign);
}

}  // namespace

bool PolarObservation::empty() const {
  return std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; });
}

PolarObservation encodePolar(const PolarValues& v) {
  constexpr double pi = std::numbers::pi;
  double phi = std::isfinite(v.phi) ? v.phi : 0.0;
  // Into (-pi, pi]: far-off values in one step, then by adding or subtracting 2 pi.
  if (std::fabs(phi) > 8 * pi) phi = std::remainder(phi, 2 * pi);
  while (phi > pi) phi -= 2 * pi;
  while (phi <= -pi) phi += 2 * pi;
  const double h = std::clamp(std::isnan(v.h) ? 0.0 : v.h, -0.05, 0.05);
  const double devPhi = std::clamp(std::isnan(v.devPhi) ? 0.0 : v.devPhi, 0.0, 0.16);

  const uint32_t r = static_cast<uint32_t>(scaled(v.r, kLengthUnit, 0, kMaxR));
  const uint32_t devR = static_cast<uint32_t>(scaled(v.devR, kLengthUnit, 0, kMaxDevR));
  const uint32_t p = static_cast<uint32_t>(scaled(phi, kAngleUnit, -(1 << 19), (1 << 19) - 1)) & 0xFFFFF;
  const uint32_t hh = static_cast<uint32_t>(scaled(h, kLengthUnit, -512, 511)) & 0x3FF;
  const uint32_t dp = static_cast<uint32_t>(scaled(devPhi, kAngleUnit, 0, (1 << 14) - 1));

  PolarObservation o;
  putWord(o.bytes, 0, r & 0xFFFF);
  putWord(o.bytes, 2, p & 0xFFFF);
  putWord(o.bytes, 4, devR & 0xFFFF);
  putWord(o.bytes, 6, ((r >> 16) & 0x7FF) | (((p >> 16) & 0xF) << 11) | (((devR >> 16) & 1) << 15));
  putWord(o.bytes, 8, (hh & 0x3FF) | (((dp >> 8) & 0x3F) << 10));
  o.bytes[10] = static_cast<uint8_t>(dp & 0xFF);
  return o;
}

PolarValues decodePolar(const PolarObservation& o) {
  const uint32_t w6 = getWord(o.bytes, 6);
  const uint32_t w8 = getWord(o.bytes, 8);
  const uint32_t r = getWord(o.bytes, 0) | ((w6 & 0x7FF) << 16);
  const uint32_t p = getWord(o.bytes, 2) | (((w6 >> 11) & 0xF) << 16);
  const uint32_t devR = getWord(o.bytes, 4) | (((w6 >> 15) & 1) << 16);
  const int32_t h = signExtend(w8 & 0x3FF, 10);
  const uint32_t dp = (((w8 >> 10) & 0x3F) << 8) | o.bytes[10];
  PolarValues v;
  v.r = r * 0.0001;
  v.phi = signExtend(p, 20) * 0.00001;
  v.devR = devR * 0.0001;
  v.devPhi = dp * 0.00001;
  v.h = h * 0.0001;
  return v;
}

// --- preferred system ----------------------------------------------------------

namespace {
PreferredSystem g_preferred = PreferredSystem::Xyz;
}

PreferredSystem preferredSystem() { return g_preferred; }
void setPreferredSystem(PreferredSystem system) { g_preferred = system; }

PreferredSystem preferredSystemFromText(std::string_view text) {
  if (text.find("XYZ") != std::string_view::npos) return PreferredSystem::Xyz;
  if (text.find("YXZ") != std::string_view::npos) return PreferredSystem::Yxz;
  if (text.find("NEZ") != std::string_view::npos) return PreferredSystem::Nez;
  return PreferredSystem::Xyz;
}

const char* preferredSystemText(PreferredSystem system) {
  switch (system) {
    case PreferredSystem::Yxz: return "YXZ";
    case PreferredSystem::Nez: return "NEZ";
    default: return "XYZ";
  }
}

}  // namespace vltrx
