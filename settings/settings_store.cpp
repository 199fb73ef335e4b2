#include "settings/settings_store.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

namespace {

const char kSection[] = "MIGRATED";
const char kFolder[] = "TOLVAR\\Tolvar EBanking";
const char kFile[] = "TOLVAR\\Tolvar EBanking\\BANKSERV.INI";

// The path cache: filled by the first successful lookup, then only read.
char settingsPath[MAX_PATH];
char settingsFolder[MAX_PATH];
bool pathCached = false;

// A data folder given in place of the shell's (empty when it did not fit: no path then).
bool dataFolderGiven = false;
char dataFolder[MAX_PATH];

bool CommonDataFolder(char (&folder)[MAX_PATH])
{
    if (dataFolderGiven) {
        std::memcpy(folder, dataFolder, sizeof folder);
        return true;
    }
    return SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE) != FALSE;
}

}  // namespace

const char* GetSettingsFilePath()
{
    if (pathCached)
        return settingsPath;

    char common[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    settingsPath[0] = '\0';
    // PathAppendA refuses results longer than MAX_PATH, so a long data folder leaves no path.
    if (!CommonDataFolder(common) || !common[0])
        return settingsPath;
    std::memcpy(folder, common, sizeof folder);
    std::memcpy(path, common, sizeof path);
    if (!PathAppendA(folder, kFolder) || !PathAppendA(path, kFile))
        return settingsPath;

    // An existing folder is fine; a folder that cannot be made shows up as a failing write.
    SHCreateDirectoryExA(nullptr, folder, nullptr);

    std::memcpy(settingsFolder, folder, sizeof settingsFolder);
    std::memcpy(settingsPath, path, sizeof settingsPath);
    pathCached = true;
    return settingsPath;
}

bool ReadSetting(CString key, char* value, const DWORD* size)
{
    if (!value || !size || *size == 0)
        return false;
    value[0] = '\0';
    const char* path = GetSettingsFilePath();
    if (!path[0])
        return false;
    return GetPrivateProfileStringA(kSection, key, "", value, *size, path) > 0;
}

bool ReadSettingFlag(CString key, int* flag)
{
    if (!flag)
        return false;
    char text[MAX_PATH] = {};
    const DWORD size = MAX_PATH - 1;
    if (!ReadSetting(key, text, &size))
        return false;
    *flag = 0;
    if (_stricmp(text, "TRUE") == 0 || _stricmp(text, "YES") == 0 || _stricmp(text, "1") == 0)
        *flag = 1;
    return true;
}

bool WriteSetting(CString key, const char* value)
{
    // A null value would delete the key; that is not a write.
    if (!value)
        return false;
    const char* path = GetSettingsFilePath();
    if (!path[0])
        return false;
    return WritePrivateProfileStringA(kSection, key, value, path) != FALSE;
}

bool WriteSettingFlag(CString key, int flag)
{
    char text[MAX_PATH] = {};
    std::snprintf(text, sizeof text, "%s", flag ? "TRUE" : "FALSE");
    return WriteSetting(key, text);
}

void UseSettingsDataFolder(const char* folder)
{
    std::memset(dataFolder, 0, sizeof dataFolder);
    dataFolderGiven = folder && folder[0];
    if (dataFolderGiven && std::strlen(folder) < sizeof dataFolder)
        std::memcpy(dataFolder, folder, std::strlen(folder));
    pathCached = false;
    settingsPath[0] = '\0';
    settingsFolder[0] = '\0';
}
