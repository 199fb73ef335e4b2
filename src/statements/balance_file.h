// Reader of a bank statement file: a comma-separated text file whose first line names the columns
// and whose following lines hold one transaction each. Troubles go to the debugger output only.
//
// The file is read as bytes, from any byte source (the file, or memory): the reader ends lines at
// line feeds and drops the carriage return of CR LF itself, so no byte (a Ctrl-Z, say) ends the file
// early. It is read through a fixed buffer and one line at a time, whatever the file's size.
#pragma once

#include <ios>
#include <memory>
#include <string>
#include <vector>

#include "statements/statement_lines.h"
#include "statements/statement_source.h"
#include "statements/transaction_record.h"
#include "support/cstring.h"

// The two accepted column-name lines, quoted form first.
extern const char* const StatementColumnNames[2];

// How the texts of a statement file are encoded.
enum class StatementEncoding {
    Ansi,  // the ANSI code page of the system
    Utf8,  // a UTF-8 byte-order mark, or every byte above 127 part of a UTF-8 sequence
};

// What a check of every transaction line found.
struct StatementFileCheck {
    bool Damaged = false;
    // The file begins with a UTF-16 byte-order mark: its bytes are not read at all.
    bool Utf16 = false;
    // The first damaged line (the column-name line is line 1) and why.
    long Line = 0;
    StatementLineDamage Damage;
    long FurtherDamagedLines = 0;
    long Transactions = 0;
    StatementEncoding Encoding = StatementEncoding::Ansi;
};

// What reading one more transaction line found.
enum class StatementRead {
    Record,   // the record holds the next transaction
    End,      // no more lines; every later read answers the same
    Damaged,  // a line that is no transaction ends the reading; every later read answers End
};

class CBBM2BalanceFile {
public:
    // The open mode is kept for its callers; the file is always read as bytes.
    static constexpr std::ios_base::openmode ReadText = std::ios_base::in;

    CBBM2BalanceFile() = default;
    // Opens at once; a failure is only reported to the debugger output.
    CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode);
    CBBM2BalanceFile(const CBBM2BalanceFile&) = delete;
    CBBM2BalanceFile& operator=(const CBBM2BalanceFile&) = delete;
    ~CBBM2BalanceFile();

    // Opens the file named in the ANSI code page, letting others read and write it meanwhile.
    // 0 only when an error was raised while opening; a file that cannot be opened still gives 1
    // (with nothing open and no column-name line), so callers that care ask IsOpen.
    int Open(const char* fileName, std::ios_base::openmode mode);
    // Reads from the given bytes and takes its first line. Raises what the source raises.
    void Open(std::unique_ptr<StatementByteSource> source);
    int ReadFieldNamesHeader();
    // 1 when the first line is one of the two column-name lines, ignoring case.
    int HasValidHeader() const;
    // 1 when the next transaction line filled the record; 0 at the end of the file and at a damaged
    // line (which ends the reading). Blank lines and empty rows are passed over. A file that cannot
    // be read raises StatementFileError, and memory running out raises too: neither is an end.
    int ReadBalanceRecord(CBMLWTransactionRecord& record);
    // The same answer without the diagnostics. The record changes only on StatementRead::Record.
    StatementRead ReadTransaction(CBMLWTransactionRecord& record);

    // Reads every line after the column-name line and checks it, then goes back to the first
    // transaction line; ReadBalanceRecord then reads the transactions from the start.
    StatementFileCheck CheckTransactions();
    // After the reading that follows CheckTransactions has come to the end: whether it saw the same
    // bytes as the check (their number and checksum). False before that end, and without a check.
    bool SameBytesAsChecked() const;

    bool IsOpen() const { return source_ != nullptr; }
    const CString& GetFieldNamesHeader() const { return FieldNamesHeader; }
    // The line that the last read took (the column-name line is line 1).
    long LineNumber() const { return lineNumber_; }

private:
    // The next line into line_, without its line end; false at the end of the file. At most limit
    // bytes are kept, and one more when the line is longer, so that its length shows.
    bool NextLine(size_t limit);
    void StartReading();
    void Rewind();

    CString FieldNamesHeader;
    std::unique_ptr<StatementByteSource> source_;
    std::vector<char> buffer_;
    size_t bufferStart_ = 0, bufferEnd_ = 0;
    bool endOfFile_ = false;
    bool finished_ = false;       // the reading of transactions came to its end or a damaged line
    bool headerPending_ = false;  // the column-name line is still to be passed over
    std::string line_;            // the line being read; its room serves the whole file
    std::string headerLine_;
    long lineNumber_ = 0;
    bool utf8Mark_ = false;
    bool utf16Mark_ = false;
    StatementFingerprint seen_;  // the bytes read since the file's start
    StatementFingerprint checked_;
    bool hasCheck_ = false;
};
