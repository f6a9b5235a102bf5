#include "app/terminal_host.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <sstream>
#include <utility>

namespace swk::app {
namespace {

constexpr std::size_t kInnerWidth = 74;

std::string Lower(std::string_view text) {
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// The text's lines (split at CR LF or LF), each wrapped at `width` columns.
std::vector<std::string> WrapLines(std::string_view text, std::size_t width) {
    std::vector<std::string> lines;
    std::string line;
    const auto flush = [&] {
        lines.push_back(line);
        line.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') continue;
        if (c == '\n') {
            flush();
            continue;
        }
        if (line.size() == width) {
            const auto space = line.rfind(' ');
            std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
            if (space != std::string::npos) line.resize(space);
            flush();
            line = rest;
        }
        line += c;
    }
    flush();
    return lines;
}

void FramedLine(std::ostringstream& out, std::string_view text) {
    std::string cell(text.substr(0, kInnerWidth));
    cell.resize(kInnerWidth, ' ');
    out << "| " << cell << " |\n";
}

void Rule(std::ostringstream& out, std::string_view title) {
    std::string line = "+-";
    if (!title.empty()) line += " " + std::string(title) + " ";
    line.resize(kInnerWidth + 3, '-');
    out << line << "+\n";
}

bool IsButton(ControlKind kind) {
    return kind == ControlKind::DefaultPushButton || kind == ControlKind::PushButton;
}

}  // namespace

std::optional<UserAction> ParseAnswerWord(std::string_view word, const MessageRecord* box,
                                          bool allowKeys) {
    const std::string w = Lower(Trim(word));
    const auto is = [&](std::string_view full, std::string_view key) {
        return w == full || (allowKeys && w == key);
    };
    if (box == nullptr) {
        if (is("ok", "o") || (allowKeys && w.empty())) return UserAction::ClickOk;
        if (is("cancel", "c") || (allowKeys && (w == "esc" || w == "x")))
            return UserAction::PressEscape;
        if (is("restart", "r")) return UserAction::ClickRestart;
        return std::nullopt;
    }
    if (box->buttons == MessageButtons::Ok) {
        if (is("ok", "o") || (allowKeys && w.empty())) return UserAction::AnswerOk;
        return std::nullopt;
    }
    if (is("yes", "y")) return UserAction::AnswerYes;
    if (is("no", "n")) return UserAction::AnswerNo;
    return std::nullopt;
}

TerminalHost::TerminalHost(std::string applicationName, std::istream& in, std::ostream& out)
    : ModelDialogHost(std::move(applicationName)), in_(&in), out_(out) {}

TerminalHost::TerminalHost(std::string applicationName, std::vector<std::string> answers,
                           std::ostream& out)
    : ModelDialogHost(std::move(applicationName)),
      out_(out),
      unattended_(true),
      words_(answers.begin(), answers.end()) {}

std::string TerminalHost::Render() const {
    std::vector<const ControlState*> shown;
    for (const ControlState& control : Controls())
        if (control.visible) shown.push_back(&control);
    std::stable_sort(shown.begin(), shown.end(), [](const ControlState* a, const ControlState* b) {
        return a->pixels.top != b->pixels.top ? a->pixels.top < b->pixels.top
                                              : a->pixels.left < b->pixels.left;
    });

    std::ostringstream out;
    Rule(out, SetupDialogTemplate().caption);
    std::vector<std::string> lines;
    int editTop = -1;  // the browse button is drawn beside the path field on its row
    std::string buttons;
    std::string keys;
    for (const ControlState* control : shown) {
        const std::string state = control->enabled ? "" : " (disabled)";
        if (IsButton(control->kind)) {
            buttons += "[ " + control->text + state + " ]  ";
            if (!control->enabled) continue;
            if (control->id == kOkButton) keys += "Enter/o = " + control->text + "   ";
            if (control->id == kCancelButton) keys += "c/Esc = " + control->text + "   ";
            if (control->id == kRestartButton) keys += "r = " + control->text + "   ";
        } else if (control->kind == ControlKind::IconButton) {
            if (control->pixels.top == editTop && !lines.empty())
                lines.back() += "  [...]" + state;
            else
                lines.push_back("[...]" + state);
        } else if (control->kind == ControlKind::Edit) {
            lines.push_back("[ " + control->text + " ]" + state);
            editTop = control->pixels.top;
        } else if (!control->text.empty()) {
            for (const std::string& line : WrapLines(control->text, kInnerWidth))
                lines.push_back(line);
        }
    }
    for (const std::string& line : lines) FramedLine(out, line);
    FramedLine(out, "");
    FramedLine(out, buttons);
    Rule(out, "");
    if (keys.find("c/Esc") == std::string::npos) keys += "c/Esc = close box";
    out << "keys: " << keys << "\n";
    return out.str();
}

std::optional<std::string> TerminalHost::NextWord(std::string_view prompt) {
    out_ << prompt << "> " << std::flush;
    if (unattended_) {
        if (words_.empty()) {
            out_ << "\n";
            return std::nullopt;
        }
        std::string word = words_.front();
        words_.pop_front();
        out_ << word << "\n";
        return word;
    }
    std::string line;
    if (!in_ || !std::getline(*in_, line)) {
        out_ << "\n";
        return std::nullopt;
    }
    return line;
}

std::optional<int> TerminalHost::WaitForCommand() {
    if (stopped_) return std::nullopt;
    out_ << "\n" << Render();
    for (;;) {
        const std::optional<std::string> word = NextWord("wizard");
        if (!word) {
            AddProblem(unattended_ ? "the answers ran out while the wizard waits"
                                   : "the input ended while the wizard waits");
            return std::nullopt;
        }
        const std::optional<UserAction> action = ParseAnswerWord(*word, nullptr, !unattended_);
        const std::optional<int> command = action ? CommandFor(*action) : std::nullopt;
        if (command) return command;
        if (unattended_) {
            if (!action)
                AddProblem("\"" + *word + "\" does not fit the wizard (ok, cancel, restart)");
            return std::nullopt;
        }
        out_ << "That key does nothing here.\n";
    }
}

MessageAnswer TerminalHost::WaitForAnswer(const MessageRecord& record) {
    const bool question = record.buttons == MessageButtons::YesNo;
    const MessageAnswer fallback = question ? MessageAnswer::No : MessageAnswer::Ok;
    std::ostringstream box;
    box << "\n";
    Rule(box, record.title);
    bool first = true;
    for (const std::string& line : WrapLines(record.text, kInnerWidth - 4)) {
        FramedLine(box, (first ? "/!\\ " : "    ") + line);
        first = false;
    }
    FramedLine(box, question ? "                [ Yes ]   [ No ]" : "                [ OK ]");
    Rule(box, "");
    out_ << box.str();
    if (stopped_) return fallback;

    for (;;) {
        const std::optional<std::string> word = NextWord(question ? "yes/no" : "ok");
        if (!word) {
            AddProblem(std::string(unattended_ ? "the answers ran out" : "the input ended") +
                       " at the message \"" + record.text + "\"");
            stopped_ = true;
            return fallback;
        }
        if (const auto action = ParseAnswerWord(*word, &record, !unattended_)) {
            if (*action == UserAction::AnswerYes) return MessageAnswer::Yes;
            if (*action == UserAction::AnswerNo) return MessageAnswer::No;
            return MessageAnswer::Ok;
        }
        if (unattended_) {
            AddProblem("\"" + *word + "\" does not fit the message \"" + record.text + "\" (" +
                       (question ? "yes, no" : "ok") + ")");
            stopped_ = true;
            return fallback;
        }
        out_ << (question ? "Answer y or n.\n" : "Press Enter.\n");
    }
}

}  // namespace swk::app
