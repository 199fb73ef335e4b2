#include "payments/output_file.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cctype>
#include <cstring>

#include "core/reg_key.h"
#include "support/platform.h"

namespace {

const char kFilterForExtension[] = "Payment Files (*.%s)|*.%s|All Files (*.*)|*.*||";
const char kFilterAllFiles[] = "All Files (*.*)|*.*||";
const char kVirtualStore[] = "virtualstore";
const char kRedirectCaption[] = "Windows Redirect";
const char kRedirectSaved[] = "Due to Windows Redirect your file was saved to";
const char kRedirectQuestion[] = "Would you like to open the directory?";

// A file in the VirtualStore counts as this run's when it was written after the run opened its
// payment file; the margin covers file systems whose times are coarser than the clock (FAT keeps
// two seconds) and a kernel clock that lags the system time by a tick.
constexpr ULONGLONG kWriteTimeMargin = 2ULL * 10000000ULL;  // 2 s in 100 ns units

template <size_t N>
void CopyText(char (&to)[N], const char* from)
{
    std::memset(to, 0, N);
    if (from)
        std::memcpy(to, from, strnlen(from, N - 1));
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Systems before version 4.90 know only the shorter save dialog description.
bool KnowsLongDialogDescription()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return false;
    return version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion >= 90);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PlacementPlatform

bool PlacementPlatform::IsElevated()
{
    // Only an elevated process may open the local service account's hive for every access.
    RegKey key;
    return RegOpenKeyExA(HKEY_USERS, "S-1-5-19", 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS;
}

bool PlacementPlatform::LocalAppDataFolder(char (&folder)[MAX_PATH])
{
    return SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder));
}

void PlacementPlatform::OpenFolder(const char* folder)
{
    // A failing shell shows nothing; the file is where the notice said.
    ShellExecuteA(nullptr, "open", folder, nullptr, nullptr, SW_SHOWDEFAULT);
}

PlacementPlatform& PlacementPlatform::System()
{
    static PlacementPlatform system;
    return system;
}

namespace {
PlacementPlatform* currentPlatform = nullptr;
}  // namespace

PlacementPlatform& PlacementPlatform::Current()
{
    return currentPlatform ? *currentPlatform : System();
}

PlacementPlatform* PlacementPlatform::Replace(PlacementPlatform* platform)
{
    PlacementPlatform* previous = currentPlatform;
    currentPlatform = platform;
    return previous;
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

void OutputPlacement::BuildFilter(const char* extension)
{
    // The last byte stays zero whatever is formatted, so the list always ends in two zero bytes.
    std::memset(filter_, 0, sizeof filter_);
    const int written = extension && *extension
                            ? std::snprintf(filter_, sizeof filter_ - 1, kFilterForExtension, extension, extension)
                            : -1;
    if (written < 0 || static_cast<size_t>(written) >= sizeof filter_ - 1) {
        std::memset(filter_, 0, sizeof filter_);
        std::memcpy(filter_, kFilterAllFiles, sizeof kFilterAllFiles);
    }
    for (char& c : filter_) {
        if (c == '|')
            c = '\0';
    }
}

bool OutputPlacement::ShowSaveDialog(const char* extension, const char* initialPath)
{
    if (!filter_[0])
        BuildFilter(extension);
    char file[MAX_PATH] = {};
    char title[256] = {};
    CopyText(file, initialPath);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = KnowsLongDialogDescription() ? sizeof dialog : OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filter_;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = sizeof title;
    dialog.lpstrDefExt = extension && *extension ? extension : nullptr;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;

    std::memset(chosenPath_, 0, sizeof chosenPath_);
    if (!GetSaveFileNameA(&dialog))
        return false;
    CopyText(chosenPath_, file);
    return true;
}

bool OutputPlacement::Choose(const char* path)
{
    if (!path || std::strlen(path) >= sizeof chosenPath_)
        return false;
    CopyText(chosenPath_, path);
    return true;
}

void OutputPlacement::BuildVirtualStorePath()
{
    std::memset(virtualStorePath_, 0, sizeof virtualStorePath_);
    // Only a path on a drive has a place in the VirtualStore: the drive letter and colon are dropped.
    const char* path = chosenPath_;
    if (!std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return;
    char local[MAX_PATH] = {};
    if (!platform_.LocalAppDataFolder(local))
        return;
    local[MAX_PATH - 1] = '\0';
    if (!local[0])
        return;
    char built[MAX_PATH] = {};
    const int length = std::snprintf(built, sizeof built, "%s\\%s%s", local, kVirtualStore, path + 2);
    if (length < 0 || static_cast<size_t>(length) >= sizeof built)
        return;
    std::memcpy(virtualStorePath_, built, sizeof built);
}

PaymentFile OutputPlacement::Open()
{
    std::memset(writtenPath_, 0, sizeof writtenPath_);
    openedInVirtualStore_ = false;
    elevated_ = platform_.IsElevated();
    BuildVirtualStorePath();
    GetSystemTimeAsFileTime(&openedAt_);
    if (!chosenPath_[0])
        return PaymentFile();

    if (FILE* file = std::fopen(chosenPath_, "w+")) {
        CopyText(writtenPath_, chosenPath_);
        return PaymentFile(file);
    }
    if (elevated_ || !virtualStorePath_[0])
        return PaymentFile();
    if (FILE* file = std::fopen(virtualStorePath_, "w+")) {
        CopyText(writtenPath_, virtualStorePath_);
        openedInVirtualStore_ = true;
        return PaymentFile(file);
    }
    return PaymentFile();
}

bool OutputPlacement::VirtualStoreWrittenThisRun() const
{
    if (openedInVirtualStore_)
        return true;
    // The direct open may itself have been sent to the VirtualStore by the system; a file there
    // from an earlier run is older than this run's open.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(virtualStorePath_, GetFileExInfoStandard, &data))
        return false;
    return Ticks(data.ftLastWriteTime) + kWriteTimeMargin >= Ticks(openedAt_);
}

void OutputPlacement::DiscardWrittenFile()
{
    if (writtenPath_[0])
        DeleteFileA(writtenPath_);
    std::memset(writtenPath_, 0, sizeof writtenPath_);
    openedInVirtualStore_ = false;
}

bool OutputPlacement::NotifyRedirect()
{
    if (elevated_ || !virtualStorePath_[0] || !writtenPath_[0])
        return false;
    PaymentFile existing(std::fopen(virtualStorePath_, "r+"));
    if (!existing || !VirtualStoreWrittenThisRun())
        return false;

    char text[NoticeSize] = {};
    std::snprintf(text, sizeof text, "%s: %s\n\n%s", kRedirectSaved, virtualStorePath_, kRedirectQuestion);
    if (MessageBoxA(nullptr, text, kRedirectCaption, MB_YESNO) == IDYES) {
        char folder[MAX_PATH] = {};
        CopyText(folder, virtualStorePath_);
        // The last backslash as a character of the code page, never a trail byte.
        if (const char* slash = platform::MbFindLastChar(folder, '\\'))
            folder[slash - folder] = '\0';
        platform_.OpenFolder(folder);
    }
    return true;
}
