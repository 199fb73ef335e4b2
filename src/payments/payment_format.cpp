#include "payments/payment_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// A non-negative integer, as 32-bit words, least significant first. The largest amount shifts a
// 60-bit value by at most 971 bits, which needs 33 words.
struct BigNumber {
    static constexpr size_t Capacity = 36;
    std::uint32_t Words[Capacity] = {};
    size_t Size = 0;

    bool IsZero() const
    {
        for (size_t i = 0; i < Size; ++i) {
            if (Words[i])
                return false;
        }
        return true;
    }
};

// Room for the decimal digits of any BigNumber above (2^1152 has 347 digits).
constexpr size_t kDigitCapacity = 360;

BigNumber ShiftedLeft(std::uint64_t value, int shift)
{
    const size_t wordShift = static_cast<size_t>(shift / 32);
    const int bitShift = shift % 32;
    BigNumber number;
    number.Size = wordShift + 3;
    const std::uint32_t words[2] = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
    for (size_t i = 0; i < 2; ++i) {
        const std::uint64_t moved = static_cast<std::uint64_t>(words[i]) << bitShift;
        number.Words[wordShift + i] |= static_cast<std::uint32_t>(moved);
        number.Words[wordShift + i + 1] |= static_cast<std::uint32_t>(moved >> 32);
    }
    return number;
}

// Decimal digits of the number into digits, most significant first, without leading zeros ("0"
// for zero); returns how many.
size_t DecimalDigits(BigNumber number, char (&digits)[kDigitCapacity])
{
    char reversed[kDigitCapacity];
    size_t count = 0;
    do {
        // Nine digits at a time.
        std::uint64_t remainder = 0;
        for (size_t i = number.Size; i-- > 0;) {
            const std::uint64_t current = (remainder << 32) | number.Words[i];
            number.Words[i] = static_cast<std::uint32_t>(current / 1000000000u);
            remainder = current % 1000000000u;
        }
        const bool last = number.IsZero();
        for (int i = 0; i < 9 && (!last || remainder != 0 || i == 0) && count < kDigitCapacity; ++i) {
            reversed[count++] = static_cast<char>('0' + remainder % 10);
            remainder /= 10;
        }
    } while (!number.IsZero());
    for (size_t i = 0; i < count; ++i)
        digits[i] = reversed[count - 1 - i];
    return count;
}

// The same for a number of 64 bits, as every amount below 2^53 is.
size_t DecimalDigits(std::uint64_t number, char (&digits)[kDigitCapacity])
{
    char reversed[24];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (size_t i = 0; i < count; ++i)
        digits[i] = reversed[count - 1 - i];
    return count;
}

// value / 2^shift (shift at least 0) rounded to nearest, ties to even. From 62 bits of shift on, a
// value below 2^60 is under a half and rounds to zero.
std::uint64_t ShiftedRightRounded(std::uint64_t value, int shift)
{
    if (shift == 0)
        return value;
    if (shift >= 62)
        return 0;
    const std::uint64_t whole = value >> shift;
    const std::uint64_t rest = value & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    return rest > half || (rest == half && (whole & 1)) ? whole + 1 : whole;
}

// The amount in hundredths, rounded to nearest with ties to even, as decimal digits; returns how many.
size_t Hundredths(double magnitude, char (&digits)[kDigitCapacity])
{
    // magnitude = mantissa * 2^exponent exactly, with a mantissa of at most 53 bits.
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    // fraction * 2^53 is exact: fraction is below 1 with 53 significant bits.
    const std::uint64_t mantissa = static_cast<std::uint64_t>(fraction * 9007199254740992.0);
    exponent -= 53;
    const std::uint64_t scaled = mantissa * 100;  // below 2^60
    if (exponent >= 0)
        return DecimalDigits(ShiftedLeft(scaled, exponent), digits);

    return DecimalDigits(ShiftedRightRounded(scaled, -exponent), digits);
}

int CopyText(const char* from, char (&to)[kAmountTextSize])
{
    const size_t length = std::strlen(from);
    std::memcpy(to, from, length + 1);
    return static_cast<int>(length);
}

// The text of an amount from its hundredths (count decimal digits, the most significant first):
// the sign, at least one digit before the point and the two after it.
int AmountText(bool negative, const char* digits, size_t count, char (&text)[kAmountTextSize])
{
    const size_t zeros = count < 3 ? 3 - count : 0;
    const size_t total = count + zeros;
    auto digitAt = [&](size_t at) { return at < zeros ? '0' : digits[at - zeros]; };
    size_t length = 0;
    if (negative)
        text[length++] = '-';
    // The largest double has 309 digits before the point, so the whole part always fits.
    const size_t whole = total - 2 < kAmountTextSize - 5 ? total - 2 : kAmountTextSize - 5;
    for (size_t at = 0; at < whole; ++at)
        text[length++] = digitAt(at);
    text[length++] = '.';
    text[length++] = digitAt(total - 2);
    text[length++] = digitAt(total - 1);
    text[length] = '\0';
    return static_cast<int>(length);
}

// An amount of normal magnitude below 2^53, as every real one is, written straight from its bits:
// no library call and no long-number arithmetic. False for any other amount.
bool FormatUsualAmount(double amount, char (&text)[kAmountTextSize], int* length)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &amount, sizeof bits);
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    // Zero and the subnormals (0), and 2^53 up, infinity and NaN, go the general way.
    if (biasedExponent == 0 || biasedExponent >= 1023 + 53)
        return false;
    // amount = mantissa * 2^exponent exactly, the mantissa of 53 bits, the exponent at most 0.
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - biasedExponent;
    const std::uint64_t scaled = mantissa * 100;  // below 2^60
    char digits[kDigitCapacity];
    const size_t count = DecimalDigits(ShiftedRightRounded(scaled, shift), digits);
    *length = AmountText((bits >> 63) != 0, digits, count, text);
    return true;
}

}  // namespace

int FormatAmountInto(double amount, char (&text)[kAmountTextSize])
{
    int usualLength = 0;
    if (FormatUsualAmount(amount, text, &usualLength))
        return usualLength;
    if (std::isnan(amount))
        return CopyText("nan", text);
    if (std::isinf(amount))
        return CopyText(amount < 0 ? "-inf" : "inf", text);

    char digits[kDigitCapacity];
    const size_t count = Hundredths(std::fabs(amount), digits);
    return AmountText(std::signbit(amount), digits, count, text);
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
