// How payment values become file text: amounts, debit dates, and the narrow and digit conversions
// of host text. (Zero padding and upper-casing are the record writers' own: payment_records_test.)
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "payments/payment_format.h"
#include "settings/narrow_text.h"

namespace {

std::string Amount(double value)
{
    char text[kAmountTextSize];
    const int length = FormatAmountInto(value, text);
    EXPECT_EQ(std::strlen(text), static_cast<size_t>(length));
    return text;
}

std::string Narrow(const std::wstring& text)
{
    char out[kNarrowTextMaxChars + 1];
    const size_t length = ToNarrowTextInto(text.data(), text.size(), out);
    EXPECT_EQ(std::strlen(out), length);
    return out;
}

std::string Digits(const std::wstring& text)
{
    char out[kNarrowTextMaxChars + 1];
    const size_t length = ToDigitTextInto(text.data(), text.size(), out);
    EXPECT_EQ(std::strlen(out), length);
    const NarrowTextCopy copy = ToDigitText(text.data(), text.size());
    EXPECT_STREQ(out, copy);
    EXPECT_EQ(length, copy.Length);
    return out;
}

// The C99 "%.2f" of the mingw runtime, as a reference in the classic locale.
std::string ReferenceAmount(double value)
{
    char text[400];
    __mingw_snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

TEST(AmountText, RoundsFromTheExactBinaryValue)
{
    EXPECT_EQ("1234.50", Amount(1234.5));
    EXPECT_EQ("0.00", Amount(0));
    EXPECT_EQ("-5.00", Amount(-5));
    EXPECT_EQ("99.90", Amount(99.9));
    // 1.005 and 2.675 are stored just below the half, 0.015 too; 0.005 and 0.025 just above.
    EXPECT_EQ("1.00", Amount(1.005));
    EXPECT_EQ("2.67", Amount(2.675));
    EXPECT_EQ("0.01", Amount(0.015));
    EXPECT_EQ("0.01", Amount(0.005));
    EXPECT_EQ("0.03", Amount(0.025));
    // Exact halves go to the even hundredth, as the C library's "%.2f" does.
    EXPECT_EQ("0.12", Amount(0.125));
    EXPECT_EQ("0.38", Amount(0.375));
    EXPECT_EQ("0.00", Amount(0.004));
    EXPECT_EQ("123456789.99", Amount(123456789.99));
    EXPECT_EQ("100000000.00", Amount(100000000));
}

TEST(AmountText, SignsZerosAndNonFiniteValues)
{
    EXPECT_EQ("-0.00", Amount(-0.0));
    EXPECT_EQ("-0.00", Amount(-0.001));
    EXPECT_EQ("-1234.57", Amount(-1234.567));
    EXPECT_EQ("inf", Amount(std::numeric_limits<double>::infinity()));
    EXPECT_EQ("-inf", Amount(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ("nan", Amount(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ("0.00", Amount(std::numeric_limits<double>::denorm_min()));
}

TEST(AmountText, LargestValuesAreWrittenInFull)
{
    EXPECT_EQ(ReferenceAmount(1e300), Amount(1e300));
    EXPECT_EQ(ReferenceAmount(std::numeric_limits<double>::max()), Amount(std::numeric_limits<double>::max()));
    EXPECT_EQ("9007199254740994.00", Amount(9007199254740994.0));
    EXPECT_EQ("18014398509481984.00", Amount(18014398509481984.0));
}

// Amounts below 2^53 are written from their bits, others the long way: both sides of every edge
// agree with the C library.
TEST(AmountText, TheEdgesOfTheUsualAmountsAgreeWithTheCLibrary)
{
    const double edges[] = {9007199254740991.0,
                            9007199254740992.0,
                            std::nextafter(9007199254740992.0, 0.0),
                            4503599627370495.5,
                            std::numeric_limits<double>::min(),
                            std::nextafter(std::numeric_limits<double>::min(), 0.0),
                            0.005000000000000001,
                            std::ldexp(1.0, -61),
                            std::ldexp(1.0, -62),
                            0.01,
                            1.0,
                            0.5};
    for (const double edge : edges) {
        EXPECT_EQ(ReferenceAmount(edge), Amount(edge)) << edge;
        EXPECT_EQ(ReferenceAmount(-edge), Amount(-edge)) << -edge;
    }
}

TEST(AmountText, AgreesWithTheCLibraryOverManyValues)
{
    std::mt19937_64 random(20260712);
    std::uniform_real_distribution<double> money(-2e6, 2e6);
    for (int i = 0; i < 20000; ++i) {
        const double value = money(random);
        ASSERT_EQ(ReferenceAmount(value), Amount(value)) << value;
        // Values near a half hundredth, and exact halves of every size.
        const double half = (std::floor(value * 100) + 0.5) / 100;
        ASSERT_EQ(ReferenceAmount(half), Amount(half)) << half;
        const double eighth =
            std::ldexp(static_cast<double>(random() % 100000) + 0.125, static_cast<int>(random() % 40));
        ASSERT_EQ(ReferenceAmount(eighth), Amount(eighth)) << eighth;
    }
    for (int exponent = -1074; exponent <= 1023; exponent += 7) {
        const double value = std::ldexp(1.0 + std::ldexp(static_cast<double>(exponent & 0xFFF), -20), exponent);
        ASSERT_EQ(ReferenceAmount(value), Amount(value)) << exponent;
    }
}

TEST(AmountText, IgnoresTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "German_Germany.1252") && !std::setlocale(LC_ALL, "de-DE"))
        GTEST_SKIP() << "no German locale";
    const std::string withLocale = Amount(1234.5);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ("1234.50", withLocale);
}

TEST(DebitDate, DayMonthAndFourDigitYear)
{
    // 7 December 2026 is day 46363 of the OLE Automation calendar.
    EXPECT_STREQ("07/12/2026", FormatDebitDate(46363));
    EXPECT_STREQ("07/12/2026", FormatDebitDate(46363.999));
    EXPECT_STREQ("30/12/1899", FormatDebitDate(0));
    EXPECT_STREQ("31/12/1899", FormatDebitDate(1.5));
    EXPECT_STREQ("29/12/1899", FormatDebitDate(-1.75));
    EXPECT_STREQ("01/01/1900", FormatDebitDate(2));
    EXPECT_STREQ("29/02/2000", FormatDebitDate(36585));
    EXPECT_STREQ("01/03/2000", FormatDebitDate(36586));
    EXPECT_STREQ("31/12/9999", FormatDebitDate(2958465));
    // The year is written with "%02d" like the day and month: four digits from year 1000 on.
    EXPECT_STREQ("01/01/100", FormatDebitDate(-657434));
    EXPECT_STREQ("30/12/1899", FormatDebitDate(std::numeric_limits<double>::quiet_NaN()));
}

TEST(DebitDate, AgreesWithThePlatformCalendar)
{
    for (double date = -657434; date <= 2958465; date += 97.25) {
        SYSTEMTIME time;
        ASSERT_TRUE(VariantTimeToSystemTime(std::trunc(date), &time));
        char expected[16];
        std::snprintf(expected, sizeof expected, "%02d/%02d/%02d", time.wDay, time.wMonth, time.wYear);
        ASSERT_STREQ(expected, FormatDebitDate(date)) << date;
    }
}

TEST(NarrowText, KeepsLatin1AndStopsBeforeWiderCharacters)
{
    EXPECT_EQ("J. Smith & Co", Narrow(L"J. Smith & Co"));
    EXPECT_EQ("caf\xE9 \xFF", Narrow(L"caf\u00E9 \u00FF"));
    EXPECT_EQ("Smith", Narrow(L"Smith\u0141odz"));
    EXPECT_EQ("", Narrow(L"\u20AC100"));
    char out[kNarrowTextMaxChars + 1];
    EXPECT_EQ(0u, ToNarrowTextInto(nullptr, 5, out));
    EXPECT_STREQ("", out);
    EXPECT_EQ("", Narrow(L""));
}

TEST(NarrowText, LongTextsAreCutAt255CharactersInsideTheBuffer)
{
    const std::wstring longText(300, L'x');
    EXPECT_EQ(std::string(255, 'x'), Narrow(longText.c_str()));
    // Only the text and its terminator are written.
    char out[kNarrowTextMaxChars + 1];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(2u, ToNarrowTextInto(L"ab", 2, out));
    EXPECT_EQ(0, std::memcmp(out, "ab\0###", 6));
}

TEST(DigitText, KeepsTheDigitsInOrder)
{
    EXPECT_EQ("123456", Digits(L"12-34-56"));
    EXPECT_EQ("12345", Digits(L"12 34 5"));
    EXPECT_EQ("1234567", Digits(L"12 34 56 7"));
    EXPECT_EQ("12345", Digits(L"12-34-5X"));
    EXPECT_EQ("", Digits(L"no digits"));
    char out[kNarrowTextMaxChars + 1];
    EXPECT_EQ(0u, ToDigitTextInto(nullptr, 5, out));
    EXPECT_STREQ("", out);
    // Digits after a character above U+00FF are not reached; fullwidth digits are not digits.
    EXPECT_EQ("12", Digits(L"12\u014134"));
    EXPECT_EQ("", Digits(L"\uFF11\uFF12"));
    const std::wstring longText = std::wstring(250, L'-') + L"1234567890";
    EXPECT_EQ("12345", Digits(longText.c_str()));
}

TEST(DigitText, EachCallHasItsOwnCopy)
{
    const NarrowTextCopy first = ToDigitText(L"12-34", 5);
    const NarrowTextCopy second = ToDigitText(L"56-78", 5);
    EXPECT_STREQ("1234", first);
    EXPECT_STREQ("5678", second);
}

// A text is read to its given length, no further, and a NUL in it ends the converted text as a
// character above U+00FF does: the checks learn of it from HoldsNul.
TEST(NarrowText, ReadsTheGivenLengthAndStopsAtANul)
{
    const std::wstring withNul(L"1234\0"
                               L"5678",
                               9);
    EXPECT_EQ("1234", Narrow(withNul));
    EXPECT_EQ("1234", Digits(withNul));
    char out[kNarrowTextMaxChars + 1];
    EXPECT_EQ(3u, ToNarrowTextInto(L"abcdef", 3, out));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(2u, ToDigitTextInto(L"1-2-3", 3, out));
    EXPECT_STREQ("12", out);

    EXPECT_TRUE(HoldsNul(withNul.data(), withNul.size()));
    EXPECT_TRUE(HoldsNul(L"\0", 1));
    EXPECT_FALSE(HoldsNul(withNul.data(), 4));
    EXPECT_FALSE(HoldsNul(L"12345678", 8));
    EXPECT_FALSE(HoldsNul(nullptr, 3));

    // Both in one pass: the bounds of the narrow range either side.
    EXPECT_TRUE(HoldsUnitTheNarrowTextLoses(withNul.data(), withNul.size()));
    EXPECT_FALSE(HoldsUnitTheNarrowTextLoses(L"\u0001caf\u00E9\u00FF", 6));
    EXPECT_TRUE(HoldsUnitTheNarrowTextLoses(L"Smith\u0100", 6));
    EXPECT_TRUE(HoldsUnitTheNarrowTextLoses(L"\uFFFF", 1));
    EXPECT_FALSE(HoldsUnitTheNarrowTextLoses(L"\u20AC", 0));
    EXPECT_FALSE(HoldsUnitTheNarrowTextLoses(nullptr, 3));
}

TEST(NarrowRange, FindsCharactersThatWouldBeLost)
{
    EXPECT_FALSE(HoldsCharacterAboveNarrowRange(L"caf\u00E9\u00FF", 5));
    EXPECT_TRUE(HoldsCharacterAboveNarrowRange(L"Smith\u0141", 6));
    EXPECT_TRUE(HoldsCharacterAboveNarrowRange(L"\u20AC", 1));
    EXPECT_FALSE(HoldsCharacterAboveNarrowRange(nullptr, 0));
    // Only the given length counts.
    EXPECT_FALSE(HoldsCharacterAboveNarrowRange(L"ab\u0141", 2));
}
