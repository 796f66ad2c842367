#pragma once
// Kormoran.hlp: Windows-1250 text. A line "#<number> <title>" starts a topic; the lines
// up to the next topic line are its text. Lines before the first topic and lines that
// begin with ";" are comments. Line ends are LF or CR LF. The topics come out in UTF-8.

#include <string>
#include <vector>

struct THelpTopic {
    int Number = 0;
    std::string Title;
    std::string Text;   // lines joined with "\n", blank lines at both ends dropped
};

std::vector<THelpTopic> ParseHelpFile(const std::string& bytes);

// The text as the help window shows it: the lines of a paragraph joined with blanks so
// that the window wraps them; blank lines part paragraphs, and a line that begins with
// a blank (a list item) keeps a line of its own.
std::string ParagraphText(const std::string& text);

// The help file of the application, set at start; the account editor uses it too.
const std::string& ApplicationHelpFile();
void SetApplicationHelpFile(const std::string& path);
