#include "settings/settings_store.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

namespace {

const char kSection[] = "MIGRATED";
const char kFolder[] = "TOLVAR\\Tolvar EBanking";
const char kFile[] = "TOLVAR\\Tolvar EBanking\\BANKSERV.INI";

// The data folder of the location into the call's own buffer; a named folder too long for it
// leaves the folder empty (no path then).
bool CommonDataFolder(const SettingsLocation& where, char (&folder)[MAX_PATH])
{
    const std::string& given = where.DataFolder();
    if (!given.empty()) {
        std::memset(folder, 0, sizeof folder);
        if (given.size() < sizeof folder)
            std::memcpy(folder, given.data(), given.size());
        return true;
    }
    return SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE) != FALSE;
}

}  // namespace

bool GetSettingsFilePath(const SettingsLocation& where, char (&path)[MAX_PATH])
{
    char common[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    path[0] = '\0';
    // PathAppendA refuses results longer than MAX_PATH, so a long data folder leaves no path.
    if (!CommonDataFolder(where, common) || !common[0])
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

bool GetSettingsFolderFile(const SettingsLocation& where, const char* name, wchar_t (&path)[MAX_PATH])
{
    std::memset(path, 0, sizeof path);
    char settingsFile[MAX_PATH];
    if (!GetSettingsFilePath(where, settingsFile))
        return false;
    char* slash = std::strrchr(settingsFile, '\\');
    if (!slash)
        return false;
    slash[1] = '\0';
    char file[MAX_PATH] = {};
    if (std::snprintf(file, sizeof file, "%s%s", settingsFile, name) >= static_cast<int>(sizeof file))
        return false;
    if (MultiByteToWideChar(CP_ACP, 0, file, -1, path, MAX_PATH) == 0) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

bool ReadSetting(const SettingsLocation& where, CString key, char* value, const DWORD* size)
{
    if (!value || !size || *size == 0)
        return false;
    value[0] = '\0';
    char path[MAX_PATH];
    if (!GetSettingsFilePath(where, path))
        return false;
    return GetPrivateProfileStringA(kSection, key, "", value, *size, path) > 0;
}

bool ReadSettingFlag(const SettingsLocation& where, CString key, int* flag)
{
    if (!flag)
        return false;
    char text[MAX_PATH] = {};
    const DWORD size = MAX_PATH - 1;
    if (!ReadSetting(where, key, text, &size))
        return false;
    *flag = 0;
    if (_stricmp(text, "TRUE") == 0 || _stricmp(text, "YES") == 0 || _stricmp(text, "1") == 0)
        *flag = 1;
    return true;
}

bool WriteSetting(const SettingsLocation& where, CString key, const char* value)
{
    // A null value would delete the key; that is not a write.
    if (!value)
        return false;
    char path[MAX_PATH];
    if (!GetSettingsFilePath(where, path))
        return false;
    return WritePrivateProfileStringA(kSection, key, value, path) != FALSE;
}

bool WriteSettingFlag(const SettingsLocation& where, CString key, int flag)
{
    char text[MAX_PATH] = {};
    std::snprintf(text, sizeof text, "%s", flag ? "TRUE" : "FALSE");
    return WriteSetting(where, key, text);
}
