// The bank's rules for one payment, on the values as the record writers have read and converted
// them (each text with its length: the writers know it, and a text of theirs holds no NUL), and
// the result codes a failed rule leaves on the host payment.
#pragma once

#include <cstddef>
#include <string_view>

#include "support/platform.h"

// Result codes; the module's string table holds their texts at 300 + code.
enum PaymentResultCode : long {
    kPaymentProcessed = 0,
    kBatchRejected = 20,
    kInvalidAmount = 21,
    kInvalidPayerSortCode = 23,
    kInvalidPayerAccountNumber = 24,
    kInvalidPayerAccountName = 25,
    kInvalidPayeeBacsReference = 27,
    kInvalidPayeeSortCode = 28,
    kInvalidPayeeAccountNumber = 29,
    kInvalidPayeeAccountName = 30,
    kInvalidPayeeRollNumber = 31,
    kInvalidDetails = 33,
    kInvalidRtiReference = 36,
};

constexpr long kLastResultCode = 36;

// A letter (either case), a digit, or one of space . - & /.
bool IsAllowedCharacter(char character);
bool IsAllowedText(std::string_view text);

// A comma, carriage return or line feed: any of them would move or split the fields of an unquoted
// comma-separated record. Inline: the record writer asks it of every byte of a field.
inline bool IsFieldBreak(char character)
{
    return character == ',' || character == '\r' || character == '\n';
}
// Whether text holds a field break.
bool HoldsFieldBreak(std::string_view text);

// A digit text (of a sort code) of exactly six digits.
bool IsValidSortCode(std::string_view digitText);

// Length of the text without its trailing spaces (other white space stays).
std::size_t LengthWithoutTrailingSpaces(std::string_view text);

// Lintrove payee account number: not empty once trailing spaces are gone, and 8 digits once zeros
// are put in front up to 8 characters.
bool IsValidLintroveAccountNumber(std::string_view narrowText);

// Lintrove payee name: allowed characters only, and not empty once trailing spaces are gone.
bool IsValidLintrovePayeeName(std::string_view narrowText);

// A finite amount above zero that is still above zero as written with two decimals.
bool IsPayableAmount(double amount, std::string_view amountText);
// The Lintrove amount field holds 11 characters (amounts below 100000000).
bool FitsLintroveAmountField(std::string_view amountText);

// "/" and three characters, none of them "&", a space, a comma, a carriage return or a line feed.
bool IsValidRtiReference(const char* text);

// Ledgerway bank reference: at most 4 host characters, all digits (an empty text passes).
bool IsValidLedgerwayBankReference(const platform::WideChar* text, std::size_t length);
// Ledgerway account numbers: exactly 8 host characters, all digits.
bool IsValidLedgerwayAccountNumber(const platform::WideChar* text, std::size_t length);
