#pragma once
// Whole-file reads and safe whole-file writes for the program's own small files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The file's bytes, or nothing when it does not exist. Raises EInOutError otherwise,
// "File too large" when it holds more than maxBytes (read no further than that).
std::optional<std::string> ReadFileContents(const std::string& path, size_t maxBytes = SIZE_MAX);

// Writes bytes to a temporary file beside path and renames it over path, so that a
// failed or interrupted write leaves the previous file as it was; the directory is
// synced after the rename. When path is a symbolic link, the file it points to is
// replaced and the link stays. The file gets mode (permission bits only). Raises
// EInOutError; the temporary file is removed then.
void ReplaceFileContents(const std::string& path, std::string_view bytes, mode_t mode);

// Creates the directory a file of ours goes into, and its missing parents, readable by
// the user only (mode 0700). A directory that exists keeps its mode. Raises EInOutError.
void CreateDirectoryFor(const std::string& filePath);
