#pragma once
// The product key and the uninstall entry, and finding an installed copy at start-up.
//
// HKEY_LOCAL_MACHINE
//   Software\Torvek\Pellum 3.9.8.7
//     InstallPath       REG_SZ  <InstallFolder>                     (ends with "\"; a reinstall keeps
//                                                                   a stored REG_EXPAND_SZ as it was)
//   Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvek KEL 3.9.8.7
//     DisplayIcon       REG_SZ  <InstallFolder><MainFileName>
//     DisplayName       REG_SZ  Pellum 3.9.8.7
//     UninstallString   REG_SZ  "<InstallFolder>uninstall.exe"     (quoted: the folder may hold spaces)
//     DisplayVersion    REG_SZ  3.9.8.7                    what the system's list of programs
//     Publisher         REG_SZ  Torvek                     shows beside the name
//     InstallLocation   REG_SZ  <InstallFolder>
//     EstimatedSize     REG_DWORD  KB of the payload, rounded up
//     NoModify          REG_DWORD  1                       (no modify or repair mode: removal only)
//     NoRepair          REG_DWORD  1
#include <cstdint>
#include <string>

#include "engine/ProductIdentity.h"
#include "platform/Registry.h"

namespace RegistryNames {
inline constexpr const char* kMakerKey = "Software\\" PRODUCT_MAKER;
inline constexpr const char* kProductKey = "Software\\" PRODUCT_SUFFIX;
// The same key as looked up at start-up, spelled with a trailing "\".
inline constexpr const char* kProductKeyLookup = "Software\\" PRODUCT_SUFFIX "\\";
inline constexpr const char* kInstallPath = "InstallPath";
inline constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PRODUCT_MAKER " KEL " PRODUCT_VERSION;
inline constexpr const char* kDisplayIcon = "DisplayIcon";
inline constexpr const char* kDisplayName = "DisplayName";
inline constexpr const char* kUninstallString = "UninstallString";
inline constexpr const char* kDisplayVersion = "DisplayVersion";
inline constexpr const char* kPublisher = "Publisher";
inline constexpr const char* kInstallLocation = "InstallLocation";
inline constexpr const char* kEstimatedSize = "EstimatedSize";
inline constexpr const char* kNoModify = "NoModify";
inline constexpr const char* kNoRepair = "NoRepair";
inline constexpr const char* kDisplayNameValue = PRODUCT_WORD " " PRODUCT_VERSION;
// Lower case as the uninstall entry has always named it; the payload's file is "Uninstall.exe", and
// file names are case-insensitive on Windows.
inline constexpr const char* kUninstallerFile = "uninstall.exe";
} // namespace RegistryNames

void WriteProductKeys();
bool FindInstalledCopy();
std::string ReadInstallPath();

// A string value as stored: its text, cut at the first NUL, and whether it is an expandable string.
// Missing or zero-length reads as empty; a type other than REG_SZ and REG_EXPAND_SZ raises
// "Invalid data type for '<name>'".
struct StoredString {
    std::string text;
    bool expandable = false;
};
StoredString ReadStoredString(const platform::RegKey& key, const std::string& name);

// A string value as the installer uses it: missing or zero-length reads as empty; REG_SZ and
// REG_EXPAND_SZ are accepted, cut at the first NUL, and expandable strings have their environment
// references expanded; any other type raises "Invalid data type for '<name>'".
std::string ReadStringValue(const platform::RegKey& key, const std::string& name);

// The pure part of ReadStringValue, without the expansion: the text or the error above.
std::string DecodeStringValue(const std::string& name, std::uint32_t type, const std::string& bytes);
