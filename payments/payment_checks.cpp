#include "payments/payment_checks.h"

#include <cmath>
#include <cstring>

#include "payments/payment_format.h"

namespace {

bool IsDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool IsDigitText(const platform::WideChar* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (!text || text[i] < L'0' || text[i] > L'9')
            return false;
    }
    return true;
}

CString WithoutTrailingSpaces(const char* text)
{
    CString trimmed(text);
    trimmed.TrimRight();
    return trimmed;
}

}  // namespace

bool IsAllowedCharacter(char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') || IsDigit(character) ||
           character == ' ' || character == '.' || character == '-' || character == '&' || character == '/';
}

bool IsAllowedText(const char* text)
{
    for (; *text; ++text) {
        if (!IsAllowedCharacter(*text))
            return false;
    }
    return true;
}

bool HoldsFieldBreak(const char* text)
{
    return std::strpbrk(text, ",\r\n") != nullptr;
}

bool IsValidSortCode(const char* digitText)
{
    if (std::strlen(digitText) != 6)
        return false;
    for (; *digitText; ++digitText) {
        if (!IsDigit(*digitText))
            return false;
    }
    return true;
}

CString LintroveAccountNumberField(const char* narrowText)
{
    return PadWithZeros(WithoutTrailingSpaces(narrowText), 8);
}

bool IsValidLintroveAccountNumber(const char* narrowText)
{
    if (WithoutTrailingSpaces(narrowText).IsEmpty())
        return false;
    const CString field = LintroveAccountNumberField(narrowText);
    if (field.GetLength() != 8)
        return false;
    for (int i = 0; i < 8; ++i) {
        if (!IsDigit(field.GetAt(i)))
            return false;
    }
    return true;
}

bool IsValidLintrovePayeeName(const char* narrowText)
{
    return IsAllowedText(narrowText) && !WithoutTrailingSpaces(narrowText).IsEmpty();
}

bool IsPayableAmount(double amount, const char* amountText)
{
    return std::isfinite(amount) && amount > 0 && std::strcmp(amountText, "0.00") != 0;
}

bool FitsLintroveAmountField(const char* amountText)
{
    return std::strlen(amountText) <= 11;
}

bool IsValidRtiReference(const char* text)
{
    if (std::strlen(text) != 4 || text[0] != '/')
        return false;
    return std::strpbrk(text + 1, "& ,\r\n") == nullptr;
}

bool IsValidLedgerwayBankReference(const platform::WideChar* text, std::size_t length)
{
    return length <= 4 && IsDigitText(text, length);
}

bool IsValidLedgerwayAccountNumber(const platform::WideChar* text, std::size_t length)
{
    return length == 8 && IsDigitText(text, length);
}
