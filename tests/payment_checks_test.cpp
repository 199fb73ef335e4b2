// The bank's rules for a payment, on plain values. How the record writers apply them to a host
// payment, with the codes they leave on it, is tested with the records.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "payments/payment_checks.h"
#include "payments/payment_format.h"

namespace {

bool Payable(double amount)
{
    return IsPayableAmount(amount, FormatAmount(amount));
}

bool LedgerwayAccount(const std::wstring& text)
{
    return IsValidLedgerwayAccountNumber(text.c_str(), text.size());
}

bool LedgerwayBankRef(const std::wstring& text)
{
    return IsValidLedgerwayBankReference(text.c_str(), text.size());
}

}  // namespace

TEST(AllowedCharacters, LettersDigitsAndFiveMarks)
{
    EXPECT_TRUE(IsAllowedText("Smith & Sons Ltd."));
    EXPECT_TRUE(IsAllowedText("AB/12-3"));
    EXPECT_TRUE(IsAllowedText("az AZ 09 . - & /"));
    EXPECT_TRUE(IsAllowedText(""));
    for (const char* text : {"O'Brien", "AB,12", "ref#1", "(A)", "caf\xE9", "tab\there", "line\r\n", "a_b", "a+b", "\x7F"})
        EXPECT_FALSE(IsAllowedText(text)) << text;
    for (int c = 1; c < 256; ++c) {
        const bool expected = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
                              c == '.' || c == '-' || c == '&' || c == '/';
        EXPECT_EQ(expected, IsAllowedCharacter(static_cast<char>(c))) << c;
    }
}

TEST(FieldBreaks, CommaCarriageReturnAndLineFeed)
{
    EXPECT_TRUE(HoldsFieldBreak("Smith, J"));
    EXPECT_TRUE(HoldsFieldBreak("two\rlines"));
    EXPECT_TRUE(HoldsFieldBreak("two\nlines"));
    EXPECT_FALSE(HoldsFieldBreak("O'Brien; \"quoted\"\t(tab)"));
    EXPECT_FALSE(HoldsFieldBreak(""));
}

TEST(SortCode, SixDigitsOfTheDigitText)
{
    EXPECT_TRUE(IsValidSortCode("123456"));
    EXPECT_FALSE(IsValidSortCode("12345"));
    EXPECT_FALSE(IsValidSortCode("1234567"));
    EXPECT_FALSE(IsValidSortCode(""));
    EXPECT_FALSE(IsValidSortCode("12345A"));
}

TEST(LintroveAccountNumber, PaddedToEightDigits)
{
    EXPECT_TRUE(IsValidLintroveAccountNumber("12345678"));
    EXPECT_TRUE(IsValidLintroveAccountNumber("1234567"));
    EXPECT_TRUE(IsValidLintroveAccountNumber("1234567   "));
    EXPECT_TRUE(IsValidLintroveAccountNumber("1"));
    EXPECT_FALSE(IsValidLintroveAccountNumber(" 1234567"));
    EXPECT_FALSE(IsValidLintroveAccountNumber("123456789"));
    EXPECT_FALSE(IsValidLintroveAccountNumber("        "));
    EXPECT_FALSE(IsValidLintroveAccountNumber(""));
    EXPECT_FALSE(IsValidLintroveAccountNumber("1234-567"));
    EXPECT_STREQ("01234567", LintroveAccountNumberField("1234567  "));
    EXPECT_STREQ("00000000", LintroveAccountNumberField("   "));
    EXPECT_STREQ(" 1234567", LintroveAccountNumberField(" 1234567"));
    EXPECT_STREQ("0 123456", LintroveAccountNumberField(" 123456"));
    EXPECT_STREQ("123456789", LintroveAccountNumberField("123456789"));
}

TEST(LintrovePayeeName, AllowedAndNotBlank)
{
    EXPECT_TRUE(IsValidLintrovePayeeName("Smith & Sons Ltd."));
    EXPECT_TRUE(IsValidLintrovePayeeName("  A  "));
    EXPECT_FALSE(IsValidLintrovePayeeName("O'Brien"));
    EXPECT_FALSE(IsValidLintrovePayeeName("   "));
    EXPECT_FALSE(IsValidLintrovePayeeName(""));
    EXPECT_FALSE(IsValidLintrovePayeeName("Smith, J"));
}

TEST(Amount, PositiveFiniteAndNotWrittenAsZero)
{
    EXPECT_TRUE(Payable(0.01));
    EXPECT_TRUE(Payable(0.005));  // stored just above the half: written 0.01
    EXPECT_TRUE(Payable(1234.5));
    EXPECT_FALSE(Payable(0));
    EXPECT_FALSE(Payable(-0.0));
    EXPECT_FALSE(Payable(-1));
    EXPECT_FALSE(Payable(0.004));
    EXPECT_FALSE(Payable(0.0049999));
    EXPECT_FALSE(Payable(std::numeric_limits<double>::denorm_min()));
    EXPECT_FALSE(Payable(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(Payable(-std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(Payable(std::numeric_limits<double>::quiet_NaN()));
}

TEST(Amount, LintroveFieldHoldsElevenCharacters)
{
    EXPECT_TRUE(FitsLintroveAmountField(FormatAmount(99999999.99)));
    EXPECT_FALSE(FitsLintroveAmountField(FormatAmount(100000000)));
    // Rounding can carry an amount over the limit.
    EXPECT_FALSE(FitsLintroveAmountField(FormatAmount(99999999.995)));
    EXPECT_FALSE(FitsLintroveAmountField(FormatAmount(123456789.99)));
}

TEST(RtiReference, SlashAndThreeCharacters)
{
    EXPECT_TRUE(IsValidRtiReference("/A1B"));
    EXPECT_TRUE(IsValidRtiReference("/A-B"));
    EXPECT_TRUE(IsValidRtiReference("/a.b"));
    for (const char* text : {"/A B", "A123", "/AB", "/ABCD", "", "/&AB", "/AB ", "/A,B", "/A\rB", "/A\nB", "//A,"})
        EXPECT_FALSE(IsValidRtiReference(text)) << text;
}

TEST(LedgerwayBankReference, AtMostFourDigits)
{
    EXPECT_TRUE(LedgerwayBankRef(L"1234"));
    EXPECT_TRUE(LedgerwayBankRef(L"12"));
    EXPECT_TRUE(LedgerwayBankRef(L""));
    EXPECT_FALSE(LedgerwayBankRef(L"12A"));
    EXPECT_FALSE(LedgerwayBankRef(L"12345"));
    EXPECT_FALSE(LedgerwayBankRef(L" 12"));
    // A wider character is not a digit, even though the narrow text would end before it.
    EXPECT_FALSE(LedgerwayBankRef(L"12\u0141"));
    EXPECT_FALSE(LedgerwayBankRef(L"\uFF11"));
}

TEST(LedgerwayAccountNumber, EightDigits)
{
    EXPECT_TRUE(LedgerwayAccount(L"87654321"));
    EXPECT_TRUE(LedgerwayAccount(L"00000000"));
    EXPECT_FALSE(LedgerwayAccount(L"1234567"));
    EXPECT_FALSE(LedgerwayAccount(L"123456789"));
    EXPECT_FALSE(LedgerwayAccount(L"ABCDEFGH"));
    EXPECT_FALSE(LedgerwayAccount(L"1234 567"));
    EXPECT_FALSE(LedgerwayAccount(L"1234567\u0141"));
    EXPECT_FALSE(LedgerwayAccount(L""));
}
