// Hostile preset files: the tolerant reader stays inside the file, and every
// preset it accepts is written and read back the same.
#include "shell/app/PresetFile.h"
#include "shell/facade/CKVR_FilterData.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::unique_ptr<CKVR_FilterData>> presets;
    ParsePresetFileBytes(std::string_view(reinterpret_cast<const char*>(data), size),
                         [&presets](std::unique_ptr<CKVR_FilterData> preset) { presets.push_back(std::move(preset)); });

    std::vector<const CKVR_FilterData*> written;
    for (const auto& preset : presets)
        written.push_back(preset.get());
    std::vector<std::unique_ptr<CKVR_FilterData>> reread;
    const bool parsed = ParsePresetFileBytes(WritePresetFileBytes(written), [&reread](std::unique_ptr<CKVR_FilterData> preset) {
        reread.push_back(std::move(preset));
    });
    if (!parsed || reread.size() != presets.size())
        std::abort();
    for (size_t i = 0; i < presets.size(); ++i) {
        const CKVR_FilterData& a = *presets[i];
        const CKVR_FilterData& b = *reread[i];
        if (b.IsEqual(&a, 1) && b.m_nWhiteBalance == a.m_nWhiteBalance)
            continue;
        std::fprintf(stderr, "preset %zu: read %d %d %d %d %d %d %d | %d %d %d | wb %d, name %zu units\n", i,
                     a.m_nShadow, a.m_nContrast, a.m_nExposure, a.m_nHighlight, a.m_nSaturation, a.m_nSharpness,
                     a.m_nFillLight, a.m_nCyan, a.m_nMagenta, a.m_nYellow, a.m_nWhiteBalance,
                     a.m_strName.View().size());
        std::fprintf(stderr, "preset %zu: again %d %d %d %d %d %d %d | %d %d %d | wb %d, name %zu units\n", i,
                     b.m_nShadow, b.m_nContrast, b.m_nExposure, b.m_nHighlight, b.m_nSaturation, b.m_nSharpness,
                     b.m_nFillLight, b.m_nCyan, b.m_nMagenta, b.m_nYellow, b.m_nWhiteBalance,
                     b.m_strName.View().size());
        std::abort();
    }
    return 0;
}
