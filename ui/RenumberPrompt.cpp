// The renumbering prompt: shown once per renumbered point until the user
// chooses "do not ask again", never under -nodialog.
#include "ui/RenumberPrompt.h"

#include "ui/Ui.h"

namespace vltrx {

void promptRenumbering(PointNumberer& numberer, const PointNumber& result, std::string_view sourceId, Ui& ui) {
  if (!numberer.wantsPrompt(result) || ui.quiet()) return;
  numberer.setAnswerBits(
      ui.renumberPrompt(numberer.promptMessage(result, sourceId), numberer.commentOffered(), numberer.answerBits()));
}

PointNumber numberPoint(PointNumberer& numberer, std::string_view sourceId, Ui& ui) {
  PointNumber result = numberer.assign(sourceId);
  promptRenumbering(numberer, result, sourceId, ui);
  return result;
}

}  // namespace vltrx
