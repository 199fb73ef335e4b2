// One payment export run: from the host's batch to a written payment file, with the run's outcome
// in the service's status and each payment's result code.
#pragma once

#include <windows.h>

#include <string>

#include "TolvarBankPayments.h"
#include "payments/holiday_list.h"
#include "settings/settings_store.h"

class PlacementPlatform;

// The outcome left in the payment service's Status.
enum ExportStatus : long {
    ExportWrittenAllPassed = 0,
    ExportWrittenSomeFailed = 1,
    ExportNotWritten = 2,      // the file could not be written whole, or a payment could not be fetched
    ExportNothingToWrite = 3,  // empty batch, or the user cancelled the save dialog
};

// What a run works the debit date out from: today, and the folder of the holiday list installed
// beside the module (an administrator's newer list is in the settings folder).
struct DebitDateInputs {
    DaySerial Today = 0;
    std::wstring InstalledFolder;

    // The platform's today (platform::LocalToday) and the module's own folder.
    static DebitDateInputs System();
};

// The BANKSERV.INI key of the processing days from the day a file goes in to its debit date.
extern const char kDebitDaysSetting[];

// Runs the export. Raises on the errors that stop a run (host settings missing or failing, a null
// batch); status is reset to 0 once the host's file defaults are known and holds the outcome after.
// Returns S_OK, or S_FALSE when at least one payment failed a check. The file is written through
// the platform's services (PlacementPlatform::System() for the real ones); the layout chosen for
// the account is kept in the settings at that location. The options dialog opens on the earliest
// date the bank can debit and questions a date it cannot use.
HRESULT RunPaymentExport(long& status, ITolvarBankPayments* payments, ITolvarBankPaymentContext* context,
                         PlacementPlatform& platform, const SettingsLocation& settingsLocation,
                         const DebitDateInputs& dates = DebitDateInputs::System());
