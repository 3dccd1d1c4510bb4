// Writing the converter's own XML documents to a sink: raw text, escaped
// text and the attribute forms, with a line counter and progress ticks.
#pragma once

#include "core/Sink.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace vltrx {

class XmlWriter {
 public:
  /// Text attributes written with attributeShortText are cut to this many bytes.
  static constexpr size_t kShortTextLimit = 199;

  explicit XmlWriter(Sink& sink) : m_sink(sink) {}

  /// Called by tick(): one step of the progress indicator per element start.
  void setTick(std::function<void()> tick) { m_tick = std::move(tick); }
  void tick() {
    if (m_tick) m_tick();
  }

  /// Writes text as it is, counting LF bytes.
  void raw(std::string_view text);
  /// Writes CR LF.
  void endLine() {
    m_sink.write("\r\n", 2);
    ++m_line;
  }
  /// Writes text with less-than, greater-than, ampersand, apostrophe and
  /// double quote as "&lt;", "&gt;", "&amp;", "&apos;" and "&quot;".
  void escaped(std::string_view text);

  /// ` name="value"` with the value as "%ld".
  void attribute(std::string_view name, int64_t value);
  /// ` name="value"` with the value as "%.Nf" (N = precision).
  void attributeFixed(std::string_view name, double value, int precision);
  /// ` name="text"`, the text escaped.
  void attributeText(std::string_view name, std::string_view text);
  /// ` name="text"`, the text cut to 199 bytes and escaped.
  void attributeShortText(std::string_view name, std::string_view text);

  /// value as "%ld".
  void integer(int64_t value);
  /// value as "%.Nf".
  void fixed(double value, int precision);
  /// value as "%g".
  void general(double value);

  /// Lines written so far (LF bytes + 1).
  uint32_t line() const { return m_line; }
  Sink& sink() { return m_sink; }

 private:
  void attributeStart(std::string_view name);

  Sink& m_sink;
  std::function<void()> m_tick;
  uint32_t m_line = 1;
};

}  // namespace vltrx
