// The export log, "EXPORTLOG.TXT" beside the settings file: one tab-separated line for each saved
// payment file, so that a file can be checked later against what was saved (its SHA-256 as
// `certutil -hashfile <file> SHA256` gives it). UTF-8; the first line names the columns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "settings/settings_store.h"

extern const char kExportLogFileName[];
extern const char kExportLogColumns[];

struct ExportLogEntry {
    SYSTEMTIME LocalTime{};
    std::string User;
    std::string Computer;
    std::string Account;  // the paying account's key
    std::string Layout;
    std::string Path;
    long Records = 0;
    long Failed = 0;
    std::int64_t TotalPence = 0;
    std::string Sha256;  // lower-case hexadecimal
};

// The entry's line, with its line end.
std::string ExportLogLine(const ExportLogEntry& entry);

// The log's path; false when the settings folder cannot be determined.
bool ExportLogPath(const SettingsLocation& where, std::wstring* path);

// Whether a line could be appended now; false with why (naming the file) in *problem.
bool CanAppendExportLog(const std::wstring& path, std::string* problem);

// Appends the line (the column line first into a new log); false with why in *problem.
bool AppendExportLog(const std::wstring& path, const ExportLogEntry& entry, std::string* problem);

// The Windows user and computer names of the process, UTF-8.
std::string CurrentUserName();
std::string CurrentComputerName();
