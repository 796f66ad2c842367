#pragma once
// A small INI file: "[SECTION]" lines, below each "KEY=value" lines. Section and key
// names are matched without regard to ASCII case; blanks around names and values are
// ignored; the first occurrence wins. Every read opens the file anew, and every write
// replaces one key and leaves the rest of the file byte for byte as it was.

#include "Exception.h"

#include <string>

// A value that could not be written: "Unable to write to %s" with the file name.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

    const std::string& FileName() const { return FFileName; }

    // The key's value; fallback when the file, the section or the key is missing or
    // the file cannot be read. Never raises.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const;

    // Sets one key, creating the file and the section when missing. Raises
    // EIniFileException.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    std::string FFileName;
};
