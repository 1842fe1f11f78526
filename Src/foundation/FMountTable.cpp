#include "foundation/FMountTable.h"

#include <fstream>
#include <iterator>
#include <mutex>

#include "foundation/FIFolder.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

namespace {

std::mutex g_TableFileLock;
std::string g_TableFile; // empty: the kernel's table

// The table writes space, tab, newline and backslash as a backslash and three octal digits.
std::string DecodeOctalEscapes(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value > 0 && value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        if (at > start)
            fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

bool IsNetworkType(const std::string& type)
{
    static const char* const kTypes[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs",
                                         "davfs", "fuse.davfs2", "9p", "afs", "ceph", "glusterfs", "fuse.glusterfs"};
    for (const char* known : kTypes) {
        if (type == known)
            return true;
    }
    return false;
}

bool IsRemovableMountPoint(const std::string& mountPoint)
{
    // Desktop automounters put removable media under these folders.
    return mountPoint.rfind("/media/", 0) == 0 || mountPoint.rfind("/run/media/", 0) == 0;
}

int DriveTypeOfEntry(const FMountEntry& entry)
{
    if (IsNetworkType(entry.m_sType))
        return FIFolder::DRIVE_REMOTE;
    if (entry.m_sType == "iso9660" || entry.m_sType == "udf")
        return FIFolder::DRIVE_CDROM;
    if (IsRemovableMountPoint(entry.m_sMountPoint))
        return FIFolder::DRIVE_REMOVABLE;
    if (entry.m_sType == "tmpfs" || entry.m_sType == "ramfs")
        return FIFolder::DRIVE_RAMDISK;
    return FIFolder::DRIVE_FIXED;
}

FString LowerAscii(std::string_view text)
{
    FString out = PathFromNative(text);
    out.MakeLower();
    return out;
}

// The entry whose mount point is the longest prefix of the path.
const FMountEntry* EntryOfPath(const std::vector<FMountEntry>& table, const FString& nativePath)
{
    const FMountEntry* best = nullptr;
    size_t bestLength = 0;
    for (const FMountEntry& entry : table) {
        const FString mountPoint = PathFromNative(entry.m_sMountPoint);
        if (!PathIsInside(nativePath, mountPoint))
            continue;
        // Later entries over-mount earlier ones at the same point.
        if (best == nullptr || entry.m_sMountPoint.size() >= bestLength) {
            best = &entry;
            bestLength = entry.m_sMountPoint.size();
        }
    }
    return best;
}

} // namespace

std::vector<FMountEntry> ParseMountTable(std::string_view text)
{
    std::vector<FMountEntry> table;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::vector<std::string_view> fields = SplitFields(text.substr(at, end - at));
        at = end + 1;
        if (fields.size() < 3 || fields[1].empty() || fields[1].front() != '/')
            continue;
        FMountEntry entry;
        entry.m_sSource = DecodeOctalEscapes(fields[0]);
        entry.m_sMountPoint = DecodeOctalEscapes(fields[1]);
        entry.m_sType = std::string(fields[2]);
        table.push_back(std::move(entry));
    }
    return table;
}

void SetMountTableFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_TableFileLock);
    g_TableFile = path;
}

std::vector<FMountEntry> ReadMountTable()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_TableFileLock);
        path = g_TableFile.empty() ? std::string("/proc/self/mounts") : g_TableFile;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseMountTable(text);
}

std::vector<FVolume> ListVolumes()
{
    std::vector<FVolume> volumes;
    FVolume root;
    root.m_sName = FString(kRootVolumeName);
    root.m_sMountPoint = FString(u"/");
    root.m_iDriveType = FIFolder::DRIVE_FIXED;
    volumes.push_back(root);

    for (const FMountEntry& entry : ReadMountTable()) {
        const int type = DriveTypeOfEntry(entry);
        if (type != FIFolder::DRIVE_REMOVABLE && type != FIFolder::DRIVE_CDROM)
            continue;
        FVolume volume;
        volume.m_sMountPoint = PathFromNative(entry.m_sMountPoint);
        volume.m_sName = PathFileName(volume.m_sMountPoint);
        volume.m_iDriveType = type;
        bool taken = volume.m_sName.GetLength() == 0 || volume.m_sName == kNetworkVolumeName;
        for (const FVolume& other : volumes)
            taken = taken || other.m_sName == volume.m_sName;
        if (!taken)
            volumes.push_back(volume);
    }
    return volumes;
}

bool ParseNetworkSource(const FMountEntry& entry, FString& server, FString& share)
{
    if (!IsNetworkType(entry.m_sType))
        return false;
    std::string_view source = entry.m_sSource;
    std::string_view host;
    std::string_view rest;
    if (source.rfind("//", 0) == 0) { // //server/share
        source.remove_prefix(2);
        const size_t slash = source.find('/');
        host = source.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : source.substr(slash + 1);
    } else if (const size_t scheme = source.find("://"); scheme != std::string_view::npos) { // https://host/path
        source.remove_prefix(scheme + 3);
        const size_t slash = source.find('/');
        host = source.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : source.substr(slash + 1);
    } else { // [user@]server:/export
        size_t colon = std::string_view::npos;
        if (!source.empty() && source.front() == '[') { // [IPv6]:/export
            const size_t close = source.find(']');
            if (close != std::string_view::npos)
                colon = source.find(':', close);
        } else {
            colon = source.find(':');
        }
        if (colon == std::string_view::npos)
            return false;
        host = source.substr(0, colon);
        rest = source.substr(colon + 1);
    }
    if (const size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    if (host.empty())
        return false;
    server = LowerAscii(host);
    share = rest.empty() ? FString(u"/") : PathFromNative(rest);
    return true;
}

std::vector<FNetworkShare> ListNetworkShares()
{
    std::vector<FNetworkShare> shares;
    for (const FMountEntry& entry : ReadMountTable()) {
        FNetworkShare share;
        if (!ParseNetworkSource(entry, share.m_sServer, share.m_sShare))
            continue;
        share.m_sMountPoint = PathFromNative(entry.m_sMountPoint);
        shares.push_back(share);
    }
    return shares;
}

int DriveTypeOfPath(const FString& nativePath)
{
    const std::vector<FMountEntry> table = ReadMountTable();
    const FMountEntry* entry = EntryOfPath(table, nativePath);
    return entry ? DriveTypeOfEntry(*entry) : FIFolder::DRIVE_FIXED;
}

FString MountPointOfPath(const FString& nativePath)
{
    const std::vector<FMountEntry> table = ReadMountTable();
    const FMountEntry* entry = EntryOfPath(table, nativePath);
    return entry ? PathFromNative(entry->m_sMountPoint) : FString(u"/");
}
