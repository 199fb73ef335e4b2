#include "settings/payment_directory.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

const char kSearchAll[] = "*.*";
const char kMissingDirectoryMessage[] =
    "The default payment directory (%s) specified does not exist.  Please correct this within configuration for "
    "the specified banking component. The root directory (%s) will be used in the mean time.";

// Copies text into a buffer of size bytes; false, with the buffer left empty, when it does not fit.
bool CopyWhole(char* out, std::size_t size, const char* text)
{
    const std::size_t length = std::strlen(text);
    if (length >= size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, text, length + 1);
    return true;
}

// Appends as much of text as fits, keeping the terminator inside the buffer.
void AppendCut(char* out, std::size_t size, const char* text)
{
    std::size_t used = std::strlen(out);
    while (*text && used + 1 < size)
        out[used++] = *text++;
    out[used] = '\0';
}

bool AppendWhole(char* out, std::size_t size, const char* text)
{
    const std::size_t used = std::strlen(out);
    const std::size_t length = std::strlen(text);
    if (used + length >= size)
        return false;
    std::memcpy(out + used, text, length + 1);
    return true;
}

// Whether a search for every entry of the directory finds one. "A:" is taken on trust so that an
// empty floppy drive is never touched. A directory whose search pattern would not fit a path
// buffer cannot hold the payment file and counts as missing.
bool DirectoryExists(const char* directory)
{
    char pattern[kPathBufferSize];
    if (!CopyWhole(pattern, sizeof pattern, directory) || !AppendBackslash(pattern, sizeof pattern) ||
        !AppendWhole(pattern, sizeof pattern, kSearchAll))
        return false;
    if (lstrcmpiA(pattern, "A:\\*.*") == 0)
        return true;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

}  // namespace

long ShellDocumentsFolder(char* folder)
{
    return SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder);
}

bool AppendBackslash(char* path, std::size_t bufferSize)
{
    const std::size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\')
        return true;
    if (length + 2 > bufferSize)
        return false;
    path[length] = '\\';
    path[length + 1] = '\0';
    return true;
}

CString GetRootDirectory(DocumentsFolderLookup lookup)
{
    char folder[kPathBufferSize] = {};
    if (lookup(folder) < 0 || folder[0] == '\0')
        lstrcpynA(folder, "C:\\", sizeof folder);
    folder[sizeof folder - 1] = '\0';
    return CString(folder);
}

void ResolvePaymentFilePath(const char* fileName, const char* directory, char* output, DocumentsFolderLookup lookup)
{
    if (DirectoryExists(directory) && CopyWhole(output, kPathBufferSize, directory) &&
        AppendBackslash(output, kPathBufferSize) && AppendWhole(output, kPathBufferSize, fileName))
        return;

    const CString root = GetRootDirectory(lookup);
    CString message;
    message.Format(kMissingDirectoryMessage, directory, static_cast<const char*>(root));
    MessageBoxA(GetActiveWindow(), message, "Invalid default path", MB_ICONERROR | MB_OK);

    // The root directory is short; only a file name of some two hundred characters is cut here.
    CopyWhole(output, kPathBufferSize, root);
    AppendBackslash(output, kPathBufferSize);
    AppendCut(output, kPathBufferSize, fileName);
}
