// The payment file's bytes as they are written, in one place: each line ended with CR LF, the first
// failed write kept (the file is then not to be committed), and what a summary of the file needs:
// the records written, those that failed a check, the total of their amounts as the file shows them
// (in pence, exactly), and every byte handed to an observer (the file's SHA-256, see sha256.h).
//
//     PaymentFileWriter writer(stream, &digest);  // a stream open in binary mode; never closed here
//     WriteLedgerwayHeader(writer);                // lines: Write ... EndLine
//     WriteLintroveRecord(writer, payment);        // records: Write ... NoteAmount ... EndRecord
//     if (!writer.Finish()) ... writer.Error()     // the C runtime's errno of the first failed write
//     writer.Totals().Records, .FailedRecords, .TotalPence, .UnreadAmounts
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// Sees every byte the writer hands to the file, in order.
class WrittenBytesObserver {
public:
    virtual ~WrittenBytesObserver() = default;
    virtual void Add(const void* bytes, std::size_t count) = 0;
};

// What the writer counted.
struct PaymentFileTotals {
    long Records = 0;        // record lines written (a header is no record)
    long FailedRecords = 0;  // of them, those whose payment failed a check
    // The amounts as written, each read back from the file's own text ("1234.50", "-5.00", a
    // Lintrove amount cut to 11 characters as "123456789.9"), summed in pence.
    long long TotalPence = 0;
    // Amounts whose text is no number of pounds with up to two decimals ("nan", "inf") or that
    // would take the total past what it can hold: left out of TotalPence.
    long UnreadAmounts = 0;
};

class PaymentFileWriter {
public:
    // Raises E_INVALIDARG for a null stream.
    explicit PaymentFileWriter(std::FILE* file, WrittenBytesObserver* observer = nullptr);
    PaymentFileWriter(const PaymentFileWriter&) = delete;
    PaymentFileWriter& operator=(const PaymentFileWriter&) = delete;

    // Bytes of the current line; a line feed among them is written as CR LF, as a text-mode file
    // would. Nothing is written after a failed write.
    void Write(const char* bytes, std::size_t count);
    // Ends the current line with CR LF, whatever the platform's own line end.
    void EndLine();
    // Bytes of a record, which hold no line feed (the record writers make every line break in a
    // field a space): written as they are, without a search for one.
    void WriteRecordBytes(const char* bytes, std::size_t count) { Put(bytes, count); }
    // The last of them, then the record's CR LF; counted as EndRecord counts it.
    void WriteRecordLine(const char* bytes, std::size_t count, bool passed);
    // The current record's amount field, as written.
    void NoteAmount(const char* text, std::size_t length);
    // Ends the current record's line and counts the record (failed when a check failed).
    void EndRecord(bool passed);

    // Hands what the writer and the stream buffer to the system; true when every write so far
    // succeeded.
    bool Finish();
    // Whether a write has failed; one still in the writer's block shows at the block's write.
    bool Failed() const { return error_ != 0; }
    // The C runtime's errno of the first failed write; 0 when none failed.
    int Error() const { return error_; }
    const PaymentFileTotals& Totals() const { return totals_; }

private:
    // The bytes go to the stream and the observer a block at a time: a record is some tens of
    // bytes, and each call into the stream takes its lock.
    static constexpr std::size_t kBlockSize = 64 * 1024;
    void Put(const char* bytes, std::size_t count);
    void WriteThrough(const char* bytes, std::size_t count);
    void Drain();

    std::FILE* file_;
    WrittenBytesObserver* observer_;
    // Null when it could not be had: every piece then goes straight through.
    std::unique_ptr<char[]> block_;
    std::size_t blockUsed_ = 0;
    int error_ = 0;
    PaymentFileTotals totals_;
};

// The pence of an amount text as the payment file shows it: an optional "-", digits, and
// optionally "." with up to two digits. False for any other text or one beyond the long long range.
bool ReadAmountPence(const char* text, std::size_t length, long long& pence);
