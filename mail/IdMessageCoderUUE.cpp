#include "IdMessageCoderUUE.h"

#include "Convert.h"
#include "IdCoderUUE.h"
#include "IdCoderXXE.h"
#include "IdException.h"
#include "IdGlobal.h"

TIdMessageDecoderUUE::TIdMessageDecoderUUE(TIdMessage& message, std::string fileName)
    : TIdMessageDecoder(message)
{
    Kind = pkAttachment;
    PartFileName = std::move(fileName);
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderUUE::ReadPartBody(TIdPartOutput& output, bool& messageEnded)
{
    std::string line = Source->ReadLn();
    TIdDecoderUUE uue;
    TIdDecoderXXE xxe;
    const TIdDecoder* decoder = nullptr;
    if (line.starts_with("M"))
        decoder = &uue;
    else if (line.starts_with("h"))
        decoder = &xxe;
    else
        throw EIdException("Unrecognized UUE encoding scheme.");
    while (true) {
        std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed != "~") {
            decoder->DecodeToOutput(line, output.Buffer);
            output.Drain();
        }
        line = Source->ReadLn();
        if (line == ".") {
            messageEnded = true;
            return nullptr;
        }
        // The server doubles a leading dot, and a data line may well begin with one.
        if (line.starts_with(".."))
            line.erase(0, 1);
        if (SameText(Trim(line), "end"))
            return nullptr;
    }
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoUUE::TryStart(TIdMessage& message, const std::string& line) const
{
    if (line.size() < 10 || !StartsText("begin ", line) || line[9] != ' ')
        return nullptr;
    std::optional<int32_t> mode = TryStrToInt(std::string_view(line).substr(6, 3));
    if (!mode || *mode <= 0)
        return nullptr;
    return std::make_unique<TIdMessageDecoderUUE>(message, line.substr(10));
}
