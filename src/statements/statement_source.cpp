#include "statements/statement_source.h"

#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "support/platform.h"
#endif

size_t MemoryByteSource::Read(char* buffer, size_t size)
{
    const size_t left = size_ - position_;
    const size_t taken = size < left ? size : left;
    if (taken)
        std::memcpy(buffer, data_ + position_, taken);
    position_ += taken;
    return taken;
}

namespace {

#ifdef _WIN32

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

#else

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

#endif

}  // namespace

std::unique_ptr<StatementByteSource> OpenStatementFile(const wchar_t* fileName)
{
    if (!fileName)
        throw StatementFileError{StatementFileProblem::NotFound, 0};
#ifdef _WIN32
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
#else
    const int file = open(Utf8Name(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        throw ErrorOf(errno);
    try {
        return std::make_unique<FileByteSource>(file);
    } catch (...) {
        close(file);
        throw;
    }
#endif
}

void StatementFingerprint::Mix(std::uint64_t word)
{
    hash_ = (hash_ ^ word) * 0x9E3779B97F4A7C15ull;
    hash_ ^= hash_ >> 29;
}

void StatementFingerprint::Add(const char* data, size_t size)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    size_ += size;
    // Words are made of the bytes at the same offsets whatever the reads were, so the checksum
    // does not depend on how the bytes arrived.
    while (size && pendingBytes_) {
        pending_ |= static_cast<std::uint64_t>(*bytes++) << (8 * pendingBytes_);
        --size;
        if (++pendingBytes_ == 8) {
            Mix(pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }
    for (; size >= 8; size -= 8, bytes += 8) {
        std::uint64_t word = 0;
        for (unsigned i = 0; i < 8; ++i)
            word |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
        Mix(word);
    }
    for (; size; --size)
        pending_ |= static_cast<std::uint64_t>(*bytes++) << (8 * pendingBytes_++);
}

std::uint64_t StatementFingerprint::Checksum() const
{
    std::uint64_t hash = (hash_ ^ pending_ ^ (static_cast<std::uint64_t>(pendingBytes_) << 56)) * 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29) ^ size_;
}
