#include "LargeMailbox.h"

#include <fstream>
#include <vector>

namespace {

// Dovecot is handed the messages in batches, each one command line of files.
constexpr int StoreBatch = 2000;

} // namespace

std::string LargeMailboxMessage(int number)
{
    const std::string n = std::to_string(number);
    std::string header =
        "Return-Path: <sender" + n + "@example.org>\r\n"
        "Received: from mail.example.org (mail.example.org [192.0.2.1])\r\n"
        "\tby pop.example.net with ESMTPS id " + n + "; Tue, 8 Dec 2026 10:00:00 +0100\r\n"
        "From: =?utf-8?Q?Odes=C3=ADlatel_" + n + "?= <sender" + n + "@example.org>\r\n"
        "To: Someone <someone@example.net>\r\n"
        "Subject: Message number " + n + " about the quarterly report\r\n"
        "Date: Tue, 08 Dec 2026 10:" + std::to_string(10 + number % 50) + ":00 +0100\r\n"
        "Message-ID: <" + n + ".bench@example.org>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n";
    const std::string filler = "X-Filler: ";
    // The filler line with its CR LF, then the blank line, make up the rest.
    const size_t fillerLine = LargeMailboxHeaderBytes - header.size() - 2;
    header += filler + std::string(fillerLine - filler.size() - 2, 'x') + "\r\n\r\n";
    return header + "Body of message " + n + ".\r\n";
}

std::unique_ptr<TLargeMailbox> NewLargeMailbox(int count)
{
    auto mailbox = std::make_unique<TLargeMailbox>();
    mailbox->Server = std::make_unique<PrivatePop3Server>();
    for (int first = 1; first <= count; first += StoreBatch) {
        std::vector<std::string> messages;
        for (int i = first; i < first + StoreBatch && i <= count; ++i)
            messages.push_back(LargeMailboxMessage(i));
        mailbox->Server->AddMessages(messages);
    }
    mailbox->Accounts = mailbox->Directory.File("accounts.dat");
    std::ofstream(mailbox->Accounts, std::ios::binary | std::ios::trunc)
        << "bench@localhost\r\n127.0.0.1\r\n" << mailbox->Server->User() << "\r\n"
        << mailbox->Server->Password() << "\r\n" << mailbox->Server->Port() << "\r\n";
    return mailbox;
}
