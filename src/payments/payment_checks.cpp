#include "payments/payment_checks.h"

#include <cmath>
#include <cstring>

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

}  // namespace

std::size_t LengthWithoutTrailingSpaces(const char* text)
{
    std::size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

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

bool IsValidLintroveAccountNumber(const char* narrowText)
{
    // The field is the text without trailing spaces, zeros in front up to 8 characters: 8 digits
    // exactly when that text is not empty, at most 8 long and all digits.
    const std::size_t length = LengthWithoutTrailingSpaces(narrowText);
    if (length == 0 || length > 8)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsDigit(narrowText[i]))
            return false;
    }
    return true;
}

bool IsValidLintrovePayeeName(const char* narrowText)
{
    return IsAllowedText(narrowText) && LengthWithoutTrailingSpaces(narrowText) > 0;
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
