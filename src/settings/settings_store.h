// The module's own settings: one machine-wide INI file, "BANKSERV.INI" in "TOLVAR\Tolvar EBanking"
// under the common application-data folder, every value in the section "MIGRATED". Each read and
// write works out the file's path afresh (creating the folder) in a buffer of its own, then makes one
// complete private-profile call: nothing stays open and nothing is shared between threads.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "support/cstring.h"

// Where the settings file is kept: under the shell's common application-data folder, or under a
// data folder the caller names instead (for hosts that keep the module's settings elsewhere, and
// for tests). A value each run holds, so runs on different threads never share one.
class SettingsLocation {
public:
    // The shell's common application-data folder.
    SettingsLocation() = default;
    // Another data folder; empty means the shell's.
    explicit SettingsLocation(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}
    const std::string& DataFolder() const { return dataFolder_; }

private:
    std::string dataFolder_;
};

// The settings file's full path into path, its folder made if missing. False, with path empty,
// when the common application-data folder cannot be determined or the path would not fit.
bool GetSettingsFilePath(const SettingsLocation& where, char (&path)[MAX_PATH]);

// The full path of another file of the module's beside the settings file (same folder, same
// permissions), its folder made if missing. False, with path empty, as GetSettingsFilePath.
bool GetSettingsFolderFile(const SettingsLocation& where, const char* name, wchar_t (&path)[MAX_PATH]);

// Reads a text value into value (*size characters with the terminator). True when the key holds a
// non-empty value; a missing key and an empty value both give false.
bool ReadSetting(const SettingsLocation& where, CString key, char* value, const DWORD* size);

// Reads a boolean: "TRUE", "YES" and "1" in any case are 1, any other non-empty value is 0. When
// nothing is stored, false is returned and *flag keeps the caller's default.
bool ReadSettingFlag(const SettingsLocation& where, CString key, int* flag);

// Stores a text value; true when the platform stored it.
bool WriteSetting(const SettingsLocation& where, CString key, const char* value);

// Stores "TRUE" for any non-zero flag, "FALSE" for 0.
bool WriteSettingFlag(const SettingsLocation& where, CString key, int flag);
