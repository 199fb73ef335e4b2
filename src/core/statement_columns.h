// The columns of a bank statement transaction file, in the order the file gives them, and its
// column-name line: what the module reads, and what the sample host and the benchmark write.
#pragma once

#include <string>

enum StatementColumn : int {
    kTransDateColumn,
    kValueDateColumn,
    kInTodayColumn,
    kAmountColumn,
    kDetailsColumn,
    kTransCodeColumn,
    kRfrColumn,
    kChequeNoColumn,
    kStatementColumnCount,
};

inline constexpr const char* kStatementColumnNames[kStatementColumnCount] = {
    "TransDate", "ValueDate", "InToday", "Amount", "Details", "TransCode", "RFR", "ChequeNo",
};

// The column-name line without its line end: the names separated by commas, each in double quotes
// when quoted. The file may give either form.
inline std::string StatementColumnLine(bool quoted = false)
{
    std::string line;
    for (const char* name : kStatementColumnNames) {
        if (!line.empty())
            line += ',';
        if (quoted)
            line += '"';
        line += name;
        if (quoted)
            line += '"';
    }
    return line;
}
