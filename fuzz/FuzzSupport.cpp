#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "Exception.h"
#include "IdCoder3to4.h"
#include "IdMessage.h"

namespace {

std::string& PrivateTempDirectory()
{
    static std::string directory;
    return directory;
}

} // namespace

void FuzzFailure(const char* what)
{
    std::fprintf(stderr, "fuzz harness: %s\n", what);
    std::abort();
}

void UsePrivateTempDirectory()
{
    // Memory-backed when the system has it: the settings file is synced to disk on
    // every write, which on a real disk costs more than the parsing itself.
    const char* base = std::getenv("TMPDIR");
    std::string parent = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : base && *base ? base : "/tmp";
    std::string pattern = parent + "/kormoran-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        FuzzFailure("no temporary directory");
    PrivateTempDirectory() = pattern;
    setenv("TMPDIR", pattern.c_str(), 1);
    // The directory goes when the run ends; a file left in it fails the input first.
    std::atexit([] { ::rmdir(PrivateTempDirectory().c_str()); });
}

std::string PrivateTempPath(const std::string& fileName)
{
    return PrivateTempDirectory() + "/" + fileName;
}

void ExpectNoTempFiles()
{
    DIR* directory = opendir(PrivateTempDirectory().c_str());
    if (!directory)
        FuzzFailure("temporary directory gone");
    int entries = 0;
    while (dirent* entry = readdir(directory))
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
            ++entries;
    closedir(directory);
    if (entries != 0)
        FuzzFailure("a temporary file outlived its message");
}

FuzzMailClient::FuzzMailClient(std::string_view serverBytes)
{
    Client.SetIOHandler(&Handler);
    Handler.ChunkSize = 1 + static_cast<int32_t>(serverBytes.size() % 509);
    Handler.Feed(std::string(serverBytes));
}

void WalkMessage(TIdMessage& message)
{
    message.Parts().Recount();
    for (int i = 0; i < message.Parts().Count(); ++i) {
        TIdMessagePart& part = message.Parts()[i];
        part.ContentType();
        part.ContentTransfer();
        if (auto* attachment = dynamic_cast<TIdAttachment*>(&part)) {
            if (static_cast<int64_t>(attachment->Data().size()) != attachment->Size())
                FuzzFailure("an attachment without its stored data");
        }
    }
    message.From.Text();
    message.Recipients.JoinedText();
    message.CCList().JoinedText();
    message.ReplyTo().JoinedText();
    message.RawHeaders.Text();
}

void DecodeEachLine(TIdDecoder& decoder, std::string_view text, bool withLineEnds)
{
    std::string output;
    while (!text.empty()) {
        size_t lf = text.find('\n');
        std::string line(text.substr(0, lf));
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (withLineEnds)
            line += "\r\n";
        else if (line.empty())
            continue;
        size_t before = output.size();
        try {
            decoder.DecodeToOutput(line, output);
        } catch (const Exception&) {
        }
        if (output.size() - before > std::max<size_t>(line.size(), 64))
            FuzzFailure("a line decoded to more bytes than it holds");
    }
}
