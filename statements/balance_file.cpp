#include "statements/balance_file.h"

#include <limits>
#include <string>

#include "support/hresult.h"
#include "support/platform.h"

const char* const StatementColumnNames[2] = {
    "\"TransDate\",\"ValueDate\",\"InToday\",\"Amount\",\"Details\",\"TransCode\",\"RFR\",\"ChequeNo\"",
    "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo",
};

namespace {

// Spreadsheet programs put this before the first line when they save CSV as UTF-8.
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// The chooser asks about every candidate file, binary ones too: a first line longer than this can
// never be a column-name line, so no more of it is kept.
constexpr std::string::size_type kLongestHeaderKept = 1024;

}  // namespace

CBBM2BalanceFile::CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode)
{
    if (!Open(fileName, mode)) {
        platform::DebugOutput("CBBM2BalanceFile() failed to open: ");
        platform::DebugOutput(fileName ? fileName : "");
    }
}

int CBBM2BalanceFile::Open(const char* fileName, std::ios_base::openmode mode)
{
    try {
        if (!fileName)
            Raise(E_INVALIDARG);
        // The library's file streams share the file for reading and writing with other processes.
        stream_.open(fileName, mode);
        ReadFieldNamesHeader();
        return 1;
    } catch (...) {
        platform::DebugOutput("Failed to Open the file: ");
        platform::DebugOutput(fileName ? fileName : "");
        return 0;
    }
}

int CBBM2BalanceFile::ReadFieldNamesHeader()
{
    platform::DebugOutput("ReadFieldNamesHeader");
    if (stream_.is_open()) {
        std::string line;
        char c = 0;
        while (line.size() < kLongestHeaderKept && stream_.get(c) && c != '\n')
            line += c;
        if (line.size() == kLongestHeaderKept)
            stream_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, sizeof kUtf8ByteOrderMark - 1, kUtf8ByteOrderMark) == 0)
            line.erase(0, sizeof kUtf8ByteOrderMark - 1);
        FieldNamesHeader = line.c_str();
    }
    return 0;
}

int CBBM2BalanceFile::HasValidHeader() const
{
    if (FieldNamesHeader.IsEmpty())
        return 0;
    for (const char* names : StatementColumnNames)
        if (FieldNamesHeader.CompareNoCase(names) == 0)
            return 1;
    return 0;
}

int CBBM2BalanceFile::ReadBalanceRecord(CBMLWTransactionRecord& record)
{
    try {
        if (!stream_.is_open()) {
            platform::DebugOutput("File Stream is NOT open");
            throw CBMLWTransactionRecord::StreamNotOpen;
        }
        ReadTransactionRecord(stream_, line_, record);
        return 1;
    } catch (...) {
        platform::DebugOutput("Failed to read the Balance record\n");
        return 0;
    }
}
