// The payee history's file, "PAYEEHISTORY.TXT" beside the settings file. It is read whole, and
// written whole under a lock file: the current file is read again, this run's payees are merged in,
// and the result goes to an unfinished copy that is flushed and moved over it. Two runs saving at
// once both end up in it; a reader sees the earlier file or the whole new one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/payee_history.h"
#include "settings/settings_store.h"

extern const char kPayeeHistoryFileName[];

struct PayeeHistoryRead {
    enum class State { Missing, Read, Damaged, Unreadable };
    State Outcome = State::Missing;
    PayeeHistory History;
    // Damaged or Unreadable: why, naming the file (UTF-8).
    std::string Problem;
    // Damaged: the dated name it is kept under when this run saves.
    std::wstring SetAsidePath;
};

// The history's path; false when the settings folder cannot be determined.
bool PayeeHistoryPath(const SettingsLocation& where, std::wstring* path);

// Reads the history. A damaged one is left where it is until the next save.
PayeeHistoryRead ReadPayeeHistory(const std::wstring& path, const SYSTEMTIME& now);

// Merges the entries (lines as PayeeLine gives them) into the history on the disk (see above). A history found damaged is moved to
// setAsidePath (or a dated name of now when empty) and a new one begins. False, with why in
// *problem, when the history could not be written; the file on the disk is then as it was.
bool SavePayeeHistory(const std::wstring& path, std::vector<std::string> lines, const SYSTEMTIME& now,
                      std::wstring setAsidePath, std::string* problem);

// The system's text for an error code, without its line end, as UTF-8.
std::string SystemErrorText(DWORD error);
