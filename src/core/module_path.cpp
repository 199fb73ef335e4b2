#include "core/module_path.h"

#include "support/hresult.h"

std::wstring ModuleWidePath(HMODULE module)
{
    // The longest path the system takes, in UTF-16 units, with its terminator.
    constexpr std::size_t kLongestPath = 32768;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            const DWORD error = GetLastError();
            Raise(error ? HRESULT_FROM_WIN32(error) : E_UNEXPECTED);
        }
        // A path cut to the buffer fills it whole.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= kLongestPath)
            Raise(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
        path.resize(path.size() * 2 < kLongestPath ? path.size() * 2 : kLongestPath);
    }
}

std::wstring FolderOfPath(const std::wstring& path)
{
    const std::size_t lastSlash = path.find_last_of(L"\\/");
    return lastSlash == std::wstring::npos ? std::wstring() : path.substr(0, lastSlash + 1);
}
