// The conversion driver: input file or folder to output file or folder,
// the "*categories" paths, scale and swap, overwrite question, -delsource,
// -xmlcopy.
#pragma once

#include "app/ConversionJob.h"
#include "core/BlockStore.h"

namespace vltrx {

struct AllFormatOptions;
class Ui;

/// Performs the conversion of job; returns 0 on success, throws CError.
int convert(ConversionJob& job, AllFormatOptions& options, Ui& ui);

/// Reads the input of job (file or folder, with the format named by -in: or
/// derived from the extension) below parent the way a conversion does, and
/// writes nothing: the load step of an import recipe. keepOffsets and
/// acceptDuplicateIds come from the running conversion's output format.
void readJobInput(ConversionJob& job, AllFormatOptions& options, Ui& ui, BlockId parent, bool keepOffsets,
                  bool acceptDuplicateIds);

}  // namespace vltrx
