#include "settings/settings_store.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

const char kSection[] = "MIGRATED";
const char kFolder[] = "TOLVAR\\Tolvar EBanking";
const char kFile[] = "TOLVAR\\Tolvar EBanking\\BANKSERV.INI";

// A data folder given in place of the shell's (empty when it did not fit: no path then). Read
// under the lock into each call's own buffer.
std::mutex dataFolderLock;
bool dataFolderGiven = false;
char dataFolder[MAX_PATH];

bool CommonDataFolder(char (&folder)[MAX_PATH])
{
    {
        std::lock_guard<std::mutex> hold(dataFolderLock);
        if (dataFolderGiven) {
            std::memcpy(folder, dataFolder, sizeof folder);
            return true;
        }
    }
    return SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE) != FALSE;
}

}  // namespace

bool GetSettingsFilePath(char (&path)[MAX_PATH])
{
    char common[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    path[0] = '\0';
    // PathAppendA refuses results longer than MAX_PATH, so a long data folder leaves no path.
    if (!CommonDataFolder(common) || !common[0])
        return false;
    std::memcpy(folder, common, sizeof folder);
    std::memcpy(path, common, sizeof path);
    if (!PathAppendA(folder, kFolder) || !PathAppendA(path, kFile)) {
        path[0] = '\0';
        return false;
    }
    // An existing folder is fine; a folder that cannot be made shows up as a failing write.
    SHCreateDirectoryExA(nullptr, folder, nullptr);
    return true;
}

bool ReadSetting(CString key, char* value, const DWORD* size)
{
    if (!value || !size || *size == 0)
        return false;
    value[0] = '\0';
    char path[MAX_PATH];
    if (!GetSettingsFilePath(path))
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
    char path[MAX_PATH];
    if (!GetSettingsFilePath(path))
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
    std::lock_guard<std::mutex> hold(dataFolderLock);
    std::memset(dataFolder, 0, sizeof dataFolder);
    dataFolderGiven = folder && folder[0];
    if (dataFolderGiven && std::strlen(folder) < sizeof dataFolder)
        std::memcpy(dataFolder, folder, std::strlen(folder));
}
