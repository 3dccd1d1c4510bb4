// Test helper: a ui that shows nothing, records the warnings and renumbering
// prompts it is asked for and answers them from a script.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Ui.h"

namespace vltrx::test {

class ScriptedUi : public SilentUi {
 public:
  // Warning dialogs: their text ids, answered with warningAnswer (false = Cancel).
  std::vector<int> warningIds;
  bool warningAnswer = true;
  int warnings() const { return static_cast<int>(warningIds.size()); }

  // Renumbering prompts: the message, whether the comment choice was offered
  // and the bits preset from the previous answer.
  std::vector<std::string> prompts;
  std::vector<unsigned> previousBits;
  bool commentOffered = false;
  /// Answers in order (bits, or -1 = Cancel); when used up, promptAnswer,
  /// and without it the previous answer again.
  std::vector<int> answers;
  std::optional<int> promptAnswer;

 protected:
  bool doWarning(int textId, std::string_view) override {
    warningIds.push_back(textId);
    return warningAnswer;
  }
  int doRenumberPrompt(std::string_view, std::string_view message, bool offered, unsigned previous) override {
    prompts.emplace_back(message);
    previousBits.push_back(previous);
    commentOffered = offered;
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    }
    return promptAnswer.value_or(static_cast<int>(previous));
  }
};

}  // namespace vltrx::test
