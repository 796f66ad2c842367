// The text of the message view and the saving of attachments through its links.
#include "SampleMessages.h"
#include "TemporaryDirectory.h"

#include "IdIOHandlerMemory.h"
#include "IdMessageClient.h"
#include "MessageText.h"
#include "RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using Sample::HeaderOf;
using Sample::OnTheWire;

namespace {

const std::string AttachmentsBanner = "---Přílohy-------------------------------";
const std::string BodyBanner = "---Tělo zprávy---------------------------";
const std::string HeaderBanner = "---Záhlaví zprávy------------------------";

// message as a download reads it from the server.
std::unique_ptr<TIdMessage> Downloaded(const std::string& message)
{
    TIdIOHandlerMemory server;
    TIdMessageClient client;
    client.SetIOHandler(&server);
    server.Feed(OnTheWire(message));
    auto parsed = std::make_unique<TIdMessage>();
    if (client.ReceiveHeaderBlock(*parsed, "").empty())
        client.ReceiveMessageBody(*parsed, ".");
    return parsed;
}

std::string TextOf(const std::string& message)
{
    return MessageText(*Downloaded(message), true);
}

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

class SaveAttachmentTest : public ::testing::Test {
protected:
    TRecordingUserInterface Dialog;
    TTemporaryDirectory Temporary;
    const std::string Directory = Temporary.Path();
};

} // namespace

TEST(Banners, AreFortyOneCharacters)
{
    for (const std::string* banner : {&AttachmentsBanner, &BodyBanner, &HeaderBanner})
        EXPECT_EQ(std::count_if(banner->begin(), banner->end(), [](char c) { return (c & 0xC0) != 0x80; }), 41)
            << *banner;
}

TEST(MessageText, BeforeADownloadTheTextIsTheHeaderLines)
{
    EXPECT_EQ(MessageText(*Downloaded(Sample::Plain), false), Sample::PlainHeader);
}

TEST(MessageText, APlainMessageShowsExactlyItsBodyLines)
{
    EXPECT_EQ(TextOf(Sample::Plain), Lines({"Ahoj,", ".tecka na zacatku", "konec"}));
}

TEST(MessageText, AMultipartMessageShowsAttachmentsBodyAndHeader)
{
    EXPECT_EQ(TextOf(Sample::Multipart), "\r\n" + AttachmentsBanner + "\r\n" + "\r\n" +
                                     "http://localhost/a.txt/ID=1 a.txt (text/plain)" + "\r\n\r\n" + BodyBanner +
                                     "\r\n" + "Ahoj\r\n" + "\r\n\r\n" + HeaderBanner + "\r\n" +
                                     Sample::MultipartHeader);
}

TEST(MessageText, TextPartsOnlyHaveNoAttachmentsSection)
{
    EXPECT_EQ(TextOf(Sample::TextPartsOnly), "\r\n" + BodyBanner + "\r\nprvni\r\n\r\ndruhy\r\n\r\n\r\n" + HeaderBanner + "\r\n" +
                                     HeaderOf(Sample::TextPartsOnly).substr(0, HeaderOf(Sample::TextPartsOnly).size() - 2));
}

TEST(MessageText, AnAttachmentWithoutATextPartIsNotHidden)
{
    EXPECT_EQ(TextOf(Sample::PdfOnly), "\r\n" + AttachmentsBanner + "\r\n\r\n" +
                                  "http://localhost/x.pdf/ID=0 x.pdf ()\r\n\r\n" +
                                  BodyBanner + "\r\n\r\n\r\n" + HeaderBanner + "\r\n" +
                                  HeaderOf(Sample::PdfOnly).substr(0, HeaderOf(Sample::PdfOnly).size() - 2));

    EXPECT_EQ(TextOf(Sample::Uuencoded), "\r\n" + AttachmentsBanner + "\r\n\r\n" + "http://localhost/file.txt/ID=0 file.txt ()\r\n\r\n" +
                                  BodyBanner + "\r\nPosilam soubor.\r\nZdravi Anna\r\n\r\n\r\n" + HeaderBanner + "\r\n" +
                                  "From: anna@example.org\r\nSubject: Soubor\r\n");
}

TEST(MessageText, AHostileAttachmentNameCannotBreakItsLine)
{
    const std::string message =
        "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nt\r\n"
        "--b\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename==?windows-1250?Q?a=0D=0Ahttp://localhost/b/ID=3D0_=E1?=\r\n\r\nx\r\n--b--\r\n";
    const std::string text = TextOf(message);
    EXPECT_NE(text.find("\r\nhttp://localhost/ahttp://localhost/b/ID=0 á/ID=1 ahttp://localhost/b/ID=0 á ("),
              std::string::npos)
        << text;
}

TEST_F(SaveAttachmentTest, CancellingTheDialogWritesNothing)
{
    const auto message = Downloaded(Sample::Multipart);
    SaveLinkedAttachment(*message, "http://localhost/a.txt/ID=1");
    EXPECT_EQ(Dialog.Proposed, std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(std::filesystem::is_empty(Directory));
}

TEST_F(SaveAttachmentTest, TheChosenFileGetsTheDecodedData)
{
    const auto message = Downloaded(Sample::Multipart);
    const std::string target = Directory + "/příloha.txt";
    Dialog.Answer = target;
    SaveLinkedAttachment(*message, "http://localhost/a.txt/ID=1");
    EXPECT_EQ(ReadBytes(Directory + "/příloha.txt"), Sample::MultipartAttachment);
}

TEST_F(SaveAttachmentTest, AConfirmedOverwriteReplacesTheFile)
{
    const auto message = Downloaded(Sample::PdfOnly);
    const std::string target = Directory + "/x.pdf";
    std::ofstream(target) << "old contents that are longer than the new ones";
    Dialog.Answer = target;
    SaveLinkedAttachment(*message, "http://localhost/x.pdf/ID=0");
    EXPECT_EQ(ReadBytes(target), Sample::PdfOnlyData);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Directory), {}), 1);
}

TEST_F(SaveAttachmentTest, ALinkToATextPartShowsNoDialog)
{
    const auto message = Downloaded(Sample::Multipart);
    Dialog.Answer = Directory + "/t";
    SaveLinkedAttachment(*message, "http://localhost/a.txt/ID=0");
    EXPECT_TRUE(Dialog.Proposed.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Directory));
}

TEST_F(SaveAttachmentTest, BrokenLinksRaiseTheRuntimesErrors)
{
    const auto message = Downloaded(Sample::Multipart);
    try {
        SaveLinkedAttachment(*message, "http://localhost/a.txt/ID=x");
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message, "'x' is not a valid integer value");
    }
    try {
        SaveLinkedAttachment(*message, "http://localhost/a.txt/ID=5");
        FAIL();
    } catch (const EListError& error) {
        EXPECT_EQ(error.Message, "List index out of bounds (5)");
    }
    EXPECT_THROW(SaveLinkedAttachment(*message, "abcx"), EConvertError);
    EXPECT_TRUE(Dialog.Proposed.empty());
}

TEST_F(SaveAttachmentTest, TheDialogProposesOnlyASafeFileName)
{
    const auto message = Downloaded(
        "Subject: x\r\nContent-Type: application/octet-stream; name=\"../../.bashrc\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nYWJj\r\n");
    SaveLinkedAttachment(*message, "http://localhost/../../.bashrc/ID=0");
    SaveLinkedAttachment(*message, "http://localhost/a/ID=3/ID=0");
    SaveLinkedAttachment(*message, "http://localhost/x:y*z?.txt/ID=0");
    EXPECT_EQ(Dialog.Proposed, (std::vector<std::string>{"bashrc", "ID=3", "x_y_z_.txt"}));
}
