// Hostile settings files: the reader keeps every line and never throws, the
// settings read from any text write out and read back to the same text.
#include "platform/win/WinGdi.h"
#include "shell/app/CAppSettings.h"
#include "shell/app/PrivateProfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > CPrivateProfile::kMaxFileSize)
        return 0;
    CPrivateProfile profile;
    profile.Parse(std::string(reinterpret_cast<const char*>(data), size));
    unsigned char font[sizeof(LOGFONTW)];
    profile.GetStruct("InfoPrintSetting", "Font", font, sizeof font);

    CAppSettings settings;
    const LOGFONTW guiFont{};
    settings.ReadFrom(profile, FString(u"Custom"), guiFont);
    settings.WriteTo(profile);
    const std::string written = profile.Serialize();

    CPrivateProfile again;
    again.Parse(written);
    CAppSettings reread;
    reread.ReadFrom(again, FString(u"Custom"), guiFont);
    reread.WriteTo(again);
    const std::string rewritten = again.Serialize();
    if (rewritten != written) {
        // A value changed on its way through the file: show the first line that did.
        size_t at = 0;
        while (at < written.size() && at < rewritten.size() && written[at] == rewritten[at])
            ++at;
        const size_t line = at == 0 || written.rfind('\n', at - 1) == std::string::npos ? 0 : written.rfind('\n', at - 1) + 1;
        std::fprintf(stderr, "written:   %s\nrewritten: %s\n", written.substr(line, 120).c_str(),
                     rewritten.substr(line, 120).c_str());
        std::abort();
    }
    return 0;
}
