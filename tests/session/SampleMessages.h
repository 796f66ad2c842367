#pragma once
// Messages the session tests and the front end's tests put on their servers (CR LF lines,
// as a server stores them).

#include <string>

namespace Sample {

inline const std::string PlainHeader =
    "From: =?windows-1250?Q?Ji=F8=ED_Nov=E1k?= <jiri@example.cz>\r\n"
    "To: Anna <anna@example.org>, bob@example.org\r\n"
    "Cc: carol@example.org\r\n"
    "Subject: =?windows-1250?Q?P=F8=EDprava?=\r\n"
    "Date: Wed, 15 Mar 2023 13:05:09 +0100\r\n"
    "Message-Id: <plain@example.org>\r\n";

inline const std::string Plain = PlainHeader +
    "\r\n"
    "Ahoj,\r\n"
    ".tecka na zacatku\r\n"
    "konec\r\n";

inline const std::string MultipartHeader =
    "From: anna@example.org\r\n"
    "To: jiri@example.cz\r\n"
    "Subject: Priloha\r\n"
    "Date: Thu, 16 Mar 2023 00:00:00 +0100\r\n"
    "Message-Id: <multi@example.org>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n";

inline const std::string Multipart = MultipartHeader +
    "\r\n"
    "preamble\r\n"
    "--XYZ\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "Ahoj\r\n"
    "--XYZ\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: attachment; filename=\"a.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "b2JzYWggcMWZw61sb2gK\r\n"
    "--XYZ--\r\n";

// The decoded data of a.txt.
inline const std::string MultipartAttachment = "obsah p\xC5\x99\xC3\xADloh\n";

inline const std::string TextPartsOnly =
    "From: anna@example.org\r\n"
    "Subject: Dva texty\r\n"
    "Message-Id: <texts@example.org>\r\n"
    "Content-Type: multipart/alternative; boundary=b1\r\n"
    "\r\n"
    "--b1\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "prvni\r\n"
    "--b1\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "druhy\r\n"
    "--b1--\r\n";

// A PDF sent as the whole body: an attachment and no text part.
inline const std::string PdfOnly =
    "From: anna@example.org\r\n"
    "Subject: Faktura\r\n"
    "Content-Type: application/pdf; name=\"x.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0xLjQKJSVFT0YK\r\n";

inline const std::string PdfOnlyData = "%PDF-1.4\n%%EOF\n";

// A plain message carrying a uuencoded file between two lines of text.
inline const std::string Uuencoded =
    "From: anna@example.org\r\n"
    "Subject: Soubor\r\n"
    "\r\n"
    "Posilam soubor.\r\n"
    "begin 644 file.txt\r\n"
    "M2V]R;6]R86X@=75E;F-O9&5D(\'-A;7!L92!F:6QE+\"!F:69T>2!B>71E<R!L\r\n"
    "%;VYG(2$ \r\n"
    "`\r\n"
    "end\r\n"
    "Zdravi Anna\r\n";

inline const std::string UuencodedData = "Kormoran uuencoded sample file, fifty bytes long!!";

// The lines of a message as the server sends them: dot-stuffed, ended by ".".
inline std::string OnTheWire(const std::string& text)
{
    std::string wire;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        end = end == std::string::npos ? text.size() : end + 2;
        if (text[start] == '.')
            wire += '.';
        wire += text.substr(start, end - start);
        start = end;
    }
    return wire + ".\r\n";
}

inline std::string HeaderOf(const std::string& message)
{
    return message.substr(0, message.find("\r\n\r\n") + 4);
}

} // namespace Sample
