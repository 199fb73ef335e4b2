#include "statements/balance_file.h"

#include <cstring>
#include <utility>

#include "support/hresult.h"
#include "support/platform.h"

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

CBBM2BalanceFile::~CBBM2BalanceFile() = default;

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

void CBBM2BalanceFile::ReadFieldNamesHeader()
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
        fieldNamesHeader_ =
            line_.size() > kLongestHeaderKept || line_.find('\0') != std::string::npos ? "" : line_.c_str();
    }
}

bool CBBM2BalanceFile::HasValidHeader() const
{
    return !fieldNamesHeader_.IsEmpty() && (fieldNamesHeader_.CompareNoCase(StatementColumnLine(true).c_str()) == 0 ||
                                            fieldNamesHeader_.CompareNoCase(StatementColumnLine(false).c_str()) == 0);
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
        const StatementLine read = ReadStatementLine(line_, utf8Mark_, nullptr);
        switch (read.Kind) {
        case StatementLineKind::Skipped:
            continue;
        case StatementLineKind::Damaged:
            finished_ = true;
            return StatementRead::Damaged;
        case StatementLineKind::Transaction:
            FillTransactionRecord(read, record);
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
        check.Damage.Expected = StatementColumnLine() + ", each name in double quotes or none";
    }

    bool allUtf8 = true, anyHighBytes = false;
    StatementLineDamage damage;
    while (NextLine(kLongestStatementLine)) {
        if (allUtf8 && HasHighBytes(line_)) {
            anyHighBytes = true;
            allUtf8 = IsUtf8(line_);
        }
        switch (ReadStatementLine(line_, utf8Mark_, check.Damaged ? nullptr : &damage).Kind) {
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
