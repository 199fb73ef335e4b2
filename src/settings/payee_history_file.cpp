#include "settings/payee_history_file.h"
#include "support/text_conversion.h"

#include <cstdio>
#include <cwchar>
#include <memory>
#include <utility>

const char kPayeeHistoryFileName[] = "PAYEEHISTORY.TXT";

namespace {

// Runs that save at once wait for each other this long at most.
constexpr DWORD kLockWaitMs = 20000;
constexpr DWORD kLockRetryMs = 20;
// A scanner may hold the new file a moment.
constexpr int kMoveAttempts = 5;
constexpr DWORD kMoveRetryMs = 100;
// Far more than any history of real payees; a larger file is taken as damaged.
constexpr LONGLONG kLargestHistory = 512LL * 1024 * 1024;

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Own(HANDLE handle)
{
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::wstring FileName(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DatedAsidePath(const std::wstring& path, const SYSTEMTIME& now)
{
    wchar_t suffix[40] = {};
    _snwprintf(suffix, 39, L"-DAMAGED-%04u%02u%02u-%02u%02u%02u.TXT", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute, now.wSecond);
    std::wstring aside = path;
    const size_t dot = aside.rfind(L'.');
    const size_t slash = aside.rfind(L'\\');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        aside.erase(dot);
    return aside + suffix;
}

enum class ReadResult { Read, Unchanged, Missing, Failed };

PayeeHistoryStamp StampOf(HANDLE file)
{
    PayeeHistoryStamp stamp;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return stamp;
    stamp.Volume = information.dwVolumeSerialNumber;
    stamp.IndexHigh = information.nFileIndexHigh;
    stamp.IndexLow = information.nFileIndexLow;
    stamp.SizeHigh = information.nFileSizeHigh;
    stamp.SizeLow = information.nFileSizeLow;
    stamp.LastWrite = information.ftLastWriteTime;
    stamp.Known = true;
    return stamp;
}

bool SameFile(const PayeeHistoryStamp& one, const PayeeHistoryStamp& other)
{
    return one.Known && other.Known && one.Volume == other.Volume && one.IndexHigh == other.IndexHigh &&
           one.IndexLow == other.IndexLow && one.SizeHigh == other.SizeHigh && one.SizeLow == other.SizeLow &&
           CompareFileTime(&one.LastWrite, &other.LastWrite) == 0;
}

// Reads the whole file; Unchanged, reading nothing, when it is still the file of stamp *known.
ReadResult ReadWhole(const std::wstring& path, std::string* text, DWORD* error, PayeeHistoryStamp* stamp,
                     const PayeeHistoryStamp* known = nullptr)
{
    text->clear();
    *error = ERROR_SUCCESS;
    Handle file = Own(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        *error = GetLastError();
        return *error == ERROR_FILE_NOT_FOUND ? ReadResult::Missing : ReadResult::Failed;
    }
    *stamp = StampOf(file.get());
    if (known && SameFile(*known, *stamp))
        return ReadResult::Unchanged;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        *error = GetLastError();
        return ReadResult::Failed;
    }
    if (size.QuadPart > kLargestHistory) {
        *error = ERROR_FILE_TOO_LARGE;
        return ReadResult::Failed;
    }
    text->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < text->size()) {
        const DWORD piece = static_cast<DWORD>(text->size() - done < (1u << 24) ? text->size() - done : (1u << 24));
        DWORD read = 0;
        if (!ReadFile(file.get(), &(*text)[done], piece, &read, nullptr)) {
            *error = GetLastError();
            return ReadResult::Failed;
        }
        if (read == 0)
            break;
        done += read;
    }
    text->resize(done);
    return ReadResult::Read;
}

// Held while a run merges: the lock file goes when the holder closes it, even when the process dies.
Handle TakeLock(const std::wstring& path, DWORD* error)
{
    const std::wstring lockPath = path + L".lock";
    const DWORD start = GetTickCount();
    while (true) {
        Handle lock = Own(CreateFileW(lockPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (lock)
            return lock;
        *error = GetLastError();
        // Another run holds it, or is just letting it go.
        if (*error != ERROR_SHARING_VIOLATION && *error != ERROR_ACCESS_DENIED)
            return nullptr;
        if (GetTickCount() - start > kLockWaitMs)
            return nullptr;
        Sleep(kLockRetryMs);
    }
}

// Writes the history whole to a new unfinished copy beside path, flushed to the disk; its path in
// *unfinished. On failure nothing is left.
DWORD WriteCopy(const std::wstring& path, const PayeeHistory& history, std::wstring* unfinished)
{
    // Each copy a name of its own: the process, the thread and a number it counts up.
    Handle file;
    for (unsigned int attempt = 0; !file && attempt < 100; ++attempt) {
        wchar_t suffix[64] = {};
        _snwprintf(suffix, 63, L".%lu-%lu-%u.partial", GetCurrentProcessId(), GetCurrentThreadId(), attempt);
        *unfinished = path + suffix;
        file = Own(
            CreateFileW(unfinished->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file) {
        const DWORD error = GetLastError();
        unfinished->clear();
        return error != ERROR_SUCCESS ? error : ERROR_FILE_EXISTS;
    }
    DWORD error = ERROR_SUCCESS;
    history.Write([&](const std::string& piece) {
        DWORD written = 0;
        if (!WriteFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr))
            error = GetLastError();
        else if (written != piece.size())
            error = ERROR_WRITE_FAULT;
        return error == ERROR_SUCCESS;
    });
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get()))
        error = GetLastError();
    file.reset();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(unfinished->c_str());
        unfinished->clear();
    }
    return error;
}

// Unfinished copies beside path that a run stopped midway left behind (their names carry the
// process that wrote them, and it no longer runs): they are no history and would stay for good.
// This process's own copies may be another run's in flight.
void RemoveLeftCopies(const std::wstring& path)
{
    const std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((path + L".*.partial").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::wstring prefix = FileName(path) + L".";
    do {
        const std::wstring name = found.cFileName;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const DWORD writer = static_cast<DWORD>(std::wcstoul(name.c_str() + prefix.size(), nullptr, 10));
        if (writer == 0 || writer == GetCurrentProcessId())
            continue;
        if (const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, writer)) {
            DWORD exitCode = 0;
            const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
            CloseHandle(process);
            if (running)
                continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // it runs, under another user: not this run's to judge
        }
        DeleteFileW((folder + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Moves the unfinished copy over path; a scanner holding the new file a moment is waited for.
DWORD MoveIntoPlace(const std::wstring& unfinished, const std::wstring& path)
{
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(kMoveRetryMs);
        if (MoveFileExW(unfinished.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED)
            break;
    }
    return error;
}

DWORD WriteWhole(const std::wstring& path, const PayeeHistory& history)
{
    std::wstring unfinished;
    DWORD error = WriteCopy(path, history, &unfinished);
    if (error != ERROR_SUCCESS)
        return error;
    error = MoveIntoPlace(unfinished, path);
    if (error != ERROR_SUCCESS)
        DeleteFileW(unfinished.c_str());
    return error;
}

}  // namespace

std::string SystemErrorText(DWORD error)
{
    wchar_t text[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  511, nullptr);
    if (length == 0)
        length = static_cast<DWORD>(_snwprintf(text, 511, L"system error %lu", static_cast<unsigned long>(error)));
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ' ||
                          text[length - 1] == L'.'))
        text[--length] = L'\0';
    return Utf8FromWide({text, length});
}

bool PayeeHistoryPath(const SettingsLocation& where, std::wstring* path)
{
    wchar_t file[MAX_PATH];
    if (!GetSettingsFolderFile(where, kPayeeHistoryFileName, file))
        return false;
    *path = file;
    return true;
}

PayeeHistoryRead ReadPayeeHistory(const std::wstring& path, const SYSTEMTIME& now)
{
    PayeeHistoryRead read;
    std::string text;
    DWORD error = ERROR_SUCCESS;
    switch (ReadWhole(path, &text, &error, &read.Stamp)) {
    case ReadResult::Missing:
        read.Outcome = PayeeHistoryRead::State::Missing;
        return read;
    case ReadResult::Failed:
        read.Outcome = PayeeHistoryRead::State::Unreadable;
        read.Problem =
            "the payee history " + Utf8FromWide(path) + " could not be read: " + SystemErrorText(error) + ".";
        return read;
    case ReadResult::Read:
    case ReadResult::Unchanged:
        break;
    }
    std::string why;
    if (read.History.Parse(std::move(text), &why)) {
        read.Outcome = PayeeHistoryRead::State::Read;
        return read;
    }
    read.Outcome = PayeeHistoryRead::State::Damaged;
    read.SetAsidePath = DatedAsidePath(path, now);
    read.Problem = "the payee history " + Utf8FromWide(path) + " is damaged (" + why +
                   "). When this file is saved it is kept as " + Utf8FromWide(FileName(read.SetAsidePath)) +
                   " and a new history begins.";
    return read;
}

PreparedHistoryCopy::~PreparedHistoryCopy()
{
    if (!path_.empty())
        DeleteFileW(path_.c_str());
}

PreparedHistoryCopy& PreparedHistoryCopy::operator=(PreparedHistoryCopy&& other) noexcept
{
    if (this != &other) {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

void MergeAhead(PayeeHistoryRead& earlier, const PayeeLines& lines, const std::wstring& path)
{
    if (earlier.Merged ||
        (earlier.Outcome != PayeeHistoryRead::State::Read && earlier.Outcome != PayeeHistoryRead::State::Missing))
        return;
    // The lines' places were found in this reading by the check that made them.
    earlier.History.Remember(lines, true);
    earlier.Merged = true;
    // A copy that cannot be written now is written by the save, which says why when it fails.
    std::wstring unfinished;
    if (path.empty())
        return;
    if (WriteCopy(path, earlier.History, &unfinished) == ERROR_SUCCESS)
        earlier.Prepared = PreparedHistoryCopy(std::move(unfinished));
    // Copies of stopped runs are no one's: the save need not look for them again.
    RemoveLeftCopies(path);
    earlier.LeftCopiesRemoved = true;
}

bool SavePayeeHistory(const std::wstring& path, const PayeeLines& lines, const SYSTEMTIME& now,
                      std::wstring setAsidePath, std::string* problem, PayeeHistoryRead* earlier)
{
    DWORD error = ERROR_SUCCESS;
    const Handle lock = TakeLock(path, &error);
    if (!lock) {
        if (problem)
            *problem =
                "the payee history " + Utf8FromWide(path) + " could not be locked: " + SystemErrorText(error) + ".";
        return false;
    }
    if (!earlier || !earlier->LeftCopiesRemoved)
        RemoveLeftCopies(path);
    // Read again under the lock: another run may have saved since this one read.
    const bool readBefore = earlier && earlier->Outcome == PayeeHistoryRead::State::Read;
    PayeeHistory history;
    std::string text;
    PayeeHistoryStamp stamp;
    const ReadResult read = ReadWhole(path, &text, &error, &stamp, readBefore ? &earlier->Stamp : nullptr);
    const bool stillMissing =
        read == ReadResult::Missing && earlier && earlier->Outcome == PayeeHistoryRead::State::Missing;
    bool merged = false;
    if (read == ReadResult::Unchanged || stillMissing) {
        // The copy written ahead holds this history: it only has to take the file's place.
        if (earlier->Merged && earlier->Prepared.Ready() &&
            MoveIntoPlace(earlier->Prepared.Path(), path) == ERROR_SUCCESS) {
            earlier->Prepared.Release();
            return true;
        }
        history = std::move(earlier->History);
        merged = earlier->Merged;
    }
    if (read == ReadResult::Failed) {
        if (problem)
            *problem =
                "the payee history " + Utf8FromWide(path) + " could not be read: " + SystemErrorText(error) + ".";
        return false;
    }
    if (read == ReadResult::Read && !history.Parse(std::move(text), nullptr)) {
        std::wstring aside = setAsidePath.empty() ? DatedAsidePath(path, now) : setAsidePath;
        // Never over another kept file.
        for (int n = 2; GetFileAttributesW(aside.c_str()) != INVALID_FILE_ATTRIBUTES && n < 100; ++n)
            aside = DatedAsidePath(path, now).insert(DatedAsidePath(path, now).size() - 4, L"-" + std::to_wstring(n));
        if (!MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = GetLastError();
            if (problem)
                *problem = "the damaged payee history " + Utf8FromWide(path) +
                           " could not be kept aside: " + SystemErrorText(error) + ".";
            return false;
        }
    }
    text.clear();
    text.shrink_to_fit();
    if (!merged)
        history.Remember(lines);
    error = WriteWhole(path, history);
    if (error != ERROR_SUCCESS) {
        if (problem)
            *problem =
                "the payee history " + Utf8FromWide(path) + " could not be written: " + SystemErrorText(error) + ".";
        return false;
    }
    return true;
}
