#include "shell/app/FileTypeCommand.h"

#include "foundation/FPath.h"
#include "shell/app/AppFiles.h"
#include "shell/app/PrivateProfile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// No file of the desktop's databases comes near this.
constexpr size_t kMaxDatabaseFileSize = 8u << 20;

FString EnvFolder(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? PathFromNative(value) : FString();
}

FString HomeBelow(const char16_t* below)
{
    const FString home = EnvFolder("HOME");
    return home.GetLength() > 0 ? PathJoin(home, FString(below)) : FString();
}

// The variable's absolute folders (":"-separated), or the defaults.
std::vector<FString> FolderList(const char* variable, std::vector<const char16_t*> defaults)
{
    std::vector<FString> folders;
    if (const char* value = std::getenv(variable); value && *value) {
        std::string_view rest(value);
        while (!rest.empty()) {
            const size_t colon = std::min(rest.find(':'), rest.size());
            if (colon > 0 && rest[0] == '/')
                folders.push_back(PathFromNative(rest.substr(0, colon)));
            rest.remove_prefix(std::min(colon + 1, rest.size()));
        }
    }
    if (folders.empty())
        for (const char16_t* folder : defaults)
            folders.emplace_back(folder);
    return folders;
}

std::vector<FString> ConfigFolders()
{
    std::vector<FString> folders;
    const FString home = EnvFolder("XDG_CONFIG_HOME");
    folders.push_back(home.GetLength() > 0 ? home : HomeBelow(u".config"));
    for (FString& folder : FolderList("XDG_CONFIG_DIRS", {u"/etc/xdg"}))
        folders.push_back(std::move(folder));
    return folders;
}

std::vector<FString> DataFolders()
{
    std::vector<FString> folders;
    const FString home = EnvFolder("XDG_DATA_HOME");
    folders.push_back(home.GetLength() > 0 ? home : HomeBelow(u".local/share"));
    for (FString& folder : FolderList("XDG_DATA_DIRS", {u"/usr/local/share", u"/usr/share"}))
        folders.push_back(std::move(folder));
    return folders;
}

bool ReadDatabase(const FString& folder, const char16_t* name, std::string& bytes)
{
    return folder.GetLength() > 0 && ReadAppFile(PathJoin(folder, FString(name)), bytes, kMaxDatabaseFileSize) ==
                                         AppFileRead::kRead;
}

bool LoadProfile(const FString& folder, const char16_t* name, CPrivateProfile& profile)
{
    std::string bytes;
    if (!ReadDatabase(folder, name, bytes))
        return false;
    profile.Parse(bytes);
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The MIME type of "*.ext" files: the glob of the highest weight; at equal
// weights the folder of higher precedence wins. Lines are "weight:type:glob"
// with optional flags after a fourth colon ("cs": the glob is case-sensitive).
std::string MimeTypeOfExtension(std::string_view dottedExtension)
{
    std::string best;
    long bestWeight = -1;
    for (const FString& folder : DataFolders()) {
        std::string bytes;
        if (!ReadDatabase(folder, u"mime/globs2", bytes))
            continue;
        std::string_view rest(bytes);
        while (!rest.empty()) {
            const size_t end = std::min(rest.find('\n'), rest.size());
            const std::string_view line = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (line.empty() || line[0] == '#')
                continue;
            const size_t first = line.find(':');
            const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
            if (second == std::string_view::npos)
                continue;
            const size_t third = line.find(':', second + 1);
            const std::string_view type = line.substr(first + 1, second - first - 1);
            const std::string_view glob = line.substr(second + 1, third == std::string_view::npos ? line.npos : third - second - 1);
            const std::string_view flags = third == std::string_view::npos ? std::string_view() : line.substr(third + 1);
            if (type.empty() || glob.size() < 2 || glob[0] != '*')
                continue;
            const std::string_view globExtension = glob.substr(1);
            const bool match = flags.find("cs") != std::string_view::npos ? globExtension == dottedExtension
                                                                          : EqualsNoCase(globExtension, dottedExtension);
            const long weight = std::strtol(std::string(line.substr(0, first)).c_str(), nullptr, 10);
            if (match && weight > bestWeight) {
                bestWeight = weight;
                best = std::string(type);
            }
        }
    }
    return best;
}

// The Exec line of the desktop entry with that id, searched in the data folders.
FString ExecOfDesktopEntry(const FString& id)
{
    if (id.GetLength() == 0 || !PathIsEntryName(id))
        return FString();
    for (const FString& folder : DataFolders()) {
        CPrivateProfile entry;
        if (!LoadProfile(PathJoin(folder, FString(u"applications")), id.GetText(), entry))
            continue;
        if (entry.GetString("Desktop Entry", "Hidden", FString()) == u"true")
            return FString();
        return entry.GetString("Desktop Entry", "Exec", FString());
    }
    return FString();
}

// The first listed application of the type whose desktop entry has a command.
FString CommandOfList(const FString& list)
{
    std::u16string_view rest = list.View();
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(u';'), rest.size());
        FString command = ExecOfDesktopEntry(FString(rest.substr(0, end)));
        if (command.GetLength() > 0)
            return command;
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return FString();
}

FString DefaultApplicationCommand(const std::string& mimeType)
{
    struct Source {
        std::vector<FString> folders;
        const char16_t* file;
        const char* group;
    };
    std::vector<FString> dataApplications;
    for (const FString& folder : DataFolders())
        dataApplications.push_back(PathJoin(folder, FString(u"applications")));
    const Source sources[] = {
        {ConfigFolders(), u"mimeapps.list", "Default Applications"},
        {dataApplications, u"mimeapps.list", "Default Applications"},
        {dataApplications, u"defaults.list", "Default Applications"},
        {dataApplications, u"mimeinfo.cache", "MIME Cache"},
    };
    for (const Source& source : sources) {
        for (const FString& folder : source.folders) {
            CPrivateProfile profile;
            if (!LoadProfile(folder, source.file, profile))
                continue;
            FString command = CommandOfList(profile.GetString(source.group, mimeType, FString()));
            if (command.GetLength() > 0)
                return command;
        }
    }
    return FString();
}

} // namespace

FString GetFileTypeOpenCommand(const FString& extension)
{
    FString dotted = extension;
    if (dotted.GetLength() == 0 || dotted.View()[0] != u'.') {
        dotted = FString(u".");
        dotted += extension;
    }
    std::string native;
    if (dotted.GetLength() < 2 || !PathToNative(dotted, native))
        return FString();
    const std::string mimeType = MimeTypeOfExtension(native);
    return mimeType.empty() ? FString() : DefaultApplicationCommand(mimeType);
}

FString ProgramOfCommand(const FString& command)
{
    const std::u16string_view text = command.View();
    if (text.empty())
        return FString();
    if (text[0] == u'"') {
        const size_t close = text.find(u'"', 1);
        return FString(text.substr(1, close == std::u16string_view::npos ? text.npos : close - 1));
    }
    return FString(text.substr(0, text.find(u' ')));
}

FString GetAssociatedProgram(const FString& extension)
{
    return ProgramOfCommand(GetFileTypeOpenCommand(extension));
}
