// The module's own settings: one machine-wide INI file, "BANKSERV.INI" in "TOLVAR\Tolvar EBanking"
// under the common application-data folder, every value in the section "MIGRATED". The file's path
// is worked out once per module instance (creating the folder) and kept; each read and write is one
// complete private-profile call, so nothing stays open.
#pragma once

#include <windows.h>

#include "support/cstring.h"

// The settings file's full path, from a module-wide buffer. Empty when the common application-data
// folder cannot be determined; the next call then tries again.
const char* GetSettingsFilePath();

// Reads a text value into value (*size characters with the terminator). True when the key holds a
// non-empty value; a missing key and an empty value both give false.
bool ReadSetting(CString key, char* value, const DWORD* size);

// Reads a boolean: "TRUE", "YES" and "1" in any case are 1, any other non-empty value is 0. When
// nothing is stored, false is returned and *flag keeps the caller's default.
bool ReadSettingFlag(CString key, int* flag);

// Stores a text value; true when the platform stored it.
bool WriteSetting(CString key, const char* value);

// Stores "TRUE" for any non-zero flag, "FALSE" for 0.
bool WriteSettingFlag(CString key, int flag);

// Puts the settings under another machine-wide data folder instead of the shell's common
// application-data folder (null or empty: the shell's again). The path is worked out afresh on the
// next call. For hosts that keep the module's settings elsewhere, and for tests.
void UseSettingsDataFolder(const char* folder);
