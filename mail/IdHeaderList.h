#pragma once
// The raw header lines of a message or part, one entry per physical line exactly as
// received (continuation lines are entries of their own), with lookups by name.
// Names are compared without regard to case and the first line with a name wins;
// a line without ":" has no name. Values are read with continuation lines joined.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIdHeaderList {
public:
    // Written between name and value; its trimmed form ":" ends a name when reading.
    static constexpr std::string_view ValueSeparator = ": ";
    static constexpr bool MatchCase = false;
    static constexpr bool JoinContinuations = true;
    static constexpr bool WrapOnWrite = true;
    static constexpr int WrapWidth = 78;

    int Count() const { return static_cast<int>(FEnds.size()); }
    // Raises EListError for an index outside the list.
    std::string operator[](int index) const;
    // The line at index without a copy, valid while the list stays as it is; index must
    // be in the list.
    std::string_view LineAt(int index) const { return Line(index); }
    std::vector<std::string> Lines() const;
    void Add(std::string_view line);
    void Clear();
    // Gives back the room kept for more lines (after a whole header block was read).
    void ShrinkToFit();
    // Every line followed by CR LF: what the program shows as the header section.
    std::string Text() const;
    bool operator==(const TIdHeaderList& other) const = default;

    // The text before the first ":", upper-cased, not trimmed; empty without a ":".
    std::string NameAt(int index) const;
    // The text after the first ":" with the continuation lines that follow joined by
    // one space, trimmed. Empty for an index outside the list.
    std::string ValueAt(int index) const;
    // Index of the first line with this name, -1 when there is none.
    int FindName(std::string_view name) const;
    // An absent header and an empty one read the same: empty.
    std::string ValueOf(std::string_view name) const;
    // Replaces the first line with this name (and its continuation lines) by
    // "name: value", wrapped at WrapWidth; appends it when there is none. An empty
    // value deletes the line and its continuation lines.
    void SetValueOf(std::string_view name, std::string_view value);

private:
    std::string_view Line(int index) const;
    bool IsContinuation(int index) const;
    // Index after the line and its continuation lines.
    int EndOfHeader(int index) const;
    // Puts lines in place of the lines first to end (not included).
    void Replace(int first, int end, const std::vector<std::string>& lines);

    // The lines one after another, and where each ends: a header block costs little more
    // than its bytes, which matters for the records of a large mailbox.
    std::string FText;
    std::vector<uint32_t> FEnds;
};

// Cuts a header line into lines of about `width` characters after a space, TAB or
// comma outside double quotes; every line after the first begins with one space.
std::vector<std::string> WrapHeaderLine(std::string_view line, int width);
