// Where a run's list of bank holidays comes from. The package installs "bank-holidays.json" beside
// the module; an administrator may put a newer download of the published list in the settings
// folder (beside BANKSERV.INI), which is used when it is valid and reaches at least as far. The
// module also carries the list it was built with, used when none is installed beside it. A list
// that is there but cannot be used is named to the user, with why, in one message per run.
#pragma once

#include <windows.h>

#include <string>

#include "payments/holiday_list.h"
#include "settings/settings_store.h"

// The list's file name, beside the module and in the settings folder.
extern const wchar_t kHolidayFileName[];
// The caption of the message about a list that cannot be used.
extern const wchar_t kHolidayTroubleCaption[];

struct HolidaySources {
    std::wstring InstalledFolder;  // with its closing backslash
    SettingsLocation Settings;
};

struct LoadedHolidays {
    HolidayList List;       // empty only when not even the module's own list could be read
    std::wstring Trouble;   // the message for the user; empty when every list found was fine
    std::wstring UsedPath;  // the file the list came from; empty for the module's own
};

// The folder of the module that holds this code, with its closing backslash.
std::wstring InstalledHolidayFolder();

// Reads the lists and picks one, as above.
LoadedHolidays LoadHolidays(const HolidaySources& sources);

// The module's own list, from its resources.
bool LoadBuiltInHolidays(HolidayList& list);

// Shows the message about lists that could not be used, owned by the active window; nothing when
// there is none.
void ShowHolidayTrouble(const LoadedHolidays& loaded);
