#include "statements/balance_file.h"

#include <cstring>

#include "support/hresult.h"
#include "support/platform.h"

const char* const StatementColumnNames[2] = {
    "\"TransDate\",\"ValueDate\",\"InToday\",\"Amount\",\"Details\",\"TransCode\",\"RFR\",\"ChequeNo\"",
    "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo",
};

namespace {

// Spreadsheet programs put this before the first line when they save CSV as UTF-8.
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char kUtf16LittleEndianMark[] = "\xFF\xFE";
const char kUtf16BigEndianMark[] = "\xFE\xFF";

// The chooser asks about every candidate file, binary ones too: a first line longer than this can
// never be a column-name line, so no more of it is kept.
constexpr size_t kLongestHeaderKept = 1024;

constexpr size_t kReadBufferSize = 64 * 1024;

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool HasHighBytes(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

}  // namespace

CBBM2BalanceFile::CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode, Sharing sharing)
{
    if (!Open(fileName, mode, sharing)) {
        platform::DebugOutput("CBBM2BalanceFile() failed to open: ");
        platform::DebugOutput(fileName ? fileName : "");
    }
}

CBBM2BalanceFile::~CBBM2BalanceFile()
{
    Close();
}

void CBBM2BalanceFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

int CBBM2BalanceFile::Open(const char* fileName, std::ios_base::openmode, Sharing sharing)
{
    try {
        if (!fileName)
            Raise(E_INVALIDARG);
        Close();
        file_ = platform::OpenFileForReading(fileName, sharing == Sharing::ReadersOnly);
        if (file_)
            buffer_.resize(kReadBufferSize);
        bufferStart_ = bufferEnd_ = 0;
        endOfFile_ = false;
        lineNumber_ = 0;
        ReadFieldNamesHeader();
        return 1;
    } catch (...) {
        platform::DebugOutput("Failed to Open the file: ");
        platform::DebugOutput(fileName ? fileName : "");
        return 0;
    }
}

bool CBBM2BalanceFile::NextLine(size_t limit)
{
    line_.clear();
    if (!file_)
        return false;
    bool any = false;
    size_t total = 0;
    for (;;) {
        if (bufferStart_ == bufferEnd_) {
            if (endOfFile_)
                break;
            bufferStart_ = 0;
            bufferEnd_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            if (bufferEnd_ == 0) {
                endOfFile_ = true;
                break;
            }
        }
        any = true;
        const char* start = buffer_.data() + bufferStart_;
        const size_t available = bufferEnd_ - bufferStart_;
        const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available));
        const size_t taken = lineEnd ? static_cast<size_t>(lineEnd - start) : available;
        const size_t room = limit + 1 > line_.size() ? limit + 1 - line_.size() : 0;
        line_.append(start, taken < room ? taken : room);
        total += taken;
        bufferStart_ += taken;
        if (lineEnd) {
            ++bufferStart_;
            break;
        }
    }
    if (!any)
        return false;
    ++lineNumber_;
    // The carriage return of CR LF goes; it is known only when the whole line was kept.
    if (total == line_.size() && !line_.empty() && line_.back() == '\r')
        line_.pop_back();
    return true;
}

void CBBM2BalanceFile::Rewind()
{
    if (!file_)
        return;
    std::fseek(file_, 0, SEEK_SET);
    std::clearerr(file_);
    bufferStart_ = bufferEnd_ = 0;
    endOfFile_ = false;
    lineNumber_ = 0;
    NextLine(kLongestHeaderKept);
}

int CBBM2BalanceFile::ReadFieldNamesHeader()
{
    platform::DebugOutput("ReadFieldNamesHeader");
    if (file_) {
        NextLine(kLongestHeaderKept);
        utf16Mark_ = StartsWith(line_, kUtf16LittleEndianMark) || StartsWith(line_, kUtf16BigEndianMark);
        utf8Mark_ = StartsWith(line_, kUtf8ByteOrderMark);
        if (utf8Mark_)
            line_.erase(0, sizeof kUtf8ByteOrderMark - 1);
        encoding_ = utf8Mark_ ? StatementEncoding::Utf8 : StatementEncoding::Ansi;
        headerLine_ = line_;
        // A first line that is too long or holds a NUL byte is no column-name line.
        FieldNamesHeader =
            line_.size() > kLongestHeaderKept || line_.find('\0') != std::string::npos ? "" : line_.c_str();
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
        if (!file_) {
            platform::DebugOutput("File Stream is NOT open");
            throw CBMLWTransactionRecord::StreamNotOpen;
        }
        for (;;) {
            if (!NextLine(kLongestStatementLine))
                throw CBMLWTransactionRecord::TooFewFields;
            switch (CheckStatementLine(line_, utf8Mark_, nullptr)) {
            case StatementLineKind::Skipped:
                continue;
            case StatementLineKind::Damaged:
                throw CBMLWTransactionRecord::DamagedLine;
            case StatementLineKind::Transaction:
                FillCheckedTransactionRecord(line_, record);
                return 1;
            }
        }
    } catch (...) {
        platform::DebugOutput("Failed to read the Balance record\n");
        return 0;
    }
}

StatementFileCheck CBBM2BalanceFile::CheckTransactions()
{
    StatementFileCheck check;
    if (utf16Mark_) {
        check.Damaged = check.Utf16 = true;
        check.Line = 1;
        return check;
    }
    if (!HasValidHeader()) {
        check.Damaged = true;
        check.Line = 1;
        check.Damage.Found = ShownStatementText(headerLine_);
        check.Damage.Expected = std::string(StatementColumnNames[1]) + ", each name in double quotes or none";
    }

    bool allUtf8 = true, anyHighBytes = false;
    StatementLineDamage damage;
    while (NextLine(kLongestStatementLine)) {
        if (allUtf8 && HasHighBytes(line_)) {
            anyHighBytes = true;
            allUtf8 = IsUtf8(line_);
        }
        switch (CheckStatementLine(line_, utf8Mark_, check.Damaged ? nullptr : &damage)) {
        case StatementLineKind::Transaction:
            ++check.Transactions;
            break;
        case StatementLineKind::Skipped:
            break;
        case StatementLineKind::Damaged:
            if (check.Damaged) {
                ++check.FurtherDamagedLines;
            } else {
                check.Damaged = true;
                check.Line = lineNumber_;
                check.Damage = damage;
            }
            break;
        }
    }
    encoding_ = utf8Mark_ || (allUtf8 && anyHighBytes) ? StatementEncoding::Utf8 : StatementEncoding::Ansi;
    check.Encoding = encoding_;
    Rewind();
    return check;
}
