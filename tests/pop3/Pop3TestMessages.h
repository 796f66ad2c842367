#pragma once
// Messages for the real-server tests and the benchmarks' check: small header-only mail,
// and a multipart message with a binary attachment.

#include <string>

// A small message whose subject and Message-Id carry its number.
std::string SmallMessage(int number);

// Bytes of every value, CR, LF and lines that begin with a full stop among them.
std::string BinaryAttachmentBytes(size_t size);

// multipart/mixed: a text part (with a line that begins with a full stop) and the given
// bytes as a base64 attachment named fileName.
std::string MultipartMessage(const std::string& attachment, const std::string& fileName);

// The text part's decoded lines in MultipartMessage.
extern const char* const MultipartTextLines[3];
