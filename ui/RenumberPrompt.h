// The renumbering prompt of the readers that take point ids from text (CSV,
// TXT, GSI, REB, DXF point-id import): the numbering is core's, asking the
// user is the ui's.
#pragma once

#include "core/PointNumberer.h"

#include <string_view>

namespace vltrx {

class Ui;

/// Shows the renumbering prompt for a result of numberer.assign() when the
/// point was renumbered, unless the ui is quiet or the user chose "do not ask
/// again"; the answer is kept in numberer (answerBits()). Cancel throws
/// ExitRequest{-2137}.
void promptRenumbering(PointNumberer& numberer, const PointNumber& result, std::string_view sourceId, Ui& ui);

/// Numbers one source id and prompts for it as promptRenumbering does.
PointNumber numberPoint(PointNumberer& numberer, std::string_view sourceId, Ui& ui);

}  // namespace vltrx
