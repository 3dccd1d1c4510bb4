// Small value types of the measurement store: the packed date and time, the
// 11-byte polar observation and the preferred coordinate order of the data.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vltrx {

// --- PackedDateTime ------------------------------------------------------------

/// Date and time fields: two-digit year 0-99, month 1-12, day 1-31, hour
/// 0-23, minute and second 0-59.
struct DateTimeParts {
  uint32_t yy = 0, mm = 0, dd = 0, hh = 0, mi = 0, ss = 0;
  bool operator==(const DateTimeParts&) const = default;
};

/// value = ((((yy * 13 + mm) * 32 + dd) * 24 + hh) * 60 + mi) * 60 + ss.
/// 0 means no date. The fields are not checked (see isValidDateTime).
uint32_t packDateTime(const DateTimeParts& parts);

/// The fields of a packed value.
DateTimeParts unpackDateTime(uint32_t value);

/// True for yy <= 99, a month 1-12, a day that exists in that month (29
/// February only when yy is divisible by 4), hh < 24, mi < 60, ss < 60.
bool isValidDateTime(const DateTimeParts& parts);

/// Packs a date given as the decimal number yymmdd and a time hhmmss; no
/// value when they do not form a valid date and time.
std::optional<uint32_t> packDateTime(uint32_t yymmdd, uint32_t hhmmss);

/// The date as the decimal number yymmdd and the time as hhmmss.
uint32_t dateNumber(uint32_t packed);
uint32_t timeNumber(uint32_t packed);

// --- PolarObservation ----------------------------------------------------------

/// 11 bytes, little-endian words (bit layout in MeasurementTypes.cpp). All
/// zero means no observation.
struct PolarObservation {
  uint8_t bytes[11] = {};
  bool empty() const;
  bool operator==(const PolarObservation&) const = default;
};
static_assert(sizeof(PolarObservation) == 11);

/// A polar measurement relative to a station: distance r and its deviation in
/// metres, horizontal angle phi and its deviation in radians, height
/// difference h in metres.
struct PolarValues {
  double r = 0, phi = 0, devR = 0, devPhi = 0, h = 0;
};

/// Packs the values: phi is brought into (-pi, pi], h clamped to
/// [-0.05, 0.05] m, devPhi to [0, 0.16] rad, r and devR to their bit widths
/// (27 and 17 bits of 0.1 mm, never negative); each is scaled and rounded half up.
PolarObservation encodePolar(const PolarValues& values);

/// Unpacks the values (r, devR, h in units of 0.0001 m, phi, devPhi in units of
/// 0.00001 rad).
PolarValues decodePolar(const PolarObservation& observation);

// --- preferred system ----------------------------------------------------------

/// Coordinate order the data prefers: 0 = "XYZ", 1 = "YXZ", 2 = "NEZ".
enum class PreferredSystem : int { Xyz = 0, Yxz = 1, Nez = 2 };

/// The process-wide value (Xyz at start and after the store is reset).
PreferredSystem preferredSystem();
void setPreferredSystem(PreferredSystem system);

/// Searches text for "XYZ", then "YXZ", then "NEZ"; none of them gives Xyz.
PreferredSystem preferredSystemFromText(std::string_view text);

/// "YXZ" for Yxz, "NEZ" for Nez, "XYZ" otherwise.
const char* preferredSystemText(PreferredSystem system);

}  // namespace vltrx
