// Point numbers of the table readers (CSV, TXT, GSI, REB) from the id
// column: plain, reduced or alphanumeric ids, with the renumbering prompt.
#pragma once

#include "core/PointNumberer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {

class Ui;

class TablePointIds {
 public:
  enum class Mode {
    Plain,         ///< the leading decimal integer of the field (0 when none)
    Reduce,        ///< digits reduced to four, others renumbered from 10001
    Alphanumeric,  ///< numbered 1, 2, 3 ... in file order, the text kept as name
  };

  /// Reduction takes precedence over alphanumeric ids. formatName is shown in
  /// the renumbering prompt ("CSV", "TXT" ...). firstNumber replaces the
  /// first number handed out (10001 with reduction, 1 with alphanumeric
  /// ids) when not 0.
  TablePointIds(std::string formatName, bool reduce, bool alphanumeric, uint32_t firstNumber = 0);

  struct Result {
    uint32_t number = 0;
    /// Alphanumeric mode: the point keeps the id text as its name.
    bool keepName = false;
    /// Reduction mode: the user asked for the id as comment and the number
    /// differs from the id.
    bool idAsComment = false;
  };

  /// Numbers one point. idBytes is the field as read, idText its UTF-8 text
  /// (only used in the reduction and alphanumeric modes). Throws CError -921
  /// with the id as detail for a number above 2147483600, -2133 when the
  /// numbers run out, ExitRequest{-2137} when the prompt is cancelled.
  Result assign(std::string_view idBytes, std::string_view idText, Ui& ui);

  Mode mode() const { return m_mode; }
  /// The mode needs the decoded id text.
  bool needsText() const { return m_mode != Mode::Plain; }

 private:
  Mode m_mode;
  PointNumberer m_numberer;
};

}  // namespace vltrx
