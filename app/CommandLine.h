// Command-line grammar: the pre-scan of start-up, the option table, the
// checks after parsing, help and usage texts.
#pragma once

#include "app/ConversionJob.h"

#include <string>
#include <vector>

namespace vltrx {

struct AllFormatOptions;

/// Program version as stored in "Version" and returned by -version.
constexpr int kProgramVersion = 3400;
constexpr const char* kVersionText = "3.40";
constexpr const char* kYearText = "2020";

/// Start-up pre-scan (case-sensitive prefixes): "-default:<name>",
/// "-default", "-version", "-gui", plus "-nodialog" so that start-up itself
/// stays quiet.
void prescanArguments(const std::vector<std::string>& args, ConversionJob& job);

/// Parses args (args[0] is the program name) into job and the option
/// records. Returns 0 to go on with the action, or a positive exit code to
/// end the program (help: 1; its text is in job.output). Throws CError for
/// malformed arguments.
int parseArguments(const std::vector<std::string>& args, ConversionJob& job, AllFormatOptions& options);

/// The usage text (text 18 with version and year).
std::string usageText();

/// Option help of a format name ("csv", "dxf_in", ...): the format's help
/// text followed by the common option text. Throws CError -2113 for a name
/// that is no known format.
std::string formatHelpText(const std::string& name);

}  // namespace vltrx
