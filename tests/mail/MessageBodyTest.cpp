#include "Exception.h"
#include "IdException.h"
#include "IdMessage.h"
#include "MailTestSupport.h"
#include "TestData.h"

#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Describe(const TIdMessage& message)
{
    std::vector<std::string> parts;
    for (int i = 0; i < message.Parts().Count(); ++i)
        parts.push_back(DescribePart(message.Parts()[i]));
    return parts;
}

const TIdText& TextAt(const TIdMessage& message, int index)
{
    return dynamic_cast<const TIdText&>(message.Parts()[index]);
}

const TIdAttachment& AttachmentAt(const TIdMessage& message, int index)
{
    return dynamic_cast<const TIdAttachment&>(message.Parts()[index]);
}

void Retrieve(TIdMessage& message, std::string_view bytes)
{
    MemoryMailClient mail;
    mail.Retrieve(message, bytes);
}

// The text of the message layer's exception, or empty when the message was read.
std::string RetrieveError(TIdMessage& message, std::string_view bytes)
{
    try {
        Retrieve(message, bytes);
        return {};
    } catch (const EIdException& error) {
        return error.Message;
    }
}

using Lines = std::vector<std::string>;

std::string Base64Of(std::string_view bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        for (size_t k = 0; k < 4; ++k)
            text += k <= bytes.size() - i ? alphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

} // namespace

TEST(MessageCorpus, MixedTextAndBase64Attachments)
{
    TIdMessage message;
    RetrieveTestMessage(message, "mixed-text-base64.eml");
    EXPECT_EQ(message.Body(), (Lines{"This is a multi-part message in MIME format.", ""}));
    EXPECT_EQ(Describe(message), (Lines{"text 4 lines", "attachment a.pdf 3016 1cdc209999e67175",
                                        "attachment logo.png 1242 4d77df5701f4198f"}));
    const TIdText& text = TextAt(message, 0);
    EXPECT_EQ(text.Lines.back(), ".hidden dot line");
    EXPECT_EQ(text.ContentType(), "text/plain; charset=us-ascii");
    EXPECT_EQ(text.ContentTransfer(), "7bit");
    const TIdAttachment& pdf = AttachmentAt(message, 1);
    EXPECT_EQ(pdf.ContentType(), "application/pdf; name=\"a.pdf\"");
    EXPECT_EQ(pdf.Disposition(), "attachment; filename=\"a.pdf\"");
    message.Parts().Recount();
    EXPECT_EQ(message.Parts().TextCount, 1);
    EXPECT_EQ(message.Parts().AttachCount, 2);
    EXPECT_EQ(message.Parts().RelatedCount, 0);
    EXPECT_EQ(message.Recipients.JoinedText(), "Petr Novak <petr@example.cz>, \"Svoboda, K.\" <ks@example.cz>");
}

TEST(MessageCorpus, AlternativeNestedInMixed)
{
    TIdMessage message;
    RetrieveTestMessage(message, "alternative-in-mixed.eml");
    EXPECT_EQ(Describe(message), (Lines{"text 0 lines", "text 1 lines", "text 1 lines",
                                        "attachment data.zip 700 1ffa2a81575d77dc"}));
    EXPECT_EQ(message.Parts()[0].ContentType(), "multipart/alternative; boundary=\"inner-b\"");
    EXPECT_EQ(TextAt(message, 1).Lines, Lines{"Dobrý den"});
    EXPECT_EQ(TextAt(message, 2).Lines, Lines{"<html><body><p>Dobr&yacute; den</p></body></html>"});
    EXPECT_EQ(message.Body(), (Lines{"preamble of the outer level", "epilogue line"}));
    EXPECT_EQ(message.BoundaryStack.CurrentBoundary(), "");
}

TEST(MessageCorpus, QuotedPrintableCzechText)
{
    TIdMessage message;
    RetrieveTestMessage(message, "qp-czech.eml");
    EXPECT_TRUE(message.Body().empty());
    ASSERT_EQ(message.Parts().Count(), 1);
    const TIdText& text = TextAt(message, 0);
    EXPECT_EQ(text.ContentType(), "");
    std::string sentence = "Příliš žluťoučký kůň úpěl ďábelské ódy.";
    ASSERT_EQ(text.Lines.size(), 3u);
    EXPECT_EQ(text.Lines[0], sentence + " " + sentence + " " + sentence + " " + sentence);
    EXPECT_EQ(text.Lines[1], "Druhý řádek s mezerou na konci ");
    EXPECT_EQ(text.Lines[2], ".Tecka na zacatku");
    EXPECT_EQ(message.Subject, "Příliš žluťoučký kůň");
    EXPECT_EQ(message.From.Text(), "\"Jiří Novák\" <jiri@example.cz>");
    EXPECT_EQ(message.Recipients.JoinedText(), "Petr <petr@example.cz>");
    EXPECT_EQ(message.CharSet(), "WINDOWS-1250");
}

TEST(MessageCorpus, AttachmentNamesEncodedQuotedAndBare)
{
    TIdMessage message;
    RetrieveTestMessage(message, "attachment-names.eml");
    ASSERT_EQ(message.Parts().Count(), 4);
    EXPECT_EQ(AttachmentAt(message, 1).AttachmentName, "příloha.txt");
    EXPECT_EQ(AttachmentAt(message, 2).AttachmentName, "quoted name.txt");
    EXPECT_EQ(AttachmentAt(message, 3).AttachmentName, "bare.txt");
    EXPECT_EQ(AttachmentAt(message, 3).Data(), "third attachment\r\n");
}

TEST(MessageCorpus, SingleBase64PdfIsOneAttachment)
{
    TIdMessage message;
    RetrieveTestMessage(message, "single-base64-pdf.eml");
    EXPECT_EQ(Describe(message), Lines{"attachment x.pdf 3016 1cdc209999e67175"});
    EXPECT_TRUE(message.Body().empty());
}

TEST(MessageCorpus, UuencodedAndXxencodedFilesInAPlainBody)
{
    TIdMessage message;
    RetrieveTestMessage(message, "uuencoded.eml");
    EXPECT_EQ(Describe(message), (Lines{"attachment file.bin 1004 ad51fd1a3f12c58a",
                                        "attachment file.xxe 500 538003aeb0058c8a"}));
    EXPECT_EQ(message.Body(), (Lines{"Here is the file:", "", "", "and the same kind in xxencode:", "", "Bye."}));
}

TEST(MessageCorpus, Iso2022JpSubjectBecomesUtf8)
{
    TIdMessage message;
    RetrieveTestMessage(message, "iso-2022-jp-subject.eml");
    EXPECT_EQ(message.Subject, "日本");
    EXPECT_EQ(message.Body(), Lines{"body"});
}

TEST(MessageCorpus, MissingClosingBoundaryEndsAtTheTerminator)
{
    TIdMessage message;
    RetrieveTestMessage(message, "garbage/missing-closing-boundary.eml");
    EXPECT_EQ(Describe(message), (Lines{"text 1 lines", "attachment x.bin 3 e71fa2190541574b"}));
}

TEST(MessageCorpus, MessageEndingInsideAPartHeaderFails)
{
    TIdMessage message;
    EXPECT_EQ(RetrieveError(message, ReadTestData("garbage/truncated-in-part-header.eml")), "Unknown Message Part Type.");
}

TEST(MessageCorpus, HeaderLineOf16383BytesIsRead)
{
    TIdMessage message;
    RetrieveTestMessage(message, "garbage/long-header-line.eml");
    EXPECT_EQ(message.Subject, std::string(16374, 'x'));
    EXPECT_EQ(message.Body(), Lines{"body"});
}

TEST(MessageBody, PlainBodyLinesLoseAStuffedDot)
{
    TIdMessage message;
    Retrieve(message, "Subject: x\r\n\r\none\r\n..x\r\n.\r\n\r\nlast\r\n");
    EXPECT_EQ(message.Body(), (Lines{"one", "..x", ".", "", "last"}));
}

TEST(MessageBody, DashDashLinesAreTextWhereThereIsNoBoundary)
{
    // A signature separator whose blank a relay stripped is no boundary line.
    TIdMessage plain;
    Retrieve(plain, "Subject: x\n\nbefore\n--\nX-Header: 1\n\n-- \nafter\n");
    EXPECT_EQ(plain.Body(), (Lines{"before", "--", "X-Header: 1", "", "-- ", "after"}));
    EXPECT_EQ(plain.Parts().Count(), 0);
    TIdMessage quotedPrintable;
    Retrieve(quotedPrintable, "Content-Transfer-Encoding: quoted-printable\n\na=3D1\n--\nb=3D2\n");
    ASSERT_EQ(quotedPrintable.Parts().Count(), 1);
    EXPECT_EQ(TextAt(quotedPrintable, 0).Lines, (Lines{"a=1", "--", "b=2"}));
}

TEST(MessageBody, BeginLineNeedsAModeAboveZero)
{
    TIdMessage message;
    Retrieve(message, "Subject: x\n\nbegin 0644 x\nbegin 000 y\nbegin 644\n");
    EXPECT_EQ(message.Parts().Count(), 0);
    EXPECT_EQ(message.Body().size(), 3u);
}

TEST(MessageBody, ReadsASingleTextPart)
{
    struct Case { const char* what; const char* bytes; Lines lines; };
    for (const Case& c : std::initializer_list<Case>{
             {"an inline part of a text type without a name is text",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/x-log\n"
              "Content-Disposition: inline\nContent-Transfer-Encoding: base64\n\nYWJj\n--b--\n",
              {"abc"}},
             {"a NUL byte in a text part shows as U+FFFD", "Content-Transfer-Encoding: base64\n\nYQBi\n", {"a\xEF\xBF\xBD" "b"}},
             {"an unquoted boundary ends at the next parameter",
              "Content-Type: multipart/mixed; boundary=b; type=x\n\n--b\n\ntext\n--b--\n", {"text"}},
             {"a top-level identity encoding leaves the part headers to the parts",
              "Content-Type: multipart/mixed; boundary=b\nContent-Transfer-Encoding: 8BIT\n\n"
              "--b\nContent-Type: text/plain\n\ntext\n--b--\n",
              {"text"}},
         }) {
        TIdMessage message;
        Retrieve(message, c.bytes);
        ASSERT_EQ(message.Parts().Count(), 1) << c.what;
        EXPECT_EQ(TextAt(message, 0).Lines, c.lines) << c.what;
    }
}

TEST(MessageBody, TextIsConvertedFromItsCharset)
{
    struct Case { const char* what; const char* bytes; Lines lines; };
    for (const Case& c : std::initializer_list<Case>{
             {"UTF-8 lines of a plain body", "Content-Type: text/plain; charset=utf-8\n\nPříloha\n", {"Příloha"}},
             {"ISO-8859-2, quoted-printable",
              "Content-Type: text/plain; charset=iso-8859-2\nContent-Transfer-Encoding: quoted-printable\n\n"
              "P=F8=EDli=B9\n",
              {"Příliš"}},
             {"Windows-1250, a base64 part",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; charset=\"windows-1250\"\n"
              "Content-Transfer-Encoding: base64\n\nUPjtbG9oYQ0Knmx1nW916Gs=\n--b--\n",
              {"Příloha", "žluťoučk"}},
             {"a charset followed by a comment",
              "Content-Type: text/plain; charset=iso-8859-2 (Central European)\n\nP\xF8\xEDloha\n", {"Příloha"}},
             {"KOI8-R", "Content-Type: text/plain; charset=koi8-r\nContent-Transfer-Encoding: quoted-printable\n\n"
                        "=F0=D2=C9=D7=C5=D4\n",
              {"Привет"}},
             {"ISO-2022-JP lines of a plain body", "Content-Type: text/plain; charset=ISO-2022-JP\n\n\x1b$BF|K\\\x1b(B\n",
              {"日本"}},
             {"no charset: Windows-1250 bytes", "Subject: x\n\nP\xF8\xEDloha\n", {"Příloha"}},
             {"no charset: UTF-8 bytes", "Subject: x\n\nPříloha\n", {"Příloha"}},
             {"an unknown charset keeps its bytes, made valid",
              "Content-Type: text/plain; charset=x-made-up\n\nP\xC5\x99\xFF\n", {"Př\uFFFD"}},
         }) {
        TIdMessage message;
        Retrieve(message, c.bytes);
        const Lines& lines = message.Parts().Count() > 0 ? TextAt(message, 0).Lines : message.Body();
        EXPECT_EQ(lines, c.lines) << c.what;
    }
}

TEST(MessageBody, RawHeaderBytesBecomeUtf8)
{
    TIdMessage message;
    Retrieve(message, "Organization: Firma \xE8\n"
                      "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                      "Content-Type: application/x; name=\"\xF8.txt\"\nContent-Transfer-Encoding: base64\n\n"
                      "YWJj\n--b--\n");
    EXPECT_EQ(message.Organization(), "Firma č");
    EXPECT_EQ(message.RawHeaders.Lines()[0], "Organization: Firma č");
    ASSERT_EQ(message.Parts().Count(), 1);
    EXPECT_EQ(AttachmentAt(message, 0).AttachmentName, "ř.txt");
    EXPECT_EQ(AttachmentAt(message, 0).ContentType(), "application/x; name=\"ř.txt\"");
}

TEST(MessageBody, ReadsASingleAttachment)
{
    struct Case { const char* what; const char* bytes; const char* name; };
    for (const Case& c : std::initializer_list<Case>{
             {"part header lines without a space after the colon",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type:application/x; name=f.bin\n"
              "Content-Transfer-Encoding:  base64 \n\nYWJj\n--b--\n",
              "f.bin"},
             {"an inline image with a file name",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: image/gif\n"
              "Content-Disposition: inline; filename=\"one.gif\"\nContent-Transfer-Encoding: base64\n\nYWJj\n--b--\n",
              "one.gif"},
             {"an inline image without a name",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: image/png\n"
              "Content-Disposition: inline\nContent-Transfer-Encoding: base64\n\nYWJj\n--b--\n",
              ""},
             {"a part of a binary type without a name",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: application/zip\n"
              "Content-Transfer-Encoding: base64\n\nYWJj\n--b--\n",
              ""},
             {"a single-part message of a binary type without a name",
              "Content-Type: application/pdf\nContent-Transfer-Encoding: base64\n\nYWJj\n", ""},
             {"a text part with a file name in its RFC 2231 form",
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n"
              "Content-Disposition: inline; filename*=utf-8''a.txt\n\nabc\n--b--\n",
              nullptr},
             {"a broken encoded file name is kept raw",
              "Content-Type: application/x; name=\"=?iso-8859-1?Q?=ZZ?=\"\nContent-Transfer-Encoding: base64\n\nYWJj\n",
              "=?iso-8859-1?Q?=ZZ?="},
         }) {
        TIdMessage message;
        Retrieve(message, c.bytes);
        ASSERT_EQ(message.Parts().Count(), 1) << c.what;
        ASSERT_NE(dynamic_cast<const TIdAttachment*>(&message.Parts()[0]), nullptr) << c.what;
        if (c.name) {
            EXPECT_EQ(AttachmentAt(message, 0).AttachmentName, c.name) << c.what;
        }
        EXPECT_EQ(AttachmentAt(message, 0).Data().substr(0, 3), "abc") << c.what;
    }
}

TEST(MessageBody, DamagedBase64AttachmentGivesTheBytesItCan)
{
    TIdMessage message;
    Retrieve(message, "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nfirst\n--b\n"
                      "Content-Type: application/x; name=a\nContent-Transfer-Encoding: base64\n\n"
                      "YWJjZ\nGVm Z2hp\n-- list footer --\n--b--\n");
    ASSERT_EQ(message.Parts().Count(), 2);
    EXPECT_EQ(AttachmentAt(message, 1).Data(), "abcdefghi\x96+-~\x8A-z");
}

TEST(MessageBody, UuencodedAndXxencodedFilesOfAnySize)
{
    struct Case { const char* block; const char* decoded; };
    for (const Case& c : std::initializer_list<Case>{
             {"+:&5L;&\\@=V]R;&0`\n`\n", "hello world"},
             {"%06AO:B$`\n", "Ahoj!"},
             {"!>```\n", "x"},
             {"-2V]R;6]R86X@,C`R-@``\n", "Kormoran 2026"},
             {"9O4JgP4wURqxmP4E+\n+\n", "hello world"},
             {"3EKVjOW2+\n", "Ahoj!"},
             {"-S+++\n", "x"},
             {"BGqxmPKxmMKsUAX+mBU++\n", "Kormoran 2026"},
             {"", ""},
             {"`\n", ""},
         }) {
        TIdMessage message;
        Retrieve(message, std::string("Subject: x\n\nbegin 644 f.bin\n") + c.block + "end\nafter\n");
        ASSERT_EQ(message.Parts().Count(), 1) << c.block;
        EXPECT_EQ(AttachmentAt(message, 0).Data(), c.decoded) << c.block;
        EXPECT_EQ(message.Body(), Lines{"after"}) << c.block;
    }
}

TEST(MessageBody, UuencodedBlockWithoutEndStopsAtTheTerminator)
{
    std::string line = "M" + std::string(60, '!');
    TIdMessage message;
    MemoryMailClient mail;
    mail.Retrieve(message, "Subject: x\n\nbegin 644 cut.bin\n" + line + "\n" + line + "\n");
    ASSERT_EQ(message.Parts().Count(), 1);
    EXPECT_EQ(AttachmentAt(message, 0).Data().size(), 90u);
    EXPECT_EQ(mail.Handler.PendingBytes(), 0);
}

// The data lives in a file without a name: nothing is left behind even if the program is
// killed, and nobody can swap a link in under the name.
TEST(Attachment, TemporaryFileIsPrivateAndHasNoName)
{
    TIdMessage message;
    Retrieve(message, "Content-Type: application/x; name=a\nContent-Transfer-Encoding: base64\n\nYWJj\n");
    const TIdAttachment& attachment = AttachmentAt(message, 0);
    struct stat info {};
    ASSERT_EQ(fstat(message.AttachmentStore()->File(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_nlink, 0u);
    EXPECT_EQ(attachment.Data(), "abc");
}

TEST(Attachment, FailedAttachmentLeavesNoTemporaryFile)
{
    auto temporaryFiles = [] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(TempDirectory()))
            if (entry.path().filename().string().starts_with("Sov"))
                names.insert(entry.path().filename().string());
        return names;
    };
    std::set<std::string> before = temporaryFiles();
    TIdMessage message;
    MemoryMailClient mail;
    // The connection ends before the message does.
    mail.Handler.Feed("Content-Type: application/x; name=a\r\nContent-Transfer-Encoding: base64\r\n\r\nYWJj\r\n");
    mail.Client.ReceiveHeaderBlock(message, "");
    EXPECT_THROW(mail.Client.ReceiveMessageBody(message, "."), EIdException);
    EXPECT_EQ(temporaryFiles(), before);
}

TEST(Attachment, SaveCopyToWritesTheDecodedDataButNeverOverwrites)
{
    TIdMessage message;
    Retrieve(message, "Content-Type: application/x; name=a\nContent-Transfer-Encoding: base64\n\nYWJj\n");
    std::string destination = TempDirectory() + "kormoran-copy-" + std::to_string(getpid());
    unlink(destination.c_str());
    const TIdAttachment& attachment = AttachmentAt(message, 0);
    attachment.SaveCopyTo(destination);
    EXPECT_EQ(ReadFileBytes(destination), "abc");
    try {
        attachment.SaveCopyTo(destination);
        ADD_FAILURE();
    } catch (const EIdException& error) {
        EXPECT_EQ(error.Message, "Error saving attachment. File exists: " + destination);
    }
    unlink(destination.c_str());
    EXPECT_THROW(attachment.SaveCopyTo("/nonexistent-dir/x"), EIdException);
}

TEST(MessageParts, IndexOutsideThePartsRaisesTheListError)
{
    TIdMessage message;
    Retrieve(message, "Content-Transfer-Encoding: base64\n\nYWJj\n");
    try {
        message.Parts()[1];
        FAIL();
    } catch (const EListError& error) {
        EXPECT_EQ(error.Message, "List index out of bounds (1)");
    }
    message.ResetBody();
    EXPECT_EQ(message.Parts().Count(), 0);
}

TEST(MessageBody, LinesBeyondTheConnectionLimitAreReadInPieces)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data += static_cast<char>(i * 7 % 251);
    const std::string encoded = Base64Of(data);
    // The connection cuts lines into pieces of 16384 bytes; here pieces begin with a
    // stuffed-looking "..", with the boundary, and with ".", none of which they are.
    const std::string longLine = std::string(16384, 'a') + "..x" + std::string(16381, 'b') + "--b"
                                 + std::string(50000 - 3 * 16384, 'c');
    const std::string dotLine = std::string(16384, 'd') + ".";
    const std::string text = longLine + "\n" + dotLine + "\n";
    const std::string multipart = "Content-Type: multipart/mixed; boundary=b\n\n";
    const std::string attachmentHeader = "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n";
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(data)));
    const std::string wanted = "attachment  100000 " + std::string(hash);

    struct AttachmentCase { const char* what; std::string message; };
    for (const AttachmentCase& c : std::initializer_list<AttachmentCase>{
             {"a part", multipart + "--b\n" + attachmentHeader + encoded + "\n--b--\n"},
             {"a whole body", attachmentHeader + encoded + "\n"},
         }) {
        TIdMessage message;
        Retrieve(message, c.message);
        EXPECT_EQ(Describe(message), Lines{wanted}) << c.what;
    }

    TIdMessage plain;
    Retrieve(plain, "Subject: plain\n\n" + text + "after\n");
    EXPECT_EQ(Joined(plain.Body()), longLine + dotLine + "after");
    TIdMessage parted;
    Retrieve(parted, multipart + "--b\n\n" + text + "--b--\nafter\n");
    ASSERT_EQ(parted.Parts().Count(), 1);
    EXPECT_EQ(Joined(TextAt(parted, 0).Lines), longLine + dotLine);
    EXPECT_EQ(parted.Body(), Lines{"after"});
}

TEST(MessageBody, TextBeyondTheBudgetFailsWhileAttachmentsStream)
{
    // A line costs its bytes and its line end, 99 + 2 of the 2000 given here, but never
    // less than its string (32 bytes): an empty line costs 32.
    static_assert(sizeof(std::string) == 32);
    const std::string multipart = "Content-Type: multipart/mixed; boundary=b\n\n";
    const std::string line(99, 't');
    auto repeated = [](const std::string& piece, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += piece;
        return text;
    };
    auto lines = [&](int count) { return repeated(line + "\n", count); };
    const std::string attachment = "--b\nContent-Type: application/octet-stream\n\n" + lines(100);
    struct Case { const char* what; std::string message; bool fails; };
    for (const Case& c : std::initializer_list<Case>{
             {"a plain body within", "\n" + lines(19), false},
             {"a plain body beyond", "\n" + lines(20), true},
             {"a text of exactly the budget as shown", "\n" + repeated(std::string(98, 't') + "\n", 20), false},
             {"many empty lines", "\n" + std::string(63, '\n'), true},
             {"a text part beyond", multipart + "--b\n\n" + lines(20) + "--b--\n", true},
             {"a text part of empty lines", multipart + "--b\n\n" + std::string(62, '\n') + "--b--\n", true},
             {"text parts and body together beyond",
              multipart + lines(7) + "--b\n\n" + lines(7) + "--b\n\n" + lines(7) + "--b--\n", true},
             {"part header lines count", multipart + "--b\nX-Long: " + lines(20) + "\nx\n--b--\n", true},
             {"attachments do not count", multipart + attachment + "--b\n\n" + lines(13) + "--b--\n", false},
         }) {
        MemoryMailClient mail;
        mail.Client.MessageTextBudget = 2000;
        TIdMessage message;
        try {
            mail.Retrieve(message, c.message);
            EXPECT_FALSE(c.fails) << c.what;
        } catch (const EIdException& error) {
            EXPECT_TRUE(c.fails) << c.what;
            EXPECT_EQ(error.Message, "Text zprávy je delší než 64 MiB.") << c.what;
        }
    }
}

namespace {

// A message with many attachments costs one descriptor: it is read and every attachment
// saved with few descriptors to spare.
TEST(Attachment, TenThousandAttachmentsNeedOneDescriptor)
{
    std::string bytes = "Content-Type: multipart/mixed; boundary=b\n\n";
    for (int i = 0; i < 10000; ++i)
        bytes += "--b\nContent-Type: text/plain; name=f" + std::to_string(i) + ".txt\n\npart " + std::to_string(i) + "\n";
    bytes += "--b--\n";
    rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit few = before;
    few.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    TIdMessage message;
    const std::string error = RetrieveError(message, bytes);
    const std::string directory = TempDirectory() + "kormoran-many-" + std::to_string(getpid());
    std::filesystem::create_directory(directory);
    int saved = 0;
    for (int i = 0; error.empty() && i < message.Parts().Count(); ++i) {
        AttachmentAt(message, i).SaveCopyTo(directory + "/" + std::to_string(i));
        ++saved;
    }
    setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(error, "");
    EXPECT_EQ(saved, 10000);
    EXPECT_EQ(ReadFileBytes(directory + "/9999"), "part 9999\r\n");
    std::filesystem::remove_all(directory);
}

TEST(TextPart, NulBytesShowAsReplacementCharactersAndCutNothing)
{
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        const char* Name;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"quoted-printable =00", "Content-Transfer-Encoding: quoted-printable\n\nbefore=00after\nnext line\n"},
        {"a raw NUL in a part", std::string("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nbefore\0after\nnext line\n--b--\n", 77)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        TIdMessage message;
        Retrieve(message, test.Message);
        ASSERT_GE(message.Parts().Count(), 1);
        EXPECT_EQ(TextAt(message, 0).Lines, (Lines{"before" + replacement + "after", "next line"}));
    }
}

} // namespace
