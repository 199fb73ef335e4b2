// The rules of a statement file's transaction lines: how a line is cut into fields, which lines are
// transactions, which are skipped (blank lines, empty rows) and which are damaged, and why. A
// damaged line makes the whole file unfit for import, so the rules are strict where a lenient
// reading would invent or shift values: an amount or a date is read exactly or not at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/statement_columns.h"

// One field of a line, its quotes included: a view into the line, never a copy.
struct StatementField {
    const char* Text = "";
    size_t Length = 0;

    std::string_view View() const { return std::string_view(Text, Length); }
};

// Cuts the field that starts at text and runs at most to end (the delimiter outside double quotes
// ends it) and sets rest to where the following field begins, or to null after the last field;
// null text gives an empty field.
StatementField CutStatementField(const char* text, const char* end, const char** rest, char delimiter = ',');

// One pair of enclosing double quotes removed; quotes inside stay.
StatementField WithoutQuotes(StatementField field);

enum class StatementLineKind { Transaction, Skipped, Damaged };

// Why a line is damaged, in the words the user is shown.
struct StatementLineDamage {
    // The column at fault ("Amount"), or empty when the line as a whole is.
    std::string Column;
    // The text found there, as the file holds it (bytes in the file's encoding).
    std::string Found;
    // What was expected there.
    std::string Expected;
};

// Lines longer than this are damaged: no statement line comes near it, and a file that is not a
// statement (a binary file chosen by name) is not held in memory line by line.
constexpr size_t kLongestStatementLine = 1 << 20;

// One line as read once: what it is and, for a transaction, its fields (views into the line, so
// valid while the line is) and the two values a transaction must have.
struct StatementLine {
    StatementLineKind Kind = StatementLineKind::Skipped;
    StatementField Fields[kStatementColumnCount];
    double TransDate = 0;
    double Amount = 0;
};

// Cuts and reads one line (its line end removed), each field once. requireUtf8: the file declared
// itself UTF-8 (a byte-order mark), so bytes that are not UTF-8 damage the line. damage may be null.
StatementLine ReadStatementLine(std::string_view line, bool requireUtf8, StatementLineDamage* damage);

// Text of a line as the user is shown it: cut to 80 bytes (never inside a UTF-8 sequence) with
// "..." after it, control characters written as <NUL> or <0x1A>.
std::string ShownStatementText(std::string_view text);

// A transaction date: year-month-day (2019-03-31, 2019-3-1) or day/month/year the UK way
// (31/03/2019, 1/3/2019), a four-digit year, blanks around it and one pair of quotes allowed.
// False, leaving date alone, for anything else or a day the calendar does not have.
bool ReadStatementDate(std::string_view text, double* date);

// A plain sum of money: blanks around it and one pair of enclosing quotes allowed, an optional
// sign, at most twelve digits before the decimal point and two after it. False, leaving amount
// alone, for anything else (currency signs, letters, DR/CR, thousands separators, exponents).
bool ReadStatementAmount(std::string_view text, double* amount);

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF);
// firstBad, when given, gets the offset of the first byte that is not.
bool IsUtf8(std::string_view text, size_t* firstBad = nullptr);

#ifdef BRENMARK_COUNT_STATEMENT_READS
// The counting build of the native tests: how often a date and an amount were read and a field cut.
struct StatementReadCounts {
    long Dates = 0;
    long Amounts = 0;
    long Fields = 0;
};
StatementReadCounts& CountedStatementReads();
#endif
