// Unique point numbers from source point ids, and the text of the
// renumbering prompt.
#include "core/PointNumberer.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"

#include <algorithm>

namespace vltrx {
namespace {

constexpr uint32_t kDirectLimit = 10000;  // source ids 1-9999 are used as they are

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of a digit string reduced as the numbering wants it: the value
// itself below 10000, else the value modulo 10000. Taken from the last four
// digits, so ids of any length work (a 64-bit read gives the same for every
// id that fits 64 bits).
uint32_t reducedValue(std::string_view digits) {
  size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return 0;
  std::string_view tail = digits.substr(first);
  if (tail.size() > 4) tail = tail.substr(tail.size() - 4);
  uint32_t v = 0;
  for (char c : tail) v = v * 10 + uint32_t(c - '0');
  return v;
}

}  // namespace

PointNumberer::PointNumberer(uint32_t nextFree, std::string formatName, bool commentOffered)
    : m_nextFree(nextFree), m_formatName(std::move(formatName)), m_commentOffered(commentOffered),
      m_usedSmall(kDirectLimit, false) {}

void PointNumberer::markUsed(uint32_t number) {
  if (number < kDirectLimit)
    m_usedSmall[number] = true;
  else
    m_usedLarge.insert(number);
}

bool PointNumberer::isUsed(uint32_t number) const {
  return number < kDirectLimit ? bool(m_usedSmall[number]) : m_usedLarge.count(number) != 0;
}

uint32_t PointNumberer::takeNextFree() {
  // Numbers marked used are skipped; numbers this counter handed out lie
  // below it, so they never come again.
  while (true) {
    if (m_nextFree == 0 || m_nextFree > kMaxPointNumber) throw makeError(ErrorCode::TooManyPoints);
    uint32_t n = m_nextFree++;
    if (!isUsed(n)) {
      if (n < kDirectLimit) m_usedSmall[n] = true;
      return n;
    }
  }
}

PointNumber PointNumberer::assign(std::string_view sourceId) {
  PointNumber result;
  if (m_alphanumeric) {
    result.number = takeNextFree();
    auto [it, inserted] = m_sources.try_emplace(std::string(sourceId), result.number);
    result.keepName = inserted;
    result.outcome = inserted ? NumberOutcome::Kept : NumberOutcome::RenumberedNotUnique;
    return result;
  }
  if (!allDigits(sourceId)) {
    result.number = takeNextFree();
    result.outcome = NumberOutcome::RenumberedAlphanumeric;
    return result;
  }
  const size_t significant = sourceId.size() - std::min(sourceId.size(), sourceId.find_first_not_of('0'));
  const uint32_t value = reducedValue(sourceId);
  if (value == 0) {
    // 20000 (remainder 0) takes the next free number and keeps it. The id 0
    // itself names no point; it is renumbered like a taken number.
    result.number = takeNextFree();
    result.outcome = significant > 4 ? NumberOutcome::Kept : NumberOutcome::RenumberedNotUnique;
    return result;
  }
  if (!isUsed(value)) {
    m_usedSmall[value] = true;
    result.number = value;
    return result;
  }
  result.number = takeNextFree();
  result.outcome = NumberOutcome::RenumberedNotUnique;
  return result;
}

uint32_t PointNumberer::numberOfSource(std::string_view sourceId) const {
  auto it = m_sources.find(std::string(sourceId));
  return it == m_sources.end() ? 0 : it->second;
}

std::string PointNumberer::promptMessage(const PointNumber& result, std::string_view sourceId) const {
  // Text 10 or 11 holds "%s" (format name), "%s" (source id) and "%u" (new
  // number), in this order.
  std::string message = text(result.outcome == NumberOutcome::RenumberedAlphanumeric ? 11 : 10);
  // Each placeholder is searched after the text put in before it, so a "%s"
  // or "%u" inside the format name or the source id stays as it is.
  size_t pos = message.find("%s");
  if (pos != std::string::npos) {
    message.replace(pos, 2, m_formatName);
    pos = message.find("%s", pos + m_formatName.size());
  }
  if (pos != std::string::npos) {
    message.replace(pos, 2, sourceId);
    pos += sourceId.size();
  } else {
    pos = 0;
  }
  pos = message.find("%u", pos);
  if (pos != std::string::npos) {
    std::string number;
    appendInt(number, result.number);
    message.replace(pos, 2, number);
  }
  return message;
}

}  // namespace vltrx
