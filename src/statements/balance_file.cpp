#include "statements/balance_file.h"

#include <cstring>
#include <utility>

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

CBBM2BalanceFile::CBBM2BalanceFile(const char* fileName, std::ios_base::openmode mode)
{
    if (!Open(fileName, mode)) {
        platform::DebugOutput("CBBM2BalanceFile() failed to open: ");
        platform::DebugOutput(fileName ? fileName : "");
    }
}

CBBM2BalanceFile::~CBBM2BalanceFile() = default;

int CBBM2BalanceFile::Open(const char* fileName, std::ios_base::openmode)
{
    try {
        if (!fileName)
            Raise(E_INVALIDARG);
        source_.reset();
        std::unique_ptr<StatementByteSource> source;
        try {
            const int length = platform::AnsiToWide(fileName, -1, nullptr, 0);
            std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
            if (length <= 0 || platform::AnsiToWide(fileName, -1, &wide[0], length) != length)
                Raise(E_INVALIDARG);
            source = OpenStatementFile(wide.c_str());
        } catch (const StatementFileError&) {
            // Not there, or not readable: the reader stays closed, as the callers expect.
        }
        if (source) {
            Open(std::move(source));
        } else {
            StartReading();
            ReadFieldNamesHeader();
        }
        return 1;
    } catch (...) {
        platform::DebugOutput("Failed to Open the file: ");
        platform::DebugOutput(fileName ? fileName : "");
        return 0;
    }
}

void CBBM2BalanceFile::Open(std::unique_ptr<StatementByteSource> source)
{
    if (!source)
        Raise(E_INVALIDARG);
    buffer_.resize(kReadBufferSize);
    source_ = std::move(source);
    hasCheck_ = false;
    StartReading();
    ReadFieldNamesHeader();
}

void CBBM2BalanceFile::StartReading()
{
    bufferStart_ = bufferEnd_ = 0;
    endOfFile_ = false;
    finished_ = false;
    headerPending_ = false;
    lineNumber_ = 0;
    seen_ = StatementFingerprint();
}

bool CBBM2BalanceFile::NextLine(size_t limit)
{
    line_.clear();
    if (!source_)
        return false;
    bool any = false;
    size_t total = 0;
    for (;;) {
        if (bufferStart_ == bufferEnd_) {
            if (endOfFile_)
                break;
            bufferStart_ = 0;
            bufferEnd_ = source_->Read(buffer_.data(), buffer_.size());
            if (bufferEnd_ > buffer_.size())
                Raise(E_UNEXPECTED);  // a source that claims more than it was given room for
            seen_.Add(buffer_.data(), bufferEnd_);
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
    if (!source_)
        return;
    source_->Rewind();
    StartReading();
    // The column-name line is passed over by the first read, not here: the reading pass takes all
    // of its bytes when it runs, so that a change made since the check shows.
    headerPending_ = true;
}

int CBBM2BalanceFile::ReadFieldNamesHeader()
{
    platform::DebugOutput("ReadFieldNamesHeader");
    if (source_) {
        NextLine(kLongestHeaderKept);
        utf16Mark_ = StartsWith(line_, kUtf16LittleEndianMark) || StartsWith(line_, kUtf16BigEndianMark);
        utf8Mark_ = StartsWith(line_, kUtf8ByteOrderMark);
        if (utf8Mark_)
            line_.erase(0, sizeof kUtf8ByteOrderMark - 1);
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
    if (!source_) {
        platform::DebugOutput("File Stream is NOT open");
        platform::DebugOutput("Failed to read the Balance record\n");
        return 0;
    }
    if (ReadTransaction(record) == StatementRead::Record)
        return 1;
    platform::DebugOutput("Failed to read the Balance record\n");
    return 0;
}

StatementRead CBBM2BalanceFile::ReadTransaction(CBMLWTransactionRecord& record)
{
    if (!source_)
        Raise(E_UNEXPECTED);
    if (headerPending_) {
        headerPending_ = false;
        NextLine(kLongestHeaderKept);
    }
    while (!finished_) {
        if (!NextLine(kLongestStatementLine))
            break;
        switch (CheckStatementLine(line_, utf8Mark_, nullptr)) {
        case StatementLineKind::Skipped:
            continue;
        case StatementLineKind::Damaged:
            finished_ = true;
            return StatementRead::Damaged;
        case StatementLineKind::Transaction:
            if (!FillTransactionRecord(line_, record)) {
                finished_ = true;
                return StatementRead::Damaged;
            }
            return StatementRead::Record;
        }
    }
    finished_ = true;
    return StatementRead::End;
}

bool CBBM2BalanceFile::SameBytesAsChecked() const
{
    return hasCheck_ && source_ && endOfFile_ && seen_ == checked_;
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
    check.Encoding = utf8Mark_ || (allUtf8 && anyHighBytes) ? StatementEncoding::Utf8 : StatementEncoding::Ansi;
    checked_ = seen_;
    hasCheck_ = source_ != nullptr;
    Rewind();
    return check;
}
