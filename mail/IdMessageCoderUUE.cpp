#include "IdMessageCoderUUE.h"

#include "Convert.h"
#include "IdGlobal.h"

namespace {

struct TLineFit {
    bool AllCharacters = true;
    bool LengthAgrees = false;
};

// How well a data line fits an alphabet; a space counts as a grave accent in uuencode.
TLineFit FitOf(std::string_view line, const TIdDecodeTable& table, bool spaceIsZero)
{
    auto value = [&](char c) -> int {
        if (spaceIsZero && c == ' ')
            return 0;
        return table[static_cast<unsigned char>(c)];
    };
    TLineFit fit;
    for (char c : line)
        if (value(c) == 255)
            fit.AllCharacters = false;
    const int count = value(line[0]);
    fit.LengthAgrees = fit.AllCharacters && line.size() - 1 == static_cast<size_t>((count + 2) / 3 * 4);
    return fit;
}

} // namespace

bool LooksUuencoded(std::string_view line)
{
    if (line.empty())
        return true;
    const TLineFit uue = FitOf(line, TIdDecoderUUE().DecodeTable, true);
    const TLineFit xxe = FitOf(line, TIdDecoderXXE().DecodeTable, false);
    if (uue.LengthAgrees || xxe.LengthAgrees)
        return uue.LengthAgrees;
    return uue.AllCharacters || !xxe.AllCharacters;
}

TIdMessageDecoderUUE::TIdMessageDecoderUUE(TIdMessage& message, std::string fileName)
    : TIdMessageDecoder(message)
{
    Kind = pkAttachment;
    PartFileName = std::move(fileName);
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderUUE::ReadPartBody(TIdPartOutput& output, bool& messageEnded)
{
    TIdDecoderUUE uue;
    TIdDecoderXXE xxe;
    TIdDecoder* decoder = nullptr;
    while (true) {
        TIdBodyLine piece = Source->ReadBodyLine();
        std::string& line = piece.Text;
        if (!piece.Continued && line == ".") {
            messageEnded = true;
            return nullptr;
        }
        // The server doubles a leading dot, and a data line may well begin with one.
        if (!piece.Continued && line.starts_with(".."))
            line.erase(0, 1);
        const std::string trimmed = Trim(line);
        if (!piece.Continued && SameText(trimmed, "end"))
            return nullptr;
        if (trimmed.empty() || trimmed == "~")
            continue;
        if (!decoder)
            decoder = LooksUuencoded(line) ? static_cast<TIdDecoder*>(&uue) : &xxe;
        decoder->DecodeToOutput(line, output.Buffer);
        output.Drain();
    }
}

std::optional<std::string> UuencodedBlockName(std::string_view line)
{
    if (line.size() < 10 || !StartsText("begin ", line) || line[9] != ' ')
        return std::nullopt;
    std::optional<int32_t> mode = TryStrToInt(line.substr(6, 3));
    if (!mode || *mode <= 0)
        return std::nullopt;
    return std::string(line.substr(10));
}

void TIdDecoderUuencodedBlock::DecodeToOutput(std::string_view line, std::string& output)
{
    if (FEnded)
        return;
    const std::string trimmed = Trim(line);
    if (!FBegun && !FDecoder && UuencodedBlockName(line)) {
        FBegun = true;
        return;
    }
    if (SameText(trimmed, "end")) {
        FEnded = true;
        return;
    }
    if (trimmed.empty() || trimmed == "~")
        return;
    if (!FDecoder)
        FDecoder = LooksUuencoded(line) ? static_cast<TIdDecoder*>(&FUue) : &FXxe;
    FDecoder->DecodeToOutput(line, output);
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoUUE::TryStart(TIdMessage& message, const std::string& line) const
{
    std::optional<std::string> fileName = UuencodedBlockName(line);
    if (!fileName)
        return nullptr;
    return std::make_unique<TIdMessageDecoderUUE>(message, std::move(*fileName));
}
