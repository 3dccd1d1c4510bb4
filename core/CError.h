// The one exception type of the converter, the error codes it carries and
// the pending detail that travels from where an error is found to its message.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace vltrx {

/// Negative error codes. Store, parser and reader functions return them
/// (0 or positive = success); the first caller that cannot handle one throws
/// it as a CError.
enum class ErrorCode : int {
  None = 0,
  PositionOutsideRegion = -103,
  UnexpectedEndOfData = -405,
  XmlInvalidCharacter = -501,
  XmlEndTagMismatch = -502,
  XmlTooComplex = -503,
  XmlDuplicateAttribute = -504,
  XmlMissingAttribute = -505,
  XmlInvalidElementContents = -507,
  XmlInvalidDocumentContents = -508,
  XmlUnknownDocumentType = -509,
  XmlUnknownEntity = -510,
  RecordStoreFull = -601,
  StorageExceeded = -602,
  BadRecordType = -603,
  NoFreeRecordTag = -607,
  CategoryListTooLarge = -611,
  TooManyFolderLevels = -612,
  InvalidBlockId = -613,
  InvalidParameterValue = -701,
  InvalidDateTime = -706,
  InvalidName = -707,
  InvalidCategoryId = -708,
  NameExists = -901,
  InvalidPointNumbers = -907,
  PointNumberTooBig = -921,
  InvalidRebFile = -2001,
  InvalidRebFile2 = -2003,
  CannotOpenFile = -2101,
  LayoutExists = -2102,
  InvalidScaleFactor = -2104,
  InvalidApproximation = -2106,
  InvalidEquality = -2107,
  InvalidFieldDelimiter = -2108,
  InvalidDecimalDelimiter = -2109,
  InvalidFormatString = -2110,
  InvalidMidpointFactor = -2111,
  InvalidPidTextHeight = -2112,
  UnknownFileFormat = -2113,
  InvalidCoordTextHeight = -2114,
  InvalidOptionId = -2115,
  InvalidTextParameters = -2116,
  UnknownOption = -2117,
  TooManyFiles = -2118,
  NoOutputFile = -2119,
  OutFormatMissing = -2120,
  NoInputPath = -2121,
  InFormatMissing = -2122,
  NoDataInFolder = -2123,
  SingleLayoutRequired = -2124,
  CannotCreateFolder = -2125,
  CannotCreateFile = -2126,
  FolderAccessDenied = -2127,
  CategoryLocationNotSet = -2128,
  InvalidSwap = -2129,
  UnknownDataFormat = -2130,
  TooManyPoints = -2133,
  InvalidPointDisplayMode = -2134,
  CouldNotConvert = -2135,
  OptionsFileMissing = -2136,
  Cancelled = -2137,
  InvalidParameterInput = -2138,
  Da11RangeTooLarge = -2201,
  IntersectingEdges = -2202,
  InvalidOz = -2203,
  NoPolygonsExported = -2204,
  DxfUnexpectedEnd = -2301,
  DxfNumericExpected = -2302,
  DxfNameMissing = -2303,
  DxfInvalidEllipse = -2304,
  DxfInvalidSplineDegree = -2305,
  DxfInvalidKnotCount = -2306,
  DxfWeightCountMismatch = -2307,
  DxfInvalidStructure = -2308,
  DxfCoordinateError = -2309,
  DxfInvalidInsertScale = -2311,
  DxfBinary = -2312,
  DxfTooManyLayers = -2313,
  InvalidFileFormat = -2401,
  InvalidFileFormat2 = -2402,
};

constexpr int operator+(ErrorCode c) { return static_cast<int>(c); }

/// The exception thrown for every failure of a run: a negative code and the
/// finished message in the current language (UTF-8).
class CError : public std::exception {
 public:
  CError(int code, std::string message) : m_code(code), m_message(std::move(message)) {}
  CError(ErrorCode code, std::string message) : CError(+code, std::move(message)) {}

  int code() const noexcept { return m_code; }
  const std::string& message() const noexcept { return m_message; }
  const char* what() const noexcept override { return m_message.c_str(); }

  /// Appends text to the message (readers add " [line %d]").
  void append(std::string_view text) { m_message.append(text); }

 private:
  int m_code;
  std::string m_message;
};

/// The process-wide pending detail: one slot, filled where an error is
/// detected, consumed by the CError built from that code.
struct PendingDetail {
  int code = 0;
  uint32_t line = 0;
  std::string text;  // at most 119 characters
  bool set = false;
};

/// Fills the slot (text cut to 119 characters) and sets the flag;
/// code 0 clears it.
void setPendingDetail(int code, uint32_t line = 0, std::string_view text = {});
inline void setPendingDetail(ErrorCode code, uint32_t line = 0, std::string_view text = {}) {
  setPendingDetail(+code, line, text);
}
const PendingDetail& pendingDetail();

/// Text id of an error code; codes not in the table give 64, "Internal error".
int textIdForCode(int code);

/// Message of the code; consumes the pending detail and, when it was set for
/// this code, puts its text in place of the first "%s".
CError makeError(int code);
inline CError makeError(ErrorCode code) { return makeError(+code); }

/// Message of the code with the first "%s" replaced by detail.
CError makeError(int code, std::string_view detail);
inline CError makeError(ErrorCode code, std::string_view detail) { return makeError(+code, detail); }

/// The line suffix " [line %d]" (text id 39) with line filled in.
std::string lineSuffix(uint64_t line);

/// makeError(code, detail) with the line suffix " [line %d]" (text id 39)
/// that readers counting lines append.
CError makeLineError(int code, std::string_view detail, uint64_t line);
inline CError makeLineError(ErrorCode code, std::string_view detail, uint64_t line) {
  return makeLineError(+code, detail, line);
}

/// Replaces the first "%s" of format by arg (the other placeholders stay).
/// The argument is a name from a file or the command line, so its control
/// characters are escaped (escapeControlCharacters): a name never moves the
/// cursor or clears the screen of the terminal that shows the message.
std::string replaceFirstS(std::string_view format, std::string_view arg);

/// text with every control character written as "\xHH": bytes below 0x20,
/// 0x7F and the UTF-8 encoded C1 controls U+0080 to U+009F (U+009B is a
/// second way to start an escape sequence). With
/// keepLineBreaks, "\n" and "\t" stay as they are (message texts use them).
std::string escapeControlCharacters(std::string_view text, bool keepLineBreaks = false);

}  // namespace vltrx
