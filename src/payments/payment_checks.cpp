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

std::size_t LengthWithoutTrailingSpaces(std::string_view text)
{
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

bool IsAllowedCharacter(char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') || IsDigit(character) ||
           character == ' ' || character == '.' || character == '-' || character == '&' || character == '/';
}

bool IsAllowedText(std::string_view text)
{
    for (const char character : text) {
        if (!IsAllowedCharacter(character))
            return false;
    }
    return true;
}

bool HoldsFieldBreak(std::string_view text)
{
    for (const char character : text) {
        if (IsFieldBreak(character))
            return true;
    }
    return false;
}

bool IsValidSortCode(std::string_view digitText)
{
    if (digitText.size() != 6)
        return false;
    for (const char character : digitText) {
        if (!IsDigit(character))
            return false;
    }
    return true;
}

bool IsValidLintroveAccountNumber(std::string_view narrowText)
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

bool IsValidLintrovePayeeName(std::string_view narrowText)
{
    return IsAllowedText(narrowText) && LengthWithoutTrailingSpaces(narrowText) > 0;
}

bool IsPayableAmount(double amount, std::string_view amountText)
{
    return std::isfinite(amount) && amount > 0 && amountText != "0.00";
}

bool FitsLintroveAmountField(std::string_view amountText)
{
    return amountText.size() <= 11;
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
