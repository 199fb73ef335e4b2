// Where the bytes of a statement file come from: the file on disk, opened so that other programs
// (a spreadsheet that shows it) may go on reading and writing it, or a block of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Why a statement file could not be opened or read, in the terms the user is told.
enum class StatementFileProblem {
    NotFound,  // the file or its folder is not there
    InUse,     // another program holds it and lets nobody read it
    NoAccess,  // the user may not read it
    Other,     // anything else; the system's code says what
};

// Raised when the bytes of an open file cannot be read, or the file cannot be opened.
struct StatementFileError {
    StatementFileProblem Problem = StatementFileProblem::Other;
    unsigned long SystemCode = 0;  // the system's error number (GetLastError, errno)
};

class StatementByteSource {
public:
    virtual ~StatementByteSource() = default;
    // Up to size bytes into buffer; 0 only at the end. Raises StatementFileError when they cannot
    // be read.
    virtual size_t Read(char* buffer, size_t size) = 0;
    // Back to the first byte; raises StatementFileError when that fails.
    virtual void Rewind() = 0;
};

// Bytes that the caller keeps alive while the source is used.
class MemoryByteSource final : public StatementByteSource {
public:
    MemoryByteSource(const void* data, size_t size) : data_(static_cast<const char*>(data)), size_(size) {}
    size_t Read(char* buffer, size_t size) override;
    void Rewind() override { position_ = 0; }

private:
    const char* data_;
    size_t size_;
    size_t position_ = 0;
};

// Opens the named file for reading while others may read and write it. Raises StatementFileError
// when it cannot be opened.
std::unique_ptr<StatementByteSource> OpenStatementFile(const wchar_t* fileName);

// The size of the bytes seen and a checksum of them, the same however they were cut into reads:
// two passes over a file that nobody changed agree, and almost any change makes them differ.
class StatementFingerprint {
public:
    void Add(const char* data, size_t size);
    std::uint64_t Size() const { return size_; }
    std::uint64_t Checksum() const;
    bool operator==(const StatementFingerprint& other) const
    {
        return size_ == other.size_ && Checksum() == other.Checksum();
    }
    bool operator!=(const StatementFingerprint& other) const { return !(*this == other); }

private:
    void Mix(std::uint64_t word);

    std::uint64_t hash_ = 0x243F6A8885A308D3ull;
    std::uint64_t pending_ = 0;  // the bytes of a word not yet complete, the first lowest
    unsigned pendingBytes_ = 0;
    std::uint64_t size_ = 0;
};
