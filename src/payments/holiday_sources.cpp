#include "payments/holiday_sources.h"

#include <cwctype>
#include <vector>

#include "core/module_path.h"
#include "payments/payment_resources.h"
#include "support/platform.h"

const wchar_t kHolidayFileName[] = L"bank-holidays.json";
const wchar_t kHolidayTroubleCaption[] = L"Bank Holidays";

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    std::wstring wide(utf8.size() + 1, L'\0');
    const int length =
        platform::Utf8ToWide(utf8.data(), static_cast<int>(utf8.size()), &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

std::wstring SystemReason(DWORD error)
{
    wchar_t reason[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        reason, 511, nullptr);
    if (length == 0)
        _snwprintf(reason, 511, L"system error %lu", static_cast<unsigned long>(error));
    // The system's texts end in a full stop and a line break.
    for (size_t end = wcslen(reason); end > 0 && (std::iswspace(reason[end - 1]) || reason[end - 1] == L'.'); --end)
        reason[end - 1] = L'\0';
    return reason;
}

enum class ReadOutcome { Read, Missing, Failed };

// The whole file, read as a spreadsheet or a download might hold it open.
ReadOutcome ReadWholeFile(const std::wstring& path, std::string& bytes, std::wstring& why)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return ReadOutcome::Missing;
        why = SystemReason(error);
        return ReadOutcome::Failed;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
        why = SystemReason(GetLastError());
        return ReadOutcome::Failed;
    }
    if (size.QuadPart > static_cast<LONGLONG>(HolidayList::LargestFile)) {
        why = L"the file is larger than a list of bank holidays can be";
        return ReadOutcome::Failed;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        why = SystemReason(GetLastError());
        return ReadOutcome::Failed;
    }
    bytes.resize(read);
    return ReadOutcome::Read;
}

// A list file: Missing when it is not there, Failed with why when it is there but not a list.
ReadOutcome ReadListFile(const std::wstring& path, HolidayList& list, std::wstring& why)
{
    std::string bytes;
    const ReadOutcome outcome = ReadWholeFile(path, bytes, why);
    if (outcome != ReadOutcome::Read)
        return outcome;
    std::string reason;
    if (!list.Parse(bytes.data(), bytes.size(), reason)) {
        why = Widen(reason);
        return ReadOutcome::Failed;
    }
    return ReadOutcome::Read;
}

std::wstring SettingsFolder(const SettingsLocation& settings)
{
    char path[MAX_PATH] = {};
    if (!GetSettingsFilePath(settings, path))
        return std::wstring();
    wchar_t wide[MAX_PATH] = {};
    if (!platform::AnsiToWide(path, -1, wide, MAX_PATH))
        return std::wstring();
    return FolderOfPath(wide);
}

}  // namespace

std::wstring InstalledHolidayFolder()
{
    return FolderOfPath(ModuleWidePath(static_cast<HMODULE>(platform::ResourceModule())));
}

bool LoadBuiltInHolidays(HolidayList& list)
{
    const HMODULE module = static_cast<HMODULE>(platform::ResourceModule());
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_BANK_HOLIDAYS), MAKEINTRESOURCEW(10));
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    std::string ignored;
    return list.Parse(static_cast<const char*>(data), SizeofResource(module, found), ignored);
}

LoadedHolidays LoadHolidays(const HolidaySources& sources)
{
    LoadedHolidays loaded;
    std::wstring trouble;

    const std::wstring installedPath = sources.InstalledFolder + kHolidayFileName;
    std::wstring why;
    const ReadOutcome installed =
        sources.InstalledFolder.empty() ? ReadOutcome::Missing : ReadListFile(installedPath, loaded.List, why);
    if (installed == ReadOutcome::Read) {
        loaded.UsedPath = installedPath;
    } else {
        if (installed == ReadOutcome::Failed)
            trouble += L"The bank holiday list " + installedPath + L" cannot be used: " + why + L".\n\n";
        // A module copied by hand, without its list, still knows the holidays it was built with.
        LoadBuiltInHolidays(loaded.List);
    }

    const std::wstring settingsFolder = SettingsFolder(sources.Settings);
    if (!settingsFolder.empty()) {
        const std::wstring newerPath = settingsFolder + kHolidayFileName;
        HolidayList newer;
        why.clear();
        const ReadOutcome outcome = ReadListFile(newerPath, newer, why);
        if (outcome == ReadOutcome::Failed) {
            trouble += L"The bank holiday list " + newerPath + L" cannot be used: " + why + L".\n\n";
        } else if (outcome == ReadOutcome::Read &&
                   (loaded.List.Empty() || newer.LastYear() >= loaded.List.LastYear())) {
            // A fresh download of the same years may hold a holiday announced at short notice.
            loaded.List = std::move(newer);
            loaded.UsedPath = newerPath;
        }
    }

    if (!trouble.empty()) {
        if (loaded.List.Empty())
            trouble += L"No list of bank holidays could be read: debit dates are not checked.";
        else
            trouble += L"The list " +
                       (loaded.UsedPath.empty() ? std::wstring(L"built into the module") : loaded.UsedPath) +
                       L", which runs to the end of " + std::to_wstring(loaded.List.LastYear()) + L", is used instead.";
        loaded.Trouble = trouble;
    }
    return loaded;
}

void ShowHolidayTrouble(const LoadedHolidays& loaded)
{
    if (loaded.Trouble.empty())
        return;
    MessageBoxW(GetActiveWindow(), loaded.Trouble.c_str(), kHolidayTroubleCaption, MB_OK | MB_ICONWARNING);
}
