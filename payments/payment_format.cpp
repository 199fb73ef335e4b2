#include "payments/payment_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A non-negative integer of any size, as 32-bit words, least significant first.
using BigNumber = std::vector<std::uint32_t>;

BigNumber ShiftedLeft(std::uint64_t value, int shift)
{
    const size_t wordShift = static_cast<size_t>(shift / 32);
    const int bitShift = shift % 32;
    BigNumber number(wordShift + 3, 0);
    const std::uint32_t words[2] = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
    for (size_t i = 0; i < 2; ++i) {
        const std::uint64_t moved = static_cast<std::uint64_t>(words[i]) << bitShift;
        number[wordShift + i] |= static_cast<std::uint32_t>(moved);
        number[wordShift + i + 1] |= static_cast<std::uint32_t>(moved >> 32);
    }
    return number;
}

// Decimal digits of the number, most significant first, without leading zeros ("0" for zero).
std::vector<char> DecimalDigits(BigNumber number)
{
    std::vector<char> reversed;
    auto isZero = [&] {
        for (std::uint32_t word : number) {
            if (word)
                return false;
        }
        return true;
    };
    do {
        // Nine digits at a time.
        std::uint64_t remainder = 0;
        for (size_t i = number.size(); i-- > 0;) {
            const std::uint64_t current = (remainder << 32) | number[i];
            number[i] = static_cast<std::uint32_t>(current / 1000000000u);
            remainder = current % 1000000000u;
        }
        const bool last = isZero();
        for (int i = 0; i < 9 && (!last || remainder != 0 || i == 0); ++i) {
            reversed.push_back(static_cast<char>('0' + remainder % 10));
            remainder /= 10;
        }
    } while (!isZero());
    return std::vector<char>(reversed.rbegin(), reversed.rend());
}

// The amount in hundredths, rounded to nearest with ties to even, as decimal digits.
std::vector<char> Hundredths(double magnitude)
{
    // magnitude = mantissa * 2^exponent exactly, with a mantissa of at most 53 bits.
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const std::uint64_t mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    const std::uint64_t scaled = mantissa * 100;  // below 2^60
    if (exponent >= 0)
        return DecimalDigits(ShiftedLeft(scaled, exponent));

    const int shift = -exponent;
    std::uint64_t whole = 0;
    if (shift < 62) {
        whole = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (whole & 1)))
            ++whole;
    }
    // From 62 bits of shift on, the value is below half a hundredth and rounds to zero.
    return DecimalDigits(BigNumber{static_cast<std::uint32_t>(whole), static_cast<std::uint32_t>(whole >> 32)});
}

}  // namespace

CString FormatAmount(double amount)
{
    if (std::isnan(amount))
        return CString("nan");
    if (std::isinf(amount))
        return CString(amount < 0 ? "-inf" : "inf");

    std::vector<char> digits = Hundredths(std::fabs(amount));
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');

    std::vector<char> text;
    if (std::signbit(amount))
        text.push_back('-');
    text.insert(text.end(), digits.begin(), digits.end() - 2);
    text.push_back('.');
    text.insert(text.end(), digits.end() - 2, digits.end());
    text.push_back('\0');
    return CString(text.data());
}

CString PadWithZeros(const char* text, int width)
{
    CString padded;
    CString source(text);
    for (int missing = width - source.GetLength(); missing > 0; --missing)
        padded += "0";
    padded += source;
    return padded;
}

void UpperCaseLetters(CString& text)
{
    char* buffer = text.GetBuffer(-1);
    for (int i = 0; buffer[i] != '\0'; ++i) {
        if (buffer[i] >= 'a' && buffer[i] <= 'z')
            buffer[i] = static_cast<char>(buffer[i] - 'a' + 'A');
    }
}

CString FormatDebitDate(double date)
{
    // Day 0 is 30 December 1899; for dates before it the fraction still counts forward from the
    // day, so the day is the value cut toward zero. Values beyond any calendar use day 0.
    if (!(std::fabs(date) < 1e8))
        date = 0;
    // Days from 1 March of year 0 (proleptic Gregorian), so that leap days end each cycle.
    const long long days = static_cast<long long>(std::trunc(date)) + 693899;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));

    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", day, month, year);
    return CString(text);
}
