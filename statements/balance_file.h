// Reader of a bank statement file: a comma-separated text file whose first line names the columns
// and whose following lines hold one transaction each. Troubles go to the debugger output only.
#pragma once

#include <fstream>
#include <string>

#include "statements/transaction_record.h"
#include "support/cstring.h"

// The two accepted column-name lines, quoted form first.
extern const char* const StatementColumnNames[2];

class CBBM2BalanceFile {
public:
    static constexpr std::ios_base::openmode ReadText = std::ios_base::in;

    CBBM2BalanceFile() = default;
    // Opens at once; a failure is only reported to the debugger output.
    CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode);
    CBBM2BalanceFile(const CBBM2BalanceFile&) = delete;
    CBBM2BalanceFile& operator=(const CBBM2BalanceFile&) = delete;

    // 0 only when an error was raised while opening; a file that cannot be found still gives 1
    // (with a closed stream and no column-name line), so callers that care ask IsOpen.
    int Open(const char* fileName, std::ios_base::openmode mode);
    int ReadFieldNamesHeader();
    // 1 when the first line is one of the two column-name lines, ignoring case.
    int HasValidHeader() const;
    // 1 when the next line filled the record; 0 at the end of the transactions.
    int ReadBalanceRecord(CBMLWTransactionRecord& record);

    bool IsOpen() const { return stream_.is_open(); }
    const CString& GetFieldNamesHeader() const { return FieldNamesHeader; }

private:
    CString FieldNamesHeader;
    std::ifstream stream_;
    std::string line_;  // the line being read; its room serves the whole file
};
