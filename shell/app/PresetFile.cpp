#include "shell/app/PresetFile.h"

#include "shell/app/AppFiles.h"
#include "shell/app/CAppSettings.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_SettingXml.h"

namespace {

bool Contains(std::u16string_view line, std::u16string_view marker)
{
    return line.find(marker) != std::u16string_view::npos;
}

} // namespace

std::string WritePresetFileBytes(const std::vector<const CKVR_FilterData*>& presets)
{
    std::string bytes;
    AppendUtf16(bytes, u"\uFEFF<Custom>\n\t<Settings>\n");
    std::vector<FString> lines;
    for (const CKVR_FilterData* preset : presets) {
        if (!preset || !KVR_WriteSettingXml(&lines, preset))
            continue;
        for (const FString& line : lines) {
            AppendUtf16(bytes, u"\t\t");
            AppendUtf16(bytes, line.View());
            AppendUtf16(bytes, u"\n");
        }
    }
    AppendUtf16(bytes, u"\t</Settings>\n</Custom>\n");
    return bytes;
}

bool ParsePresetFileBytes(std::string_view bytes, const std::function<void(std::unique_ptr<CKVR_FilterData>)>& onPreset)
{
    std::vector<std::u16string> lines;
    ForEachUtf16Line(bytes, [&lines](std::u16string_view line) {
        // No control character but the TAB belongs to the file's lines: a
        // name never holds one (the writer leaves line breaks out).
        std::u16string& kept = lines.emplace_back(line);
        std::erase_if(kept, [](char16_t unit) { return unit < u' ' && unit != u'\t'; });
        return true;
    });
    size_t next = 0;
    const auto atEnd = [&] { return next >= lines.size(); };

    while (!atEnd() && !Contains(lines[next], u"<Custom>"))
        ++next;
    if (atEnd())
        return false;
    ++next;
    if (atEnd() || !Contains(lines[next], u"<Settings>"))
        return false;
    ++next;

    std::vector<FString> collected;
    bool collecting = false;
    for (; !atEnd(); ++next) {
        const std::u16string_view line = lines[next];
        if (Contains(line, u"</Settings>"))
            break;
        if (Contains(line, u"<Setting")) {
            if (collecting)
                return false;
            collecting = true;
            collected.assign(1, FString(line));
            continue;
        }
        if (!collecting)
            break; // the list ends here; this line is dropped
        collected.emplace_back(line);
        if (!Contains(line, u"</Setting>"))
            continue;
        auto preset = std::make_unique<CKVR_FilterData>();
        if (!KVR_ReadSettingXml(preset.get(), &collected))
            return false;
        ClampStoredDensities(*preset);
        onPreset(std::move(preset));
        collected.clear();
        collecting = false;
    }
    if (collecting)
        return false;
    ++next; // past the line that ended the list
    return atEnd() || Contains(lines[next], u"</Custom>");
}
