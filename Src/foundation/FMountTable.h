#pragma once
// What is mounted where, read from the kernel's mount table without any
// network call: the volumes (the root and mounted removable media), the
// servers and shares of mounted network file systems, and the drive type of a
// path.

#include <string>
#include <string_view>
#include <vector>

#include "foundation/FString.h"

struct FMountEntry {
    std::string m_sSource;     // device, "server:/export" or "//server/share"
    std::string m_sMountPoint; // escapes of the table decoded
    std::string m_sType;
};

// One entry per well-formed line of a table in the /proc/self/mounts format.
std::vector<FMountEntry> ParseMountTable(std::string_view text);

// The table of the file set by SetMountTableFile (tests), else /proc/self/mounts.
// Empty when it cannot be read.
std::vector<FMountEntry> ReadMountTable();
void SetMountTableFile(const std::string& path); // "" restores /proc/self/mounts

struct FVolume {
    FString m_sName;       // first part of a disk URL
    FString m_sMountPoint; // native path
    int m_iDriveType = 0;  // FIFolder::DRIVE_*
};
// The root volume first, then the removable media in table order. A medium
// whose name is taken (by the root, "Network" or another medium) is left out.
std::vector<FVolume> ListVolumes();

struct FNetworkShare {
    FString m_sServer; // lower case
    FString m_sShare;
    FString m_sMountPoint;
};
std::vector<FNetworkShare> ListNetworkShares();
// Splits the source of a network mount; false when it is not a network file system.
bool ParseNetworkSource(const FMountEntry& entry, FString& server, FString& share);

// FIFolder::DRIVE_* of the file system that holds the native path.
int DriveTypeOfPath(const FString& nativePath);
// The mount point of the file system that holds the path (longest prefix); "/" when none matches.
FString MountPointOfPath(const FString& nativePath);
