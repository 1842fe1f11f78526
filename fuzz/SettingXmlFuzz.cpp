// Hostile preset lines: the reader must stay inside its lines and never throw,
// whatever the element and attribute texts hold.
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_SettingXml.h"
#include "shell/facade/KVR_Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // UTF-8 text, one preset line per text line, as the preset file hands them over.
    std::vector<FString> lines;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size() && lines.size() < 16) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(KVR_WideText(text.substr(start, end - start).c_str()));
        start = end + 1;
    }
    CKVR_FilterData settings;
    if (KVR_ReadSettingXml(&settings, &lines)) {
        std::vector<FString> written;
        KVR_WriteSettingXml(&written, &settings);
        CKVR_FilterData again;
        KVR_ReadSettingXml(&again, &written);
    }
    return 0;
}
