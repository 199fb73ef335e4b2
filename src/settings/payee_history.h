// The payee history: for each paying account, the bank details last saved in a payment file for
// each payee, and the date. A payee is known by its name in capitals on letters and digits only, so
// "J. Smith & Co" and "J SMITH CO" are one payee. The history is one text file, read whole and
// written whole; this unit holds its contents and its text form, payee_history_file.h its file.
//
// The text form, UTF-8, one line per payee, sorted by paying account then payee:
//     Payee history 1
//     <paying account> TAB <payee> TAB <name> TAB <sort code> TAB <account number> TAB <roll number> TAB <YYYY-MM-DD>
//     ...
//     End <number of payee lines>
// The last line tells a whole file from one cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The name a payee is known by: letters and digits only, in capitals.
std::string PayeeKey(std::string_view utf8Name);
void PayeeKeyInto(std::string_view utf8Name, std::string& key);

// An account number as the bank reads it: trailing and leading spaces gone, and a number of digits
// shorter than eight with zeros in front up to eight.
std::string NormalAccountNumber(std::string_view text);
void NormalAccountNumberInto(std::string_view text, std::string& number);

// Bank details of one payment to one payee.
struct PayeeDetails {
    std::string SortCode;  // digits only
    std::string AccountNumber;
    std::string RollNumber;  // in capitals, spaces at the ends gone

    bool operator==(const PayeeDetails& other) const
    {
        return SortCode == other.SortCode && AccountNumber == other.AccountNumber && RollNumber == other.RollNumber;
    }
    bool operator!=(const PayeeDetails& other) const { return !(*this == other); }
};

// One payee of one paying account as the history holds it.
struct PayeeEntry {
    std::string Account;  // the paying account's key
    std::string Payee;    // PayeeKey of the name
    std::string Name;     // the name as last saved
    PayeeDetails Details;
    std::string Date;  // YYYY-MM-DD
};

// The same fields read in place from the history's text: valid while the history is unchanged.
struct PayeeView {
    std::string_view Account;
    std::string_view Payee;
    std::string_view Name;
    std::string_view SortCode;
    std::string_view AccountNumber;
    std::string_view RollNumber;
    std::string_view Date;

    bool SameDetails(const PayeeDetails& details) const
    {
        return SortCode == details.SortCode && AccountNumber == details.AccountNumber &&
               RollNumber == details.RollNumber;
    }
};

// Lines of the text form, in the order added, held in one block of text: a batch of many payees
// costs no allocation a line. A line may carry where its payee stood in the history it was
// compared with (its index + 1), so that merging it there needs no search.
class PayeeLines {
public:
    PayeeLines() = default;
    PayeeLines(const std::vector<std::string>& lines);

    void Add(std::string_view line, std::uint32_t knownAt = 0);
    // Room for this many lines of this many bytes in all, taken at once rather than grown into.
    void Reserve(std::size_t lines, std::size_t bytes);
    // Replaces line at (its key unchanged). The text of replaced lines is let go once it
    // outweighs the lines kept, so that a batch paying one payee many times stays small.
    void Replace(std::size_t at, std::string_view line);
    std::size_t Size() const { return spans_.size(); }
    std::string_view At(std::size_t at) const { return {text_->data() + spans_[at].Offset, spans_[at].Length}; }
    std::uint32_t KnownAt(std::size_t at) const { return spans_[at].KnownAt; }
    // The block all lines are held in, shared with whoever takes it (a later change to the lines
    // copies it first), and where the line at starts in it.
    std::shared_ptr<const std::string> Block() const { return text_; }
    std::size_t OffsetAt(std::size_t at) const { return spans_[at].Offset; }
    // The text a new line is built in before Add; cleared by the caller.
    std::string& Scratch() { return scratch_; }

private:
    struct Span {
        std::size_t Offset;
        std::size_t Length;
        std::uint32_t KnownAt;
    };
    void Compact();
    // The block, to be changed: copied first while another holds it.
    std::string& Own();

    std::shared_ptr<std::string> text_ = std::make_shared<std::string>();
    std::vector<Span> spans_;
    std::size_t unused_ = 0;  // bytes of text_ no span holds
    std::string scratch_;
};

class PayeeHistory {
public:
    static const char kFirstLine[];
    static constexpr std::size_t npos = ~std::size_t{0};

    // Reads the text form. False, with the line at fault in *problem ("line 12: ..."), when the
    // text is not a whole history; the history is then empty.
    bool Parse(std::string_view text, std::string* problem) { return Parse(std::string(text), problem); }
    // The same, keeping the text itself: the lines are read where they stand.
    bool Parse(std::string&& text, std::string* problem);
    // The text form, with the last line.
    std::string Text() const;
    // The same in pieces of some 60 KB, each handed to write until it returns false.
    void Write(const std::function<bool(const std::string&)>& write) const;

    std::size_t Size() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    // Whether any payee of the paying account is known.
    bool KnowsAccount(std::string_view account) const;
    // The payee of the paying account; false when it is not known.
    bool Find(std::string_view account, std::string_view payee, PayeeEntry* entry) const;
    // Keeps the entries, as PayeeLine gives them (paying account and payee not empty), each
    // replacing the one of the same paying account and payee; of two for one payee the later wins.
    // A line whose KnownAt names an entry of the same payee replaces it there; lines that carry
    // KnownAt hold each payee once.
    // placesFromThisHistory: the lines' KnownAt were found in this very history, unchanged since,
    // so that the payee at each need not be compared again.
    void Remember(const PayeeLines& lines, bool placesFromThisHistory = false);
    void Remember(const std::vector<std::string>& lines) { Remember(PayeeLines(lines)); }

    // The payees of the paying account are those at First(account) up to, not including, the
    // first at which the account differs.
    std::size_t First(std::string_view account) const;
    PayeeEntry EntryAt(std::size_t at) const;
    PayeeView ViewAt(std::size_t at) const;
    // The paying account and payee of the entry at.
    std::string_view AccountAt(std::size_t at, std::string_view* payee) const;
    // The length of the entry's line.
    std::size_t LineLength(std::size_t at) const { return rows_[at].Length; }

private:
    // A payee line (without its line end) in text_, or in remembered_ when kRemembered is set in its
    // offset, with the lengths of its first two fields, so that ordering and finding read no field
    // twice.
    struct Row {
        std::uint32_t Offset;
        std::uint32_t Length;
        std::uint32_t AccountLength;
        std::uint32_t PayeeLength;
    };
    static constexpr std::uint32_t kRemembered = 0x80000000u;
    const char* Start(const Row& row) const
    {
        return (row.Offset & kRemembered) ? remembered_->data() + (row.Offset & ~kRemembered)
                                          : text_.data() + row.Offset;
    }
    std::string_view Line(const Row& row) const { return {Start(row), row.Length}; }
    std::string_view AccountOf(const Row& row) const { return {Start(row), row.AccountLength}; }
    std::string_view PayeeOf(const Row& row) const { return {Start(row) + row.AccountLength + 1, row.PayeeLength}; }
    bool Less(const Row& left, const Row& right) const;
    bool SameKey(const Row& left, const Row& right) const
    {
        return AccountOf(left) == AccountOf(right) && PayeeOf(left) == PayeeOf(right);
    }
    std::size_t LowerBound(std::string_view account, std::string_view payee) const;
    // The row of the line at offset in text_; false when it has fewer than two fields or lies
    // beyond the row's offsets.
    static bool RowOf(std::size_t offset, std::string_view line, Row* row);
    // Appends a line to text_ and gives its row.
    bool AddRow(std::string_view line, Row* row);
    // Moves the lines still in remembered_ to text_.
    void KeepRememberedInText();

    // The lines, in the order of the text form: the text read, the block of the lines last
    // remembered (shared, so that a merge copies no line) and sixteen bytes a payee.
    std::string text_;
    std::shared_ptr<const std::string> remembered_;
    std::vector<Row> rows_;
};

// The text form of an entry's line, its fields cleaned of tabs and line breaks.
std::string PayeeLine(const PayeeEntry& entry);
// The same appended to line, from its parts.
void AppendPayeeLine(std::string& line, std::string_view account, std::string_view payee, std::string_view name,
                     const PayeeDetails& details, std::string_view date);
