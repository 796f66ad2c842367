#pragma once
// The provider presets installed with the program (share/kormoran/providers, beside the
// executable in a build tree): for a mail domain, the POP3 server, port, security, how
// the provider wants the log-in, and what its users are to be told. A line that cannot
// be read is left out; a missing file gives an empty table.

#include "IdIOHandlerTls.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct TProviderPreset {
    std::string Host; // empty: the provider offers no POP3
    int32_t Port = 0;
    TIdConnectionSecurity Security = csImplicitTls;
    std::string Login;            // "password", "app-password" or "oauth2"
    bool UserIsLocalPart = false; // the user name is the part before "@"
    std::vector<std::string> Hints;
};

class TProviderTable {
public:
    static TProviderTable Parse(const std::string& text);
    static TProviderTable Load(const std::string& path);

    // The preset for the domain of an address ("joe@gmail.com") or a bare domain, case
    // ignored; nothing when the table has none.
    const TProviderPreset* Find(const std::string& addressOrDomain) const;
    size_t Count() const { return FPresets.size(); }

private:
    std::vector<std::shared_ptr<const TProviderPreset>> FPresets;
    std::map<std::string, const TProviderPreset*> FByDomain;
};

std::string ProvidersFilePath();
// The installed table, read once (window thread only).
const TProviderTable& Providers();

// The hints joined into one text for the editor, empty for none.
std::string HintText(const TProviderPreset& preset);
// What a refused log-in at the address's provider repeats: its hints, empty for none.
std::string LoginHintFor(const std::string& address);
