// The statement file opened through Windows; the native test build opens it through POSIX.
#include "statements/statement_source.h"

#include <windows.h>

#include <limits>
#include <memory>

namespace {

StatementFileError ErrorOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return {StatementFileProblem::NotFound, code};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {StatementFileProblem::InUse, code};
    case ERROR_ACCESS_DENIED:
        return {StatementFileProblem::NoAccess, code};
    default:
        return {StatementFileProblem::Other, code};
    }
}

class FileByteSource final : public StatementByteSource {
public:
    explicit FileByteSource(HANDLE file) : file_(file) {}
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;
    ~FileByteSource() override { CloseHandle(file_); }

    size_t Read(char* buffer, size_t size) override
    {
        const DWORD wanted =
            size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max() : static_cast<DWORD>(size);
        DWORD read = 0;
        if (!ReadFile(file_, buffer, wanted, &read, nullptr))
            throw ErrorOf(GetLastError());
        return read;
    }

    void Rewind() override
    {
        LARGE_INTEGER start = {};
        if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN))
            throw ErrorOf(GetLastError());
    }

private:
    HANDLE file_;
};

}  // namespace

std::unique_ptr<StatementByteSource> OpenStatementFile(const wchar_t* fileName)
{
    if (!fileName)
        throw StatementFileError{StatementFileProblem::NotFound, 0};
    // A spreadsheet that shows the file holds it open for writing: it must not keep us out, and we
    // must not keep it out. Changes made meanwhile are caught by comparing the passes.
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw ErrorOf(GetLastError());
    try {
        return std::make_unique<FileByteSource>(file);
    } catch (...) {
        CloseHandle(file);
        throw;
    }
}
