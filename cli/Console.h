#pragma once
// The terminal side of kormoran-cli: UTF-8 text with LF line ends out, answers in.

#include "UserInterface.h"

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

// Text of the program (lines ended by CR LF) as the terminal wants it, control
// characters made visible.
std::string TerminalText(const std::string& programText);
// Message bytes never reach the terminal raw: control characters but line feed and TAB
// (ESC, BEL, a lone CR, DEL, the C1 range) become visible escapes, "\x1b" or "\u009b".
std::string VisibleControls(const std::string& utf8);
// A field of a TAB-separated line: TABs and line breaks in it become blanks.
std::string TabField(const std::string& text);
// The same field appended to line.
void AppendTabField(std::string& line, std::string_view text);

// text with its first "%s" replaced by first and the next one by second.
std::string FilledText(std::string text, const std::string& first, const std::string& second = "");

// Whether an answer to a [a/n] question is yes: "a", "ano", "y" or "yes", case ignored.
bool IsYes(const std::string& answer);

// The seam for the front end: errors go to err, questions are asked on err and answered
// on in (end of input is No), the save dialog answers with the file the command names,
// and nothing is ever opened.
class TConsoleUserInterface : public TUserInterface {
public:
    TConsoleUserInterface(std::istream& in, std::ostream& err) : FIn(in), FErr(err) {}

    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& caption, const std::string& question) override;
    std::optional<std::string> AskSaveFileName(const std::string& proposedName) override;
    void OpenUrl(const std::string&) override {}
    void Beep() override {}

    // The answer of the next save dialog, a path taken as it is; nothing: the dialog is
    // cancelled.
    std::optional<std::string> SaveFileName;
    // The last question got no answer at all: the input had ended.
    bool InputEnded = false;

private:
    std::istream& FIn;
    std::ostream& FErr;
};
