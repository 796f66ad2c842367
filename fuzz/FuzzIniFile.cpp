// kormoran.ini as the window reads and writes its settings: reads of a few keys, then a
// write of one key, which must read back as written.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IniFile.h"

#include <fstream>
#include <utility>
#include <unistd.h>

namespace {

std::string& IniPath()
{
    static std::string path;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UsePrivateTempDirectory();
    IniPath() = PrivateTempPath("kormoran.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream file(IniPath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TIniFile ini(IniPath());
    // The settings the window reads when it opens, and a section without a name.
    for (const auto& [section, key] : {std::pair{"POSITION", "TOP"}, {"POSITION", "LEFT"}, {"SIZE", "HEIGHT"},
                                       {"SIZE", "WIDTH"}, {"SPLIT", "VERTICAL"}, {"", ""}})
        ini.ReadString(section, key, "-");
    try {
        ini.WriteString("SIZE", "WIDTH", "640");
    } catch (const Exception&) {
        FuzzFailure("a settings file that cannot be written to");
    }
    if (ini.ReadString("SIZE", "WIDTH", "-") != "640")
        FuzzFailure("a written setting read back differently");
    ::unlink(IniPath().c_str());
    return 0;
}
