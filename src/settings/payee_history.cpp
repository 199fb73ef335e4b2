#include "settings/payee_history.h"

#include <algorithm>
#include <cstdlib>
#include <climits>
#include <cstdint>
#include <functional>

#include "support/utf8.h"

namespace {

constexpr int kFieldCount = 7;

// A field of a line: what would end the field or the line becomes a space.
void AppendField(std::string& line, std::string_view field)
{
    const std::size_t start = line.size();
    line.append(field.data(), field.size());
    for (std::size_t at = start; at < line.size(); ++at) {
        if (line[at] == '\t' || line[at] == '\r' || line[at] == '\n')
            line[at] = ' ';
    }
}

// The fields of a line; false unless there are exactly seven.
bool SplitLine(std::string_view line, std::string_view (&fields)[kFieldCount])
{
    int count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        if (count == kFieldCount)
            return false;
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    return count == kFieldCount;
}

bool IsDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9'))
            return false;
    }
    return true;
}

int CompareKeys(std::string_view account, std::string_view payee, std::string_view otherAccount,
                std::string_view otherPayee)
{
    if (const int byAccount = account.compare(otherAccount))
        return byAccount;
    return payee.compare(otherPayee);
}

}  // namespace

const char PayeeHistory::kFirstLine[] = "Payee history 1";

std::string PayeeKey(std::string_view utf8Name)
{
    std::string key;
    PayeeKeyInto(utf8Name, key);
    return key;
}

void PayeeKeyInto(std::string_view utf8Name, std::string& key)
{
    key.clear();
    key.reserve(utf8Name.size());
    for (std::size_t i = 0; i < utf8Name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8Name[i]);
        if (c >= 'a' && c <= 'z') {
            key += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            key += static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < utf8Name.size()) {
            // Latin letters with accents (U+00C0 to U+00FE but the signs): small ones in capitals.
            const unsigned char next = static_cast<unsigned char>(utf8Name[i + 1]);
            const std::uint32_t code = 0xC0 + (next & 0x3F);
            ++i;
            if (code == 0xD7 || code == 0xF7)
                continue;
            AppendUtf8(key, code >= 0xE0 && code != 0xFF ? code - 0x20 : code);
        } else if (c >= 0x80) {
            // Other scripts are kept as they are: they are never punctuation of the Latin sort.
            key += static_cast<char>(c);
        }
    }
}

std::string NormalAccountNumber(std::string_view text)
{
    std::string number;
    NormalAccountNumberInto(text, number);
    return number;
}

void NormalAccountNumberInto(std::string_view text, std::string& number)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const bool digits =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    number.clear();
    if (digits && text.size() < 8)
        number.assign(8 - text.size(), '0');
    number.append(text.data(), text.size());
}

std::string PayeeLine(const PayeeEntry& entry)
{
    std::string line;
    AppendPayeeLine(line, entry.Account, entry.Payee, entry.Name, entry.Details, entry.Date);
    return line;
}

void AppendPayeeLine(std::string& line, std::string_view account, std::string_view payee, std::string_view name,
                     const PayeeDetails& details, std::string_view date)
{
    line.reserve(line.size() + account.size() + payee.size() + name.size() + 40);
    const std::string_view fields[kFieldCount] = {
        account, payee, name, details.SortCode, details.AccountNumber, details.RollNumber, date};
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0)
            line += '\t';
        AppendField(line, fields[i]);
    }
}

PayeeLines::PayeeLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        Add(line);
}

std::string& PayeeLines::Own()
{
    if (text_.use_count() > 1)
        text_ = std::make_shared<std::string>(*text_);
    return *text_;
}

void PayeeLines::Reserve(std::size_t lines, std::size_t bytes)
{
    spans_.reserve(lines);
    Own().reserve(bytes);
}

void PayeeLines::Add(std::string_view line, std::uint32_t knownAt)
{
    std::string& text = Own();
    spans_.push_back({text.size(), line.size(), knownAt});
    text.append(line.data(), line.size());
}

void PayeeLines::Replace(std::size_t at, std::string_view line)
{
    // A line of the same length is written over; another is added at the end of the text.
    std::string& text = Own();
    if (line.size() == spans_[at].Length) {
        text.replace(spans_[at].Offset, line.size(), line.data(), line.size());
        return;
    }
    unused_ += spans_[at].Length;
    spans_[at].Offset = text.size();
    spans_[at].Length = line.size();
    text.append(line.data(), line.size());
    if (unused_ > 64 * 1024 && unused_ * 2 > text.size())
        Compact();
}

void PayeeLines::Compact()
{
    auto kept = std::make_shared<std::string>();
    kept->reserve(text_->size() - unused_);
    for (Span& span : spans_) {
        const std::size_t offset = kept->size();
        kept->append(*text_, span.Offset, span.Length);
        span.Offset = offset;
    }
    text_ = std::move(kept);
    unused_ = 0;
}

bool PayeeHistory::RowOf(std::size_t offset, std::string_view line, Row* row)
{
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos || static_cast<std::uint64_t>(offset) + line.size() >= kRemembered)
        return false;
    row->Offset = static_cast<std::uint32_t>(offset);
    row->Length = static_cast<std::uint32_t>(line.size());
    row->AccountLength = static_cast<std::uint32_t>(first);
    row->PayeeLength = static_cast<std::uint32_t>(second - first - 1);
    return true;
}

bool PayeeHistory::AddRow(std::string_view line, Row* row)
{
    if (!RowOf(text_.size(), line, row))
        return false;
    text_.append(line.data(), line.size());
    return true;
}

void PayeeHistory::KeepRememberedInText()
{
    if (!remembered_)
        return;
    std::size_t kept = 0;
    for (const Row& row : rows_) {
        Row moved = row;
        if (row.Offset & kRemembered) {
            // A line the text cannot take (past its offsets) is let go, as AddRow lets it go.
            const std::string_view line = Line(row);
            if (!RowOf(text_.size(), line, &moved))
                continue;
            text_.append(line.data(), line.size());
        }
        rows_[kept++] = moved;
    }
    rows_.resize(kept);
    remembered_.reset();
}

bool PayeeHistory::Less(const Row& left, const Row& right) const
{
    return CompareKeys(AccountOf(left), PayeeOf(left), AccountOf(right), PayeeOf(right)) < 0;
}

bool PayeeHistory::Parse(std::string&& whole, std::string* problem)
{
    text_ = std::move(whole);
    remembered_.reset();
    rows_.clear();
    std::size_t lineNumber = 0;
    std::size_t expected = 0;
    bool ended = false;
    auto fail = [&](const char* what) {
        text_.clear();
        text_.shrink_to_fit();
        rows_.clear();
        rows_.shrink_to_fit();
        if (problem)
            *problem = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    const std::string_view text = text_;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t offset = start;
        start = end + 1;
        ++lineNumber;
        if (ended)
            return fail("text after the last line");
        if (lineNumber == 1) {
            if (line != kFirstLine)
                return fail("not a payee history");
            continue;
        }
        if (line.compare(0, 4, "End ") == 0) {
            const std::string count(line.substr(4));
            if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos)
                return fail("a damaged last line");
            expected = static_cast<std::size_t>(std::strtoull(count.c_str(), nullptr, 10));
            ended = true;
            continue;
        }
        std::string_view fields[kFieldCount];
        Row row{};
        if (!SplitLine(line, fields) || fields[0].empty() || fields[1].empty() || !IsDate(fields[6]) ||
            !RowOf(offset, line, &row))
            return fail("a damaged payee line");
        if (!rows_.empty() && !Less(rows_.back(), row))
            return fail("payees out of order");
        rows_.push_back(row);
    }
    if (lineNumber == 0)
        return fail("empty");
    if (!ended)
        return fail("cut short");
    if (expected != rows_.size())
        return fail("the number of payees does not match the last line");
    return true;
}

void PayeeHistory::Write(const std::function<bool(const std::string&)>& write) const
{
    std::string piece = std::string(kFirstLine) + "\r\n";
    for (const Row& row : rows_) {
        piece += Line(row);
        piece += "\r\n";
        if (piece.size() >= 60000) {
            if (!write(piece))
                return;
            piece.clear();
        }
    }
    piece += "End " + std::to_string(rows_.size()) + "\r\n";
    write(piece);
}

std::string PayeeHistory::Text() const
{
    std::string text;
    Write([&](const std::string& piece) {
        text += piece;
        return true;
    });
    return text;
}

std::size_t PayeeHistory::LowerBound(std::string_view account, std::string_view payee) const
{
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), 0, [&](const Row& row, int) {
        return CompareKeys(AccountOf(row), PayeeOf(row), account, payee) < 0;
    });
    return static_cast<std::size_t>(at - rows_.begin());
}

std::size_t PayeeHistory::First(std::string_view account) const
{
    return LowerBound(account, {});
}

PayeeView PayeeHistory::ViewAt(std::size_t at) const
{
    std::string_view fields[kFieldCount];
    PayeeView view;
    if (!SplitLine(Line(rows_[at]), fields))
        return view;
    view.Account = fields[0];
    view.Payee = fields[1];
    view.Name = fields[2];
    view.SortCode = fields[3];
    view.AccountNumber = fields[4];
    view.RollNumber = fields[5];
    view.Date = fields[6];
    return view;
}

PayeeEntry PayeeHistory::EntryAt(std::size_t at) const
{
    const PayeeView view = ViewAt(at);
    PayeeEntry entry;
    entry.Account = view.Account;
    entry.Payee = view.Payee;
    entry.Name = view.Name;
    entry.Details.SortCode = view.SortCode;
    entry.Details.AccountNumber = view.AccountNumber;
    entry.Details.RollNumber = view.RollNumber;
    entry.Date = view.Date;
    return entry;
}

std::string_view PayeeHistory::AccountAt(std::size_t at, std::string_view* payee) const
{
    *payee = PayeeOf(rows_[at]);
    return AccountOf(rows_[at]);
}

bool PayeeHistory::KnowsAccount(std::string_view account) const
{
    const std::size_t at = LowerBound(account, {});
    return at < rows_.size() && AccountOf(rows_[at]) == account;
}

bool PayeeHistory::Find(std::string_view account, std::string_view payee, PayeeEntry* entry) const
{
    const std::size_t at = LowerBound(account, payee);
    if (at >= rows_.size() || AccountOf(rows_[at]) != account || PayeeOf(rows_[at]) != payee)
        return false;
    if (entry)
        *entry = EntryAt(at);
    return true;
}

void PayeeHistory::Remember(const PayeeLines& lines, bool placesFromThisHistory)
{
    // The lines' block is shared, not copied a line at a time onto the end of the text.
    KeepRememberedInText();
    const bool whole = lines.Block()->size() < kRemembered;
    if (whole)
        remembered_ = lines.Block();
    std::vector<Row> added;
    for (std::size_t at = 0; at < lines.Size(); ++at) {
        Row row{};
        if (whole) {
            if (!RowOf(lines.OffsetAt(at), lines.At(at), &row))
                continue;
            row.Offset |= kRemembered;
        } else if (!AddRow(lines.At(at), &row)) {
            continue;
        }
        // A payee already known takes its place without a search.
        const std::uint32_t known = lines.KnownAt(at);
        if (known != 0 && known <= rows_.size() && (placesFromThisHistory || SameKey(rows_[known - 1], row)))
            rows_[known - 1] = row;
        else
            added.push_back(row);
    }
    auto less = [this](const Row& left, const Row& right) { return Less(left, right); };
    // The last of a payee's lines wins.
    std::stable_sort(added.begin(), added.end(), less);
    std::size_t kept = 0;
    for (std::size_t at = 0; at < added.size(); ++at) {
        if (at + 1 < added.size() && !less(added[at], added[at + 1]))
            continue;
        added[kept++] = added[at];
    }
    added.resize(kept);
    if (added.empty())
        return;
    // One pass over both, in order: a payee in both takes the new line.
    std::vector<Row> merged;
    merged.reserve(rows_.size() + added.size());
    std::size_t old = 0;
    for (const Row& row : added) {
        while (old < rows_.size() && less(rows_[old], row))
            merged.push_back(rows_[old++]);
        if (old < rows_.size() && !less(row, rows_[old]))
            ++old;
        merged.push_back(row);
    }
    merged.insert(merged.end(), rows_.begin() + static_cast<std::ptrdiff_t>(old), rows_.end());
    rows_ = std::move(merged);
}
