// The conversion driver: input file or folder to output file or folder,
// the "*categories" paths, scale and swap, overwrite question, -delsource,
// -xmlcopy.
#pragma once

#include "app/ConversionJob.h"

namespace vltrx {

struct AllFormatOptions;
class Ui;

/// Performs the conversion of job; returns 0 on success, throws CError.
int convert(ConversionJob& job, AllFormatOptions& options, Ui& ui);

}  // namespace vltrx
