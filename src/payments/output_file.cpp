#include "payments/output_file.h"

#include <bcrypt.h>
#include <commdlg.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/reg_key.h"
#include "support/platform.h"

namespace {

const char kFilterForExtension[] = "Payment Files (*.%s)|*.%s|All Files (*.*)|*.*||";
const char kFilterAllFiles[] = "All Files (*.*)|*.*||";
const wchar_t kVirtualStore[] = L"virtualstore";
const wchar_t kRedirectCaption[] = L"Windows Redirect";
const wchar_t kRedirectSaved[] = L"Due to Windows Redirect your file was saved to";
const wchar_t kRedirectQuestion[] = L"Would you like to open the directory?";
const wchar_t kFailureCaption[] = L"Payment Export";
const wchar_t kFailureText[] = L"The payment file could not be written to\n%ls\n\nReason: %ls\n\n"
                               L"The file there, if there was one, is unchanged.";

// A file in the VirtualStore counts as this run's when it was written after the run opened its
// payment file; the margin covers file systems whose times are coarser than the clock (FAT keeps
// two seconds) and a kernel clock that lags the system time by a tick.
constexpr ULONGLONG kWriteTimeMargin = 2ULL * 10000000ULL;  // 2 s in 100 ns units

// A virus scanner or indexer may hold a new file for a moment: the move is tried again a few
// times before it counts as refused.
constexpr int kMoveAttempts = 5;
constexpr DWORD kMoveRetryMs = 100;

template <size_t N>
void CopyText(wchar_t (&to)[N], const wchar_t* from)
{
    std::wmemset(to, 0, N);
    if (from)
        std::wmemcpy(to, from, wcsnlen(from, N - 1));
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Systems before version 4.90 know only the shorter save dialog description.
bool KnowsLongDialogDescription()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version))
        return false;
    return version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion >= 90);
}

// The C runtime's reason for a failed write or close, as a system error code.
DWORD RuntimeError(int error = errno)
{
    switch (error) {
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_WRITE_FAULT;
    }
}

// A handle closed when the holder goes.
class HandleHolder {
public:
    explicit HandleHolder(HANDLE handle) : handle_(handle) {}
    ~HandleHolder()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// A directory search closed when the holder goes.
class SearchHolder {
public:
    explicit SearchHolder(HANDLE search) : search_(search) {}
    ~SearchHolder()
    {
        if (search_ != INVALID_HANDLE_VALUE)
            FindClose(search_);
    }
    SearchHolder(const SearchHolder&) = delete;
    SearchHolder& operator=(const SearchHolder&) = delete;
    HANDLE Get() const { return search_; }
    bool Valid() const { return search_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE search_;
};

// A new unfinished copy with a taken name is tried under another random name a few times.
constexpr int kNameAttempts = 4;

// What an unfinished copy's name adds to the chosen name: the marker and the random part.
size_t UnfinishedAddition()
{
    return std::wcslen(OutputPlacement::UnfinishedMarker) + OutputPlacement::RandomDigits;
}

// The unfinished copies' common start for a path: its name followed by the marker, the name cut
// when the whole copy's name would not fit MAX_PATH (never inside a surrogate pair). False when
// not even the folder fits.
bool UnfinishedPrefixFor(const wchar_t* path, wchar_t (&out)[MAX_PATH])
{
    std::wmemset(out, 0, MAX_PATH);
    const size_t length = std::wcslen(path);
    const size_t addition = UnfinishedAddition();
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    const size_t nameStart = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (length == 0 || nameStart + 1 + addition > MAX_PATH - 1)
        return false;
    size_t keep = length;
    if (keep + addition > MAX_PATH - 1) {
        keep = MAX_PATH - 1 - addition;
        if (keep > nameStart + 1 && IS_LOW_SURROGATE(path[keep]))
            --keep;
    }
    std::wmemcpy(out, path, keep);
    std::wmemcpy(out + keep, OutputPlacement::UnfinishedMarker, std::wcslen(OutputPlacement::UnfinishedMarker));
    return true;
}

bool IsRandomDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

// Whether a name found in the folder is exactly an unfinished copy's: the prefix's name part and
// the random part in its exact form.
bool IsUnfinishedName(const wchar_t* name, const wchar_t* prefixName)
{
    const size_t prefix = std::wcslen(prefixName);
    if (std::wcslen(name) != prefix + OutputPlacement::RandomDigits || std::wcsncmp(name, prefixName, prefix) != 0)
        return false;
    for (const wchar_t* c = name + prefix; *c; ++c) {
        if (!IsRandomDigit(*c))
            return false;
    }
    return true;
}

// The number of names the open file has; 0 when the system cannot tell.
DWORD LinkCount(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return 0;
    return information.nNumberOfLinks;
}

DWORD LinkCount(std::FILE* file)
{
    return LinkCount(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

// Deletes the file at path when it is a plain file with this one name. The file is opened without
// following a reparse point, checked and deleted through the same handle, so what is deleted is
// what was checked; a copy a live run holds cannot be opened for deletion and stays.
void DeleteIfPlainFile(const wchar_t* path)
{
    const HandleHolder file(CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid())
        return;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.Get(), &information))
        return;
    const DWORD notPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
    if ((information.dwFileAttributes & notPlain) != 0 || information.nNumberOfLinks != 1)
        return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
}

// Deletes the unfinished copies that runs which died left for the place whose prefix is given.
void DeleteLeftovers(const wchar_t (&prefix)[MAX_PATH])
{
    wchar_t pattern[MAX_PATH + 1] = {};
    _snwprintf(pattern, MAX_PATH, L"%ls*", prefix);
    const wchar_t* slash = std::wcsrchr(prefix, L'\\');
    const size_t folderLength = slash ? static_cast<size_t>(slash - prefix) + 1 : 0;
    const wchar_t* prefixName = prefix + folderLength;

    WIN32_FIND_DATAW found{};
    const SearchHolder search(FindFirstFileW(pattern, &found));
    if (!search.Valid())
        return;
    do {
        if (!IsUnfinishedName(found.cFileName, prefixName))
            continue;
        wchar_t path[MAX_PATH] = {};
        const size_t nameLength = std::wcslen(found.cFileName);
        if (folderLength + nameLength > MAX_PATH - 1)
            continue;
        std::wmemcpy(path, prefix, folderLength);
        std::wmemcpy(path + folderLength, found.cFileName, nameLength);
        DeleteIfPlainFile(path);
    } while (FindNextFileW(search.Get(), &found));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PlacementPlatform

bool PlacementPlatform::IsElevated()
{
    // Only an elevated process may open the local service account's hive for every access.
    RegKey key;
    return RegOpenKeyExW(HKEY_USERS, L"S-1-5-19", 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS;
}

bool PlacementPlatform::LocalAppDataFolder(wchar_t (&folder)[MAX_PATH])
{
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder));
}

void PlacementPlatform::OpenFolder(const wchar_t* folder)
{
    // A failing shell shows nothing; the file is where the notice said.
    ShellExecuteW(nullptr, L"open", folder, nullptr, nullptr, SW_SHOWDEFAULT);
}

bool PlacementPlatform::Random(unsigned char* bytes, unsigned long size)
{
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, size, BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

DWORD PlacementPlatform::Create(const wchar_t* path, std::FILE** file)
{
    *file = nullptr;
    // Others may read the unfinished copy, nobody may write or remove it under the run. No
    // security descriptor of its own: the copy gets the folder's inherited permissions, which
    // the chosen file then has.
    const HANDLE handle = CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    // Binary: the payment file's writer ends its lines itself, so its bytes are the file's.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return ERROR_TOO_MANY_OPEN_FILES;
    }
    *file = _fdopen(descriptor, "wb");
    if (!*file) {
        _close(descriptor);
        return ERROR_TOO_MANY_OPEN_FILES;
    }
    return ERROR_SUCCESS;
}

DWORD PlacementPlatform::Flush(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return RuntimeError();
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (!FlushFileBuffers(handle))
        return GetLastError();
    return ERROR_SUCCESS;
}

DWORD PlacementPlatform::Close(std::FILE* file)
{
    return std::fclose(file) == 0 ? ERROR_SUCCESS : RuntimeError();
}

DWORD PlacementPlatform::Move(const wchar_t* from, const wchar_t* to)
{
    // On Windows a replacing move within one volume is a rename: anyone opening the target sees
    // the earlier file or the whole new one, never neither and never a part, and with
    // write-through the call returns once the rename is on the disk. Wine passes over the
    // write-through flag (a power cut just after may bring the earlier file back, never a part).
    // ReplaceFileW is no use here: Wine's deletes the target before it moves the new file in,
    // which leaves a moment with no file at all.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(kMoveRetryMs);
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            break;
    }
    return error;
}

PlacementPlatform& PlacementPlatform::System()
{
    static PlacementPlatform system;
    return system;
}

// ---------------------------------------------------------------------------------------------
// PaymentFile

PaymentFile& PaymentFile::operator=(PaymentFile&& other) noexcept
{
    if (this != &other) {
        Close();
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

std::FILE* PaymentFile::Release()
{
    std::FILE* file = file_;
    file_ = nullptr;
    return file;
}

bool PaymentFile::Close()
{
    if (!file_)
        return true;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
}

// ---------------------------------------------------------------------------------------------
// OutputPlacement

OutputPlacement::OutputPlacement(PlacementPlatform& platform) : platform_(platform)
{
}

OutputPlacement::~OutputPlacement()
{
    DeleteUnfinished();
}

void OutputPlacement::BuildFilter(const char* extension)
{
    // The last byte stays zero whatever is formatted, so the list always ends in two zero bytes.
    char filter[FilterSize] = {};
    const int written = extension && *extension
                            ? std::snprintf(filter, sizeof filter - 1, kFilterForExtension, extension, extension)
                            : -1;
    if (written < 0 || static_cast<size_t>(written) >= sizeof filter - 1) {
        std::memset(filter, 0, sizeof filter);
        std::memcpy(filter, kFilterAllFiles, sizeof kFilterAllFiles);
    }
    for (char& c : filter) {
        if (c == '|')
            c = '\0';
    }
    // The extension is the host's ANSI text; an ANSI character never needs more than one wide one.
    std::wmemset(filter_, 0, FilterSize);
    platform::AnsiToWide(filter, static_cast<int>(sizeof filter), filter_, static_cast<int>(FilterSize));
    filter_[FilterSize - 1] = L'\0';
    filter_[FilterSize - 2] = L'\0';
}

bool OutputPlacement::ShowSaveDialog(const char* extension, const char* initialPath)
{
    if (!filter_[0])
        BuildFilter(extension);
    wchar_t file[MAX_PATH] = {};
    wchar_t title[256] = {};
    wchar_t defaultExtension[8] = {};
    if (initialPath && *initialPath)
        platform::AnsiToWide(initialPath, static_cast<int>(strnlen(initialPath, MAX_PATH - 1)), file, MAX_PATH - 1);
    if (extension && *extension)
        platform::AnsiToWide(extension, static_cast<int>(strnlen(extension, 7)), defaultExtension, 7);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = KnowsLongDialogDescription() ? sizeof dialog : OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filter_;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = 256;
    dialog.lpstrDefExt = defaultExtension[0] ? defaultExtension : nullptr;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;

    std::wmemset(chosenPath_, 0, MAX_PATH);
    if (!GetSaveFileNameW(&dialog))
        return false;
    CopyText(chosenPath_, file);
    return true;
}

void OutputPlacement::BuildVirtualStorePath()
{
    std::wmemset(virtualStorePath_, 0, MAX_PATH);
    // Only a path on a drive has a place in the VirtualStore: the drive letter and colon are dropped.
    const wchar_t* path = chosenPath_;
    const bool letter = (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    if (!letter || path[1] != L':' || path[2] != L'\\')
        return;
    wchar_t local[MAX_PATH] = {};
    if (!platform_.LocalAppDataFolder(local))
        return;
    local[MAX_PATH - 1] = L'\0';
    if (!local[0])
        return;
    wchar_t built[MAX_PATH] = {};
    const int length = _snwprintf(built, MAX_PATH - 1, L"%ls\\%ls%ls", local, kVirtualStore, path + 2);
    if (length < 0 || length >= static_cast<int>(MAX_PATH))
        return;
    CopyText(virtualStorePath_, built);
}

void OutputPlacement::Fail(const wchar_t* path, DWORD error)
{
    // The first failure is the one the user is told about.
    if (failure_ != ERROR_SUCCESS)
        return;
    failure_ = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
    CopyText(failedPath_, path);
}

void OutputPlacement::DeleteUnfinished()
{
    if (unfinishedPath_[0])
        DeleteFileW(unfinishedPath_);
    std::wmemset(unfinishedPath_, 0, MAX_PATH);
}

DWORD OutputPlacement::CreateUnfinished(const wchar_t* place, std::FILE** file)
{
    *file = nullptr;
    wchar_t prefix[MAX_PATH] = {};
    if (!UnfinishedPrefixFor(place, prefix))
        return ERROR_FILENAME_EXCED_RANGE;
    DeleteLeftovers(prefix);

    const size_t prefixLength = std::wcslen(prefix);
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        unsigned char random[RandomDigits / 2] = {};
        if (!platform_.Random(random, sizeof random))
            return ERROR_GEN_FAILURE;
        wchar_t path[MAX_PATH] = {};
        std::wmemcpy(path, prefix, prefixLength);
        for (size_t i = 0; i < sizeof random; ++i) {
            path[prefixLength + 2 * i] = L"0123456789ABCDEF"[random[i] >> 4];
            path[prefixLength + 2 * i + 1] = L"0123456789ABCDEF"[random[i] & 0x0F];
        }
        error = platform_.Create(path, file);
        if (error != ERROR_SUCCESS)
            continue;
        // A second name made for the new copy would take the payments into whatever file it names.
        if (LinkCount(*file) != 1) {
            platform_.Close(*file);
            *file = nullptr;
            DeleteFileW(path);
            return ERROR_ALREADY_EXISTS;
        }
        CopyText(unfinishedPath_, path);
    }
    return error;
}

PaymentFile OutputPlacement::Open()
{
    DeleteUnfinished();
    std::wmemset(writtenPath_, 0, MAX_PATH);
    std::wmemset(failedPath_, 0, MAX_PATH);
    failure_ = ERROR_SUCCESS;
    openedInVirtualStore_ = false;
    elevated_ = platform_.IsElevated();
    BuildVirtualStorePath();
    GetSystemTimeAsFileTime(&openedAt_);
    if (!chosenPath_[0]) {
        Fail(chosenPath_, ERROR_INVALID_NAME);
        return PaymentFile();
    }

    std::FILE* file = nullptr;
    const DWORD error = CreateUnfinished(chosenPath_, &file);
    if (error == ERROR_SUCCESS) {
        // Copies dead runs left in the VirtualStore would only lie about.
        wchar_t stale[MAX_PATH] = {};
        if (!elevated_ && virtualStorePath_[0] && UnfinishedPrefixFor(virtualStorePath_, stale))
            DeleteLeftovers(stale);
        return PaymentFile(file);
    }
    Fail(chosenPath_, error);
    // Only a folder that refuses a non-elevated user to create the file has a place for it in the
    // VirtualStore.
    if (error != ERROR_ACCESS_DENIED || elevated_ || !virtualStorePath_[0])
        return PaymentFile();
    if (CreateUnfinished(virtualStorePath_, &file) != ERROR_SUCCESS)
        return PaymentFile();
    // The chosen folder refused, the VirtualStore took it: nothing failed after all.
    failure_ = ERROR_SUCCESS;
    std::wmemset(failedPath_, 0, MAX_PATH);
    openedInVirtualStore_ = true;
    return PaymentFile(file);
}

void OutputPlacement::NoteWriteFailure(int runtimeError)
{
    Fail(openedInVirtualStore_ ? virtualStorePath_ : chosenPath_, RuntimeError(runtimeError));
}

void OutputPlacement::Discard(PaymentFile& file)
{
    file.Close();
    DeleteUnfinished();
}

bool OutputPlacement::Commit(PaymentFile& file)
{
    const wchar_t* place = openedInVirtualStore_ ? virtualStorePath_ : chosenPath_;
    if (!file || !unfinishedPath_[0] || failure_ != ERROR_SUCCESS) {
        Fail(place, ERROR_WRITE_FAULT);
        Discard(file);
        return false;
    }
    std::FILE* stream = file.Release();
    DWORD flushed = platform_.Flush(stream);
    // A name added to the copy while it was written would be left holding the payments: they go.
    if (flushed == ERROR_SUCCESS && LinkCount(stream) != 1) {
        const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
        SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(handle);
        flushed = ERROR_ALREADY_EXISTS;
    }
    const DWORD closed = platform_.Close(stream);
    if (flushed != ERROR_SUCCESS || closed != ERROR_SUCCESS) {
        Fail(place, flushed != ERROR_SUCCESS ? flushed : closed);
        DeleteUnfinished();
        return false;
    }

    // A file at the place that cannot be replaced (a viewer holds it) ends the run: a file put
    // anywhere else would leave the earlier batch where the user saved and uploads from.
    const DWORD moved = platform_.Move(unfinishedPath_, place);
    if (moved == ERROR_SUCCESS) {
        std::wmemset(unfinishedPath_, 0, MAX_PATH);
        CopyText(writtenPath_, place);
        return true;
    }
    Fail(place, moved);
    DeleteUnfinished();
    return false;
}

void OutputPlacement::ShowWriteFailure() const
{
    if (failure_ == ERROR_SUCCESS)
        return;
    wchar_t reason[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, failure_,
                                        0, reason, 511, nullptr);
    if (length == 0)
        _snwprintf(reason, 511, L"system error %lu", static_cast<unsigned long>(failure_));
    // The system's texts end in a line break.
    for (size_t end = std::wcslen(reason); end > 0 && std::iswspace(reason[end - 1]); --end)
        reason[end - 1] = L'\0';

    wchar_t text[NoticeSize] = {};
    _snwprintf(text, NoticeSize - 1, kFailureText, failedPath_, reason);
    MessageBoxW(GetActiveWindow(), text, kFailureCaption, MB_OK | MB_ICONERROR);
}

bool OutputPlacement::VirtualStoreWrittenThisRun() const
{
    if (openedInVirtualStore_)
        return true;
    // The direct write may itself have been sent to the VirtualStore by the system; a file there
    // from an earlier run is older than this run's open.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(virtualStorePath_, GetFileExInfoStandard, &data))
        return false;
    return Ticks(data.ftLastWriteTime) + kWriteTimeMargin >= Ticks(openedAt_);
}

bool OutputPlacement::NotifyRedirect()
{
    if (elevated_ || !virtualStorePath_[0] || !writtenPath_[0])
        return false;
    PaymentFile existing(_wfopen(virtualStorePath_, L"r+"));
    if (!existing || !VirtualStoreWrittenThisRun())
        return false;

    wchar_t text[NoticeSize] = {};
    _snwprintf(text, NoticeSize - 1, L"%ls: %ls\n\n%ls", kRedirectSaved, virtualStorePath_, kRedirectQuestion);
    if (MessageBoxW(nullptr, text, kRedirectCaption, MB_YESNO) == IDYES) {
        wchar_t folder[MAX_PATH] = {};
        CopyText(folder, virtualStorePath_);
        if (wchar_t* slash = std::wcsrchr(folder, L'\\'))
            *slash = L'\0';
        platform_.OpenFolder(folder);
    }
    return true;
}
