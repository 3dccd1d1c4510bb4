// Point numbers of the table readers from their id column.
#include "formats/TablePointIds.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/Numbers.h"
#include "ui/RenumberPrompt.h"

#include <algorithm>

namespace vltrx {

namespace {

// First number of the reduction counter and of the sequential alphanumeric
// numbering.
constexpr uint32_t kFirstReductionNumber = 10001;
constexpr uint32_t kFirstSequentialNumber = 1;

TablePointIds::Mode modeOf(bool reduce, bool alphanumeric) {
  if (reduce) return TablePointIds::Mode::Reduce;
  return alphanumeric ? TablePointIds::Mode::Alphanumeric : TablePointIds::Mode::Plain;
}

// True when the number given is not the value of the id text.
bool differsFromId(std::string_view id, uint32_t number) {
  if (id.empty() || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
  size_t first = id.find_first_not_of('0');
  if (first == std::string_view::npos) return number != 0;
  id.remove_prefix(first);
  if (id.size() > 10) return true;
  uint64_t value = 0;
  for (char c : id) value = value * 10 + uint64_t(c - '0');
  return value != number;
}

}  // namespace

TablePointIds::TablePointIds(std::string formatName, bool reduce, bool alphanumeric, uint32_t firstNumber)
    : m_mode(modeOf(reduce, alphanumeric)),
      m_numberer(firstNumber != 0                    ? firstNumber
                 : m_mode == Mode::Alphanumeric ? kFirstSequentialNumber
                                                : kFirstReductionNumber,
                 std::move(formatName), true) {
  m_numberer.setAlphanumeric(m_mode == Mode::Alphanumeric);
}

TablePointIds::Result TablePointIds::assign(std::string_view idBytes, std::string_view idText, Ui& ui) {
  Result result;
  if (m_mode == Mode::Plain) {
    int64_t id = 0;
    parseLeadingInt(idBytes, id);
    // The id as the file gives it: beyond int64 the value saturates.
    if (id > int64_t(kMaxPointNumber)) throw makeError(ErrorCode::PointNumberTooBig, leadingIntText(idBytes));
    // A negative id names no point: the point is stored without a number.
    result.number = id > 0 ? static_cast<uint32_t>(id) : 0;
    return result;
  }
  PointNumber n = numberPoint(m_numberer, idText, ui);
  if (n.number > kMaxPointNumber) throw makeError(ErrorCode::TooManyPoints);
  result.number = n.number;
  result.keepName = n.keepName;
  result.idAsComment = m_mode == Mode::Reduce && m_numberer.useIdAsComment() && differsFromId(idText, n.number);
  return result;
}

}  // namespace vltrx
