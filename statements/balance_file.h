// Reader of a bank statement file: a comma-separated text file whose first line names the columns
// and whose following lines hold one transaction each. Troubles go to the debugger output only.
//
// The file is read as bytes: the reader ends lines at line feeds and drops the carriage return of
// CR LF itself, so no byte (a Ctrl-Z, say) ends the file early. It is read through a fixed buffer
// and one line at a time, whatever the file's size.
#pragma once

#include <cstdio>
#include <ios>
#include <memory>
#include <string>
#include <vector>

#include "statements/statement_lines.h"
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

class CBBM2BalanceFile {
public:
    // The open mode is kept for its callers; the file is always read as bytes.
    static constexpr std::ios_base::openmode ReadText = std::ios_base::in;
    enum class Sharing { ReadersAndWriters, ReadersOnly };

    CBBM2BalanceFile() = default;
    // Opens at once; a failure is only reported to the debugger output.
    CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode, Sharing sharing = Sharing::ReadersAndWriters);
    CBBM2BalanceFile(const CBBM2BalanceFile&) = delete;
    CBBM2BalanceFile& operator=(const CBBM2BalanceFile&) = delete;
    ~CBBM2BalanceFile();

    // 0 only when an error was raised while opening; a file that cannot be found still gives 1
    // (with a closed stream and no column-name line), so callers that care ask IsOpen.
    // Sharing::ReadersOnly keeps writers out while the reader is open, so that every pass over the
    // file sees the same bytes.
    int Open(const char* fileName, std::ios_base::openmode mode, Sharing sharing = Sharing::ReadersAndWriters);
    int ReadFieldNamesHeader();
    // 1 when the first line is one of the two column-name lines, ignoring case.
    int HasValidHeader() const;
    // 1 when the next transaction line filled the record; 0 at the end of the file and at a damaged
    // line. Blank lines and empty rows are passed over.
    int ReadBalanceRecord(CBMLWTransactionRecord& record);

    // Reads every line after the column-name line and checks it, then goes back to the first
    // transaction line; ReadBalanceRecord then reads the transactions from the start.
    StatementFileCheck CheckTransactions();

    bool IsOpen() const { return file_ != nullptr; }
    const CString& GetFieldNamesHeader() const { return FieldNamesHeader; }
    // The line that the last read took (the column-name line is line 1).
    long LineNumber() const { return lineNumber_; }
    StatementEncoding Encoding() const { return encoding_; }

private:
    // The next line into line_, without its line end; false at the end of the file. At most limit
    // bytes are kept, and one more when the line is longer, so that its length shows.
    bool NextLine(size_t limit);
    void Rewind();
    void Close();

    CString FieldNamesHeader;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t bufferStart_ = 0, bufferEnd_ = 0;
    bool endOfFile_ = false;
    std::string line_;  // the line being read; its room serves the whole file
    std::string headerLine_;
    long lineNumber_ = 0;
    bool utf8Mark_ = false;
    bool utf16Mark_ = false;
    StatementEncoding encoding_ = StatementEncoding::Ansi;
};
