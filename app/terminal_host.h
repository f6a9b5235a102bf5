// A host for a terminal: the dialog drawn as a framed box with its visible
// controls (disabled ones marked), its buttons and their keys; message boxes
// as prompts. Input is read line by line, so it also works with input piped
// in. Given a list of answer words instead, it takes one word each time the
// setup waits and stops the run at a word that does not fit the moment:
//   at the wizard      ok (OK, Next or Run Program), cancel (Cancel or Close,
//                      Escape, the close box), restart
//   at a message box   ok, yes, no
#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/model_host.h"

namespace swk::app {

// The action a word (or a key typed at the terminal) stands for at this
// moment, or nothing when it does not fit. `box` is null at the wizard.
std::optional<UserAction> ParseAnswerWord(std::string_view word, const MessageRecord* box,
                                          bool allowKeys);

class TerminalHost final : public ModelDialogHost {
public:
    // Interactive: keys and lines from `in`.
    TerminalHost(std::string applicationName, std::istream& in, std::ostream& out);
    // Unattended: the answer words, in order; every prompt is still drawn.
    TerminalHost(std::string applicationName, std::vector<std::string> answers, std::ostream& out);

    // Words not used when the run ended (an error for an unattended run).
    const std::deque<std::string>& LeftoverWords() const { return words_; }

    // The dialog as text, as it is drawn.
    std::string Render() const;

private:
    std::optional<int> WaitForCommand() override;
    MessageAnswer WaitForAnswer(const MessageRecord& record) override;

    // The next word: from the list, or a line from the terminal; nothing at the end.
    std::optional<std::string> NextWord(std::string_view prompt);

    std::istream* in_ = nullptr;
    std::ostream& out_;
    bool unattended_ = false;
    std::deque<std::string> words_;
    bool stopped_ = false;
};

}  // namespace swk::app
