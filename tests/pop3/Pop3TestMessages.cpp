#include "Pop3TestMessages.h"

#include <cstdint>

namespace {

std::string Base64Lines(const std::string& bytes)
{
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= uint8_t(bytes[i + 2]);
        encoded += Alphabet[group >> 18 & 63];
        encoded += Alphabet[group >> 12 & 63];
        encoded += i + 1 < bytes.size() ? Alphabet[group >> 6 & 63] : '=';
        encoded += i + 2 < bytes.size() ? Alphabet[group & 63] : '=';
    }
    std::string lines;
    for (size_t i = 0; i < encoded.size(); i += 76)
        lines += encoded.substr(i, 76) + "\r\n";
    return lines;
}

} // namespace

const char* const MultipartTextLines[3] = {"Hello,", ".a line that begins with a full stop", "the report is attached."};

std::string SmallMessage(int number)
{
    std::string n = std::to_string(number);
    return "Return-Path: <sender" + n + "@example.org>\r\n"
           "From: Sender " + n + " <sender" + n + "@example.org>\r\n"
           "To: Someone <someone@example.net>, other@example.net\r\n"
           "Subject: Message number " + n + "\r\n"
           "Date: Tue, 08 Dec 2026 10:00:00 +0100\r\n"
           "Message-ID: <" + n + ".test@example.org>\r\n"
           "\r\n"
           "Body of message " + n + ".\r\n";
}

std::string BinaryAttachmentBytes(size_t size)
{
    std::string bytes;
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245 + 12345;
        bytes += char(state >> 16);
        if (i % 97 == 0)
            bytes += "\r\n.";
    }
    return bytes.substr(0, size);
}

std::string MultipartMessage(const std::string& attachment, const std::string& fileName)
{
    return "From: Anna <anna@example.org>\r\n"
           "To: bert@example.net\r\n"
           "Subject: Report with an attachment\r\n"
           "Message-ID: <multipart.test@example.org>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"=_outer_boundary\"\r\n"
           "\r\n"
           "This is a multi-part message in MIME format.\r\n"
           "--=_outer_boundary\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\n"
           "Content-Transfer-Encoding: 7bit\r\n"
           "\r\n" +
           std::string(MultipartTextLines[0]) + "\r\n" + MultipartTextLines[1] + "\r\n" + MultipartTextLines[2] +
           "\r\n"
           "--=_outer_boundary\r\n"
           "Content-Type: application/octet-stream; name=\"" + fileName + "\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"" + fileName + "\"\r\n"
           "\r\n" +
           Base64Lines(attachment) +
           "--=_outer_boundary--\r\n";
}
