// The statement file opened through POSIX, for the native test build; the DLL opens it through
// Windows (src/statements/statement_source_win32.cpp).
#include "statements/statement_source.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "support/platform.h"

namespace {

StatementFileError ErrorOf(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return {StatementFileProblem::NotFound, static_cast<unsigned long>(code)};
    case EACCES:
    case EPERM:
        return {StatementFileProblem::NoAccess, static_cast<unsigned long>(code)};
    default:
        return {StatementFileProblem::Other, static_cast<unsigned long>(code)};
    }
}

// POSIX names files in UTF-8; the module's wide texts are UTF-16.
std::string Utf8Name(const wchar_t* name)
{
    const int size = platform::WideToUtf8(name, -1, nullptr, 0);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    if (size <= 0 || platform::WideToUtf8(name, -1, &out[0], size) != size)
        throw StatementFileError{StatementFileProblem::NotFound, 0};
    out.resize(static_cast<size_t>(size - 1));  // the terminator
    return out;
}

class FileByteSource final : public StatementByteSource {
public:
    explicit FileByteSource(int file) : file_(file) {}
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;
    ~FileByteSource() override { close(file_); }

    size_t Read(char* buffer, size_t size) override
    {
        for (;;) {
            const ssize_t read = ::read(file_, buffer, size);
            if (read >= 0)
                return static_cast<size_t>(read);
            if (errno != EINTR)
                throw ErrorOf(errno);
        }
    }

    void Rewind() override
    {
        if (lseek(file_, 0, SEEK_SET) != 0)
            throw ErrorOf(errno);
    }

private:
    int file_;
};

}  // namespace

std::unique_ptr<StatementByteSource> OpenStatementFile(const wchar_t* fileName)
{
    if (!fileName)
        throw StatementFileError{StatementFileProblem::NotFound, 0};
    const int file = open(Utf8Name(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        throw ErrorOf(errno);
    try {
        return std::make_unique<FileByteSource>(file);
    } catch (...) {
        close(file);
        throw;
    }
}
