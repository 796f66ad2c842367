#pragma once
// A fresh directory under $TMPDIR (else /tmp), removed with everything in it when the
// object goes.

#include <string>

class TTemporaryDirectory {
public:
    TTemporaryDirectory();
    ~TTemporaryDirectory();
    TTemporaryDirectory(const TTemporaryDirectory&) = delete;
    TTemporaryDirectory& operator=(const TTemporaryDirectory&) = delete;

    const std::string& Path() const { return FPath; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const;

private:
    std::string FPath;
};

// Test helpers for the files the tests write and read back.
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
