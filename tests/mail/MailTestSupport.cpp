#include "MailTestSupport.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "IdGlobal.h"
#include "IdMessage.h"
#include "TestData.h"

std::string WireBytes(std::string_view message)
{
    std::string wire;
    size_t start = 0;
    while (start < message.size()) {
        size_t end = message.find('\n', start);
        std::string_view line = message.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? message.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line[0] == '.')
            wire += '.';
        (wire += line) += "\r\n";
    }
    return wire + ".\r\n";
}

void MemoryMailClient::Retrieve(TIdMessage& message, std::string_view messageBytes)
{
    Handler.Feed(WireBytes(messageBytes));
    if (Client.ReceiveHeaderBlock(message, "").empty())
        Client.ReceiveMessageBody(message, ".");
}

void RetrieveTestMessage(TIdMessage& message, const std::string& name)
{
    MemoryMailClient mail;
    mail.Retrieve(message, ReadTestData(name));
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

uint64_t Fnv1a(std::string_view bytes)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string DescribePart(const TIdMessagePart& part)
{
    char hash[32];
    if (auto* attachment = dynamic_cast<const TIdAttachment*>(&part)) {
        std::string data = attachment->Data();
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(data)));
        return "attachment " + attachment->AttachmentName + " " + std::to_string(data.size()) + " " + hash;
    }
    auto& text = dynamic_cast<const TIdText&>(part);
    return "text " + std::to_string(text.Lines.size()) + " lines";
}
