// Reader of a bank statement file: a comma-separated text file whose first line names the columns
// and whose following lines hold one transaction each. Troubles go to the debugger output only.
//
// The file is read as bytes, from any byte source (the file, or memory): the reader ends lines at
// line feeds and drops the carriage return of CR LF itself, so no byte (a Ctrl-Z, say) ends the file
// early. It is read through a fixed buffer and one line at a time, whatever the file's size.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "statements/statement_lines.h"
#include "statements/statement_source.h"
#include "statements/transaction_record.h"
#include "support/cstring.h"

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

// The one reader of a statement file over its bytes: the column-name line when it is opened, then a
// check of every transaction line, then the transactions from the start, each line cut and read
// once in each pass.
class CBBM2BalanceFile {
public:
    CBBM2BalanceFile() = default;
    CBBM2BalanceFile(const CBBM2BalanceFile&) = delete;
    CBBM2BalanceFile& operator=(const CBBM2BalanceFile&) = delete;
    ~CBBM2BalanceFile();

    // Reads from the given bytes and takes its first line. Raises what the source raises.
    void Open(std::unique_ptr<StatementByteSource> source);
    // Whether the first line is one of the two column-name lines, ignoring case.
    bool HasValidHeader() const;

    // Reads every line after the column-name line and checks it, then goes back to the first
    // transaction line; ReadTransaction then reads the transactions from the start.
    StatementFileCheck CheckTransactions();
    // The next transaction line into the record, which changes only on StatementRead::Record. Blank
    // lines and empty rows are passed over. A file that cannot be read raises StatementFileError,
    // and memory running out raises too: neither is an end.
    StatementRead ReadTransaction(CBMLWTransactionRecord& record);
    // After the reading that follows CheckTransactions has come to the end: whether it saw the same
    // bytes as the check (their number and checksum). False before that end, and without a check.
    bool SameBytesAsChecked() const;

    // The line that the last read took (the column-name line is line 1).
    long LineNumber() const { return lineNumber_; }

private:
    void ReadFieldNamesHeader();
    // The next line into line_, without its line end; false at the end of the file. At most limit
    // bytes are kept, and one more when the line is longer, so that its length shows.
    bool NextLine(size_t limit);
    void StartReading();
    void Rewind();

    CString fieldNamesHeader_;
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
