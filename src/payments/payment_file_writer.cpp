#include "payments/payment_file_writer.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "support/copy_bytes.h"
#include "support/hresult.h"

PaymentFileWriter::PaymentFileWriter(std::FILE* file, WrittenBytesObserver* observer) : file_(file), observer_(observer)
{
    if (!file_)
        Raise(E_INVALIDARG);
    block_.reset(new (std::nothrow) char[kBlockSize]);
}

void PaymentFileWriter::Write(const char* bytes, std::size_t count)
{
    // As a text-mode file would: a line feed inside a text is written as CR LF too, so the bytes
    // are the same on every platform.
    while (count > 0 && error_ == 0) {
        const void* found = std::memchr(bytes, '\n', count);
        const std::size_t piece = found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes) : count;
        Put(bytes, piece);
        if (!found)
            return;
        Put("\r\n", 2);
        bytes += piece + 1;
        count -= piece + 1;
    }
}

void PaymentFileWriter::Put(const char* bytes, std::size_t count)
{
    if (error_ != 0 || count == 0)
        return;
    if (!block_) {
        WriteThrough(bytes, count);
        return;
    }
    while (count > 0 && error_ == 0) {
        const std::size_t piece = count < kBlockSize - blockUsed_ ? count : kBlockSize - blockUsed_;
        CopyBytes(block_.get() + blockUsed_, bytes, piece);
        blockUsed_ += piece;
        bytes += piece;
        count -= piece;
        if (blockUsed_ == kBlockSize)
            Drain();
    }
}

void PaymentFileWriter::Drain()
{
    WriteThrough(block_.get(), blockUsed_);
    blockUsed_ = 0;
}

void PaymentFileWriter::WriteThrough(const char* bytes, std::size_t count)
{
    if (error_ != 0 || count == 0)
        return;
    errno = 0;
    if (std::fwrite(bytes, 1, count, file_) != count) {
        // Some runtimes leave errno unset on a short write.
        error_ = errno != 0 ? errno : EIO;
        return;
    }
    if (observer_)
        observer_->Add(bytes, count);
}

void PaymentFileWriter::EndLine()
{
    Put("\r\n", 2);
}

void PaymentFileWriter::NoteAmount(const char* text, std::size_t length)
{
    long long pence = 0;
    if (!ReadAmountPence(text, length, pence) || __builtin_add_overflow(totals_.TotalPence, pence, &pence)) {
        ++totals_.UnreadAmounts;
        return;
    }
    totals_.TotalPence = pence;
}

void PaymentFileWriter::WriteRecordLine(const char* bytes, std::size_t count, bool passed)
{
    Put(bytes, count);
    EndRecord(passed);
}

void PaymentFileWriter::EndRecord(bool passed)
{
    EndLine();
    ++totals_.Records;
    if (!passed)
        ++totals_.FailedRecords;
}

bool PaymentFileWriter::Finish()
{
    if (block_)
        Drain();
    if (error_ == 0) {
        errno = 0;
        if (std::fflush(file_) != 0)
            error_ = errno != 0 ? errno : EIO;
    }
    return error_ == 0;
}

bool ReadAmountPence(const char* text, std::size_t length, long long& pence)
{
    std::size_t at = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative)
        ++at;
    long long value = 0;
    std::size_t digits = 0;
    for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        if (__builtin_mul_overflow(value, 10LL, &value) || __builtin_add_overflow(value, text[at] - '0', &value))
            return false;
    }
    std::size_t decimals = 0;
    long long fraction = 0;
    if (at < length && text[at] == '.') {
        for (++at; at < length && text[at] >= '0' && text[at] <= '9' && decimals < 2; ++at, ++decimals)
            fraction = fraction * 10 + (text[at] - '0');
    }
    if (at != length || digits + decimals == 0)
        return false;
    for (; decimals < 2; ++decimals)
        fraction *= 10;
    if (__builtin_mul_overflow(value, 100LL, &value) || __builtin_add_overflow(value, fraction, &value))
        return false;
    pence = negative ? -value : value;
    return true;
}
