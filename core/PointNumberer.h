// Turns source point ids (digits or alphanumeric text) into unique point
// numbers of a layout, and keeps the answer of the renumbering prompt that
// tells the user when a point had to get a new number (the prompt itself is
// the caller's: ui/RenumberPrompt.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vltrx {

/// Answer of the renumbering prompt: bit 0 = do not ask again,
/// bit 1 = use point id as comment.
enum RenumberBits : unsigned { kRenumberDontAsk = 1u, kRenumberIdAsComment = 2u };

enum class NumberOutcome {
  Kept,                    // the number came from the source id (or, in the
                           // alphanumeric mode, the first point of that id)
  RenumberedNotUnique,     // the number was taken: text id 10 is offered
  RenumberedAlphanumeric,  // the id is not all digits: text id 11 is offered
};

struct PointNumber {
  uint32_t number = 0;
  NumberOutcome outcome = NumberOutcome::Kept;
  /// Alphanumeric mode: the first point of a source id keeps the id as name.
  bool keepName = false;
};

class PointNumberer {
 public:
  /// nextFree: the first number handed out when a source id cannot be used
  /// (readers start at 10001). formatName: shown in the prompt.
  /// commentOffered: the prompt enables "Use point id as comment".
  explicit PointNumberer(uint32_t nextFree = 10001, std::string formatName = {}, bool commentOffered = false);

  /// Alphanumeric point-id mode: every point takes the next free number.
  void setAlphanumeric(bool on) { m_alphanumeric = on; }
  bool alphanumeric() const { return m_alphanumeric; }

  /// Marks a number as used in the layout (for numbers stored before).
  void markUsed(uint32_t number);
  bool isUsed(uint32_t number) const;

  /// Numbers one source id. Digits only: above 9999 the value modulo 10000
  /// (remainder 0, and the value 0, take the next free number); a number
  /// already used takes the next free number (RenumberedNotUnique). Other
  /// text takes the next free number (RenumberedAlphanumeric). Throws CError
  /// -2133 when the next free number would exceed 2147483600.
  PointNumber assign(std::string_view sourceId);

  /// True when a result was renumbered and the user has not chosen "do not
  /// ask again": the caller shows the renumbering prompt.
  bool wantsPrompt(const PointNumber& result) const {
    return result.outcome != NumberOutcome::Kept && !(m_bits & kRenumberDontAsk);
  }
  /// Whether the prompt offers "Use point id as comment".
  bool commentOffered() const { return m_commentOffered; }

  /// The last answer of the prompt (bit 0 = do not ask again, bit 1 = use
  /// point id as comment); 0 before the first prompt.
  unsigned answerBits() const { return m_bits; }
  void setAnswerBits(unsigned bits) { m_bits = bits; }
  bool useIdAsComment() const { return (m_bits & kRenumberIdAsComment) != 0; }

  /// The prompt text: text id 10 or 11 filled with the format name, the source
  /// id and the new number.
  std::string promptMessage(const PointNumber& result, std::string_view sourceId) const;

  /// The next number a renumbered point would get.
  uint32_t nextFree() const { return m_nextFree; }
  /// Alphanumeric mode: the number given to the first point of a source id, 0
  /// when the id has not been seen.
  uint32_t numberOfSource(std::string_view sourceId) const;

 private:
  uint32_t takeNextFree();

  uint32_t m_nextFree;
  std::string m_formatName;
  bool m_commentOffered;
  bool m_alphanumeric = false;
  unsigned m_bits = 0;
  // Numbers 0..9999 (the only ones a source id yields directly) in a bitmap;
  // larger numbers come from the monotonic counter, except those marked by
  // markUsed, which the counter skips.
  std::vector<bool> m_usedSmall;
  std::unordered_set<uint32_t> m_usedLarge;
  std::unordered_map<std::string, uint32_t> m_sources;
};

}  // namespace vltrx
