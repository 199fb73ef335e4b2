#include "payments/export_log.h"

#include <cstdio>
#include <memory>

#include "payments/payment_summary.h"
#include "settings/payee_history.h"
#include "settings/payee_history_file.h"
#include "support/text_conversion.h"

const char kExportLogFileName[] = "EXPORTLOG.TXT";
const char kExportLogColumns[] =
    "Date\tTime\tUser\tComputer\tPaying account\tLayout\tFile\tRecords\tFailed a check\tTotal\tSHA-256\r\n";

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle OpenForAppend(const std::wstring& path)
{
    const HANDLE handle = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::string Problem(const std::wstring& path, DWORD error)
{
    return Utf8FromWide(path) + " (" + SystemErrorText(error) + ").";
}

// Tabs and line breaks would move the columns.
std::string Field(const std::string& text)
{
    std::string field = text;
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return field;
}

}  // namespace

std::string ExportLogLine(const ExportLogEntry& entry)
{
    char when[40] = {};
    std::snprintf(when, sizeof when, "%04u-%02u-%02u\t%02u:%02u:%02u", entry.LocalTime.wYear, entry.LocalTime.wMonth,
                  entry.LocalTime.wDay, entry.LocalTime.wHour, entry.LocalTime.wMinute, entry.LocalTime.wSecond);
    std::string line = when;
    for (const std::string* text : {&entry.User, &entry.Computer, &entry.Account, &entry.Layout, &entry.Path}) {
        line += '\t';
        line += Field(*text);
    }
    line += '\t' + std::to_string(entry.Records) + '\t' + std::to_string(entry.Failed) + '\t' +
            FormatPence(entry.TotalPence) + '\t' + entry.Sha256 + "\r\n";
    return line;
}

bool ExportLogPath(const SettingsLocation& where, std::wstring* path)
{
    wchar_t file[MAX_PATH];
    if (!GetSettingsFolderFile(where, kExportLogFileName, file))
        return false;
    *path = file;
    return true;
}

bool CanAppendExportLog(const std::wstring& path, std::string* problem)
{
    // Asked before the user decides: a log that is not there yet is not made for a file never saved.
    const HANDLE existing = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = GetLastError();
    if (existing != INVALID_HANDLE_VALUE) {
        CloseHandle(existing);
        return true;
    }
    if (error == ERROR_FILE_NOT_FOUND) {
        const HANDLE probe = CreateFileW((path + L".probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        error = GetLastError();
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            return true;
        }
    }
    if (problem)
        *problem = Problem(path, error);
    return false;
}

bool AppendExportLog(const std::wstring& path, const ExportLogEntry& entry, std::string* problem)
{
    const Handle log = OpenForAppend(path);
    if (!log) {
        if (problem)
            *problem = Problem(path, GetLastError());
        return false;
    }
    // Two runs saving at once: the first line and each run's line go in whole, one after the other.
    OVERLAPPED whole{};
    const bool locked = LockFileEx(log.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
    std::string text;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(log.get(), &size) && size.QuadPart == 0)
        text = kExportLogColumns;
    text += ExportLogLine(entry);
    DWORD written = 0;
    const bool wrote =
        WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    const DWORD error = wrote ? ERROR_SUCCESS : GetLastError();
    if (locked)
        UnlockFileEx(log.get(), 0, MAXDWORD, MAXDWORD, &whole);
    if (!wrote && problem)
        *problem = Problem(path, error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return wrote;
}

std::string CurrentUserName()
{
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size))
        return std::string();
    return Utf8FromWide({name, wcsnlen(name, 256)});
}

std::string CurrentComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return std::string();
    return Utf8FromWide({name, wcsnlen(name, MAX_COMPUTERNAME_LENGTH)});
}
