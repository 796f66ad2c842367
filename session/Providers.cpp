#include "Providers.h"

#include "Convert.h"
#include "FileContents.h"
#include "udm.h"

#include <filesystem>
#include <sstream>

#ifndef KORMORAN_DATA_DIR_FROM_BIN
#define KORMORAN_DATA_DIR_FROM_BIN "../share/kormoran"
#endif

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

bool ParseSecurity(const std::string& text, TIdConnectionSecurity& security)
{
    if (text == "tls")
        security = csImplicitTls;
    else if (text == "starttls")
        security = csStartTls;
    else if (text == "none")
        security = csNone;
    else
        return text == "-";
    return true;
}

// One line's preset, or nothing when the line does not hold seven well-formed fields.
std::shared_ptr<TProviderPreset> ParsePreset(const std::vector<std::string>& fields)
{
    if (fields.size() != 7)
        return nullptr;
    auto preset = std::make_shared<TProviderPreset>();
    if (fields[1] != "-") {
        preset->Host = fields[1];
        preset->Port = StrToIntDef(fields[2], 0);
        if (preset->Port <= 0 || preset->Port > 65535)
            return nullptr;
    }
    if (!ParseSecurity(fields[3], preset->Security))
        return nullptr;
    preset->Login = fields[4] == "-" ? std::string() : fields[4];
    preset->UserIsLocalPart = fields[5] == "local";
    if (fields[6] != "-")
        preset->Hints = Split(fields[6], '|');
    return preset;
}

} // namespace

TProviderTable TProviderTable::Parse(const std::string& text)
{
    TProviderTable table;
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string> fields = Split(line, '\t');
        std::shared_ptr<TProviderPreset> preset = ParsePreset(fields);
        if (!preset)
            continue;
        for (const std::string& domain : Split(fields[0], ','))
            if (!domain.empty())
                table.FByDomain.emplace(Lower(domain), preset.get());
        table.FPresets.push_back(std::move(preset));
    }
    return table;
}

TProviderTable TProviderTable::Load(const std::string& path)
{
    try {
        return Parse(ReadFileContents(path).value_or(std::string()));
    } catch (const std::exception&) {
        // The presets are a help, not a need: without them the editor works as before.
        return {};
    }
}

const TProviderPreset* TProviderTable::Find(const std::string& addressOrDomain) const
{
    const size_t at = addressOrDomain.rfind('@');
    const std::string domain = Lower(at == std::string::npos ? addressOrDomain : addressOrDomain.substr(at + 1));
    const auto found = FByDomain.find(domain);
    return found == FByDomain.end() ? nullptr : found->second;
}

std::string ProvidersFilePath()
{
    const std::string besideExecutable = AppFilePath("providers");
    if (std::filesystem::exists(besideExecutable))
        return besideExecutable;
    return std::filesystem::path(AppFilePath(KORMORAN_DATA_DIR_FROM_BIN "/providers")).lexically_normal();
}

const TProviderTable& Providers()
{
    // Read again only when the program's files moved (the tests move them).
    static std::string loadedPath;
    static TProviderTable table;
    const std::string path = ProvidersFilePath();
    if (path != loadedPath) {
        table = TProviderTable::Load(path);
        loadedPath = path;
    }
    return table;
}

std::string HintText(const TProviderPreset& preset)
{
    std::string text;
    for (const std::string& hint : preset.Hints)
        text += (text.empty() ? "" : ". ") + hint;
    return text.empty() ? text : text + ".";
}

std::string LoginHintFor(const std::string& address)
{
    const TProviderPreset* preset = Providers().Find(address);
    return preset ? HintText(*preset) : std::string();
}
