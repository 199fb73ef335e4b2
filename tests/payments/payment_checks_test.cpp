// The bank's rules for a payment: on plain values, then as the record writers apply them to a host
// payment, with the result codes they leave on it, the records they write and their trace lines.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "payments/payment_checks.h"
#include "payments/payment_format.h"
#include "tests/payments/payment_record_harness.h"

using standin::PaymentData;

namespace {

std::string AmountText(double amount)
{
    char text[kAmountTextSize];
    FormatAmountInto(amount, text);
    return text;
}

bool Payable(double amount)
{
    return IsPayableAmount(amount, AmountText(amount).c_str());
}

bool FitsLintrove(double amount)
{
    return FitsLintroveAmountField(AmountText(amount).c_str());
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
    for (const char* text :
         {"O'Brien", "AB,12", "ref#1", "(A)", "caf\xE9", "tab\there", "line\r\n", "a_b", "a+b", "\x7F"})
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
    EXPECT_TRUE(FitsLintrove(99999999.99));
    EXPECT_FALSE(FitsLintrove(100000000));
    // Rounding can carry an amount over the limit.
    EXPECT_FALSE(FitsLintrove(99999999.995));
    EXPECT_FALSE(FitsLintrove(123456789.99));
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

// ---------------------------------------------------------------------------------------------
// The checks on a host payment.

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char kAccountTrace[] = "Invalid Account Number Length or Invalid Characters";
const char kNameTrace[] = "Account Name cannot be empty";
const char kReferenceTrace[] = "Bacs Reference not valid";

struct CheckCase {
    const char* Title;
    std::function<void(PaymentData&)> Change;
    long Code;           // the result code left on the payment
    std::string Record;  // the record as written
    std::vector<std::string> Traces = {};
};

class PaymentCheckTest : public PaymentRecordTest {
protected:
    void RunLintrove(const std::vector<CheckCase>& cases) { Run(cases, true); }
    void RunLedgerway(const std::vector<CheckCase>& cases) { Run(cases, false); }

private:
    void Run(const std::vector<CheckCase>& cases, bool lintrove)
    {
        for (const CheckCase& check : cases) {
            SCOPED_TRACE(check.Title);
            PaymentData payment = lintrove ? LintroveExample() : LedgerwayExample();
            check.Change(payment);
            const WrittenRecord written = lintrove ? Lintrove(payment) : Ledgerway(payment);
            EXPECT_EQ(check.Code, written.ResultCode);
            EXPECT_EQ(check.Code == 0, written.Valid);
            EXPECT_EQ(check.Record, written.Record());
            EXPECT_EQ(check.Traces, written.Traces);
            // One put of 0 first, then one put per failed check.
            ASSERT_FALSE(written.PutCodes.empty());
            EXPECT_EQ(0, written.PutCodes.front());
            EXPECT_EQ(check.Code == 0 ? 1u : 2u, written.PutCodes.size());
        }
    }
};

// The Lintrove example record with one field replaced (fields counted from 0).
std::string LintroveWith(int field, const std::string& text)
{
    std::vector<std::string> fields = {"123456", "01234567", "J. SMITH & CO", "1234.50", "INV 1001", "March invoice"};
    fields[static_cast<size_t>(field)] = text;
    std::string record;
    for (size_t i = 0; i < fields.size(); ++i)
        record += (i ? "," : "") + fields[i];
    return record;
}

std::string LedgerwayWith(int field, const std::string& text)
{
    std::vector<std::string> fields = {"07/12/2026", "0012", "87654321", "00",       "401122", "J. Smith",
                                       "12345678",   "00",   "123456",   "Acme Ltd", "99.90",  "Y"};
    fields[static_cast<size_t>(field)] = text;
    std::string record;
    for (size_t i = 0; i < fields.size(); ++i)
        record += (i ? "," : "") + fields[i];
    return record;
}

}  // namespace

TEST_F(PaymentCheckTest, LintrovePayeeSortCode)
{
    RunLintrove({
        {"hyphens", [](PaymentData& p) { p.PayeeSortCode = L"12-34-56"; }, 0, LintroveWith(0, "123456")},
        {"five digits", [](PaymentData& p) { p.PayeeSortCode = L"12-34-5"; }, 28, LintroveWith(0, "12345")},
        {"seven digits", [](PaymentData& p) { p.PayeeSortCode = L"12 34 56 7"; }, 28, LintroveWith(0, "1234567")},
        {"empty", [](PaymentData& p) { p.PayeeSortCode = L""; }, 28, LintroveWith(0, "")},
        {"no digits", [](PaymentData& p) { p.PayeeSortCode = L"ab-cd-ef"; }, 28, LintroveWith(0, "")},
    });
}

TEST_F(PaymentCheckTest, LintrovePayeeAccountNumber)
{
    RunLintrove({
        {"eight digits", [](PaymentData& p) { p.PayeeAccountNumber = L"12345678"; }, 0, LintroveWith(1, "12345678")},
        {"seven digits", [](PaymentData& p) { p.PayeeAccountNumber = L"1234567"; }, 0, LintroveWith(1, "01234567")},
        {"trailing spaces", [](PaymentData& p) { p.PayeeAccountNumber = L"1234567  "; }, 0,
         LintroveWith(1, "01234567")},
        {"leading space",
         [](PaymentData& p) { p.PayeeAccountNumber = L" 1234567"; },
         29,
         LintroveWith(1, " 1234567"),
         {kAccountTrace}},
        {"nine digits",
         [](PaymentData& p) { p.PayeeAccountNumber = L"123456789"; },
         29,
         LintroveWith(1, "123456789"),
         {kAccountTrace}},
        {"spaces",
         [](PaymentData& p) { p.PayeeAccountNumber = L"        "; },
         29,
         LintroveWith(1, "00000000"),
         {kAccountTrace}},
        {"empty", [](PaymentData& p) { p.PayeeAccountNumber = L""; }, 29, LintroveWith(1, "00000000"), {kAccountTrace}},
        {"letters",
         [](PaymentData& p) { p.PayeeAccountNumber = L"ABCDEFGH"; },
         29,
         LintroveWith(1, "ABCDEFGH"),
         {kAccountTrace}},
    });
}

TEST_F(PaymentCheckTest, LintrovePayeeName)
{
    RunLintrove({
        {"marks", [](PaymentData& p) { p.PayeeAccountName = L"Smith & Sons Ltd."; }, 0,
         LintroveWith(2, "SMITH & SONS LTD.")},
        {"slash and hyphen", [](PaymentData& p) { p.PayeeAccountName = L"A-B/C"; }, 0, LintroveWith(2, "A-B/C")},
        {"apostrophe",
         [](PaymentData& p) { p.PayeeAccountName = L"O'Brien"; },
         30,
         LintroveWith(2, "O'BRIEN"),
         {kNameTrace}},
        {"spaces", [](PaymentData& p) { p.PayeeAccountName = L"     "; }, 30, LintroveWith(2, "     "), {kNameTrace}},
        {"empty", [](PaymentData& p) { p.PayeeAccountName = L""; }, 30, LintroveWith(2, ""), {kNameTrace}},
        {"accented letter",
         [](PaymentData& p) { p.PayeeAccountName = L"Caf\u00e9"; },
         30,
         LintroveWith(2, "CAF\xE9"),
         {kNameTrace}},
        // Past the 18 characters written, the whole name still counts.
        {"bad character past the cut",
         [](PaymentData& p) { p.PayeeAccountName = L"A long payee name (UK)"; },
         30,
         LintroveWith(2, "A LONG PAYEE NAME "),
         {kNameTrace}},
        // A character the narrow text cannot carry would silently shorten the name.
        {"character above U+00FF",
         [](PaymentData& p) { p.PayeeAccountName = L"Smith \u0141odz"; },
         30,
         LintroveWith(2, "SMITH "),
         {kNameTrace}},
    });
}

TEST_F(PaymentCheckTest, LintroveAmount)
{
    RunLintrove({
        {"one penny", [](PaymentData& p) { p.Amount = 0.01; }, 0, LintroveWith(3, "0.01")},
        {"just under the limit", [](PaymentData& p) { p.Amount = 99999999.99; }, 0, LintroveWith(3, "99999999.99")},
        {"zero", [](PaymentData& p) { p.Amount = 0; }, 21, LintroveWith(3, "0.00")},
        {"negative", [](PaymentData& p) { p.Amount = -1; }, 21, LintroveWith(3, "-1.00")},
        {"limit", [](PaymentData& p) { p.Amount = 100000000; }, 21, LintroveWith(3, "100000000.0")},
        {"rounds up to the limit", [](PaymentData& p) { p.Amount = 99999999.995; }, 21, LintroveWith(3, "100000000.0")},
        // Sound behaviour: nothing is paid that is not a real amount of at least a penny.
        {"infinity", [](PaymentData& p) { p.Amount = kInfinity; }, 21, LintroveWith(3, "inf")},
        {"not a number", [](PaymentData& p) { p.Amount = kNaN; }, 21, LintroveWith(3, "nan")},
        {"rounds to zero", [](PaymentData& p) { p.Amount = 0.004; }, 21, LintroveWith(3, "0.00")},
        {"rounds to a penny", [](PaymentData& p) { p.Amount = 0.005; }, 0, LintroveWith(3, "0.01")},
    });
}

TEST_F(PaymentCheckTest, LintroveReference)
{
    RunLintrove({
        {"roll number", [](PaymentData& p) { p.PayeeRollNumber = L"AB/12-3"; }, 0, LintroveWith(4, "AB/12-3")},
        {"roll number lower case", [](PaymentData& p) { p.PayeeRollNumber = L"ab12"; }, 0, LintroveWith(4, "AB12")},
        {"roll number with comma",
         [](PaymentData& p) { p.PayeeRollNumber = L"AB,12"; },
         31,
         LintroveWith(4, "AB 12"),
         {kReferenceTrace}},
        {"BACS reference",
         [](PaymentData& p) { p.PayeeBacsReference = L"ref#1"; },
         27,
         LintroveWith(4, "REF#1"),
         {kReferenceTrace}},
        {"empty BACS reference", [](PaymentData& p) { p.PayeeBacsReference = L""; }, 0, LintroveWith(4, "")},
        {"roll number of spaces is used", [](PaymentData& p) { p.PayeeRollNumber = L"  "; }, 0, LintroveWith(4, "  ")},
        {"line break in roll number",
         [](PaymentData& p) { p.PayeeRollNumber = L"AB\r\n12"; },
         31,
         LintroveWith(4, "AB  12"),
         {kReferenceTrace}},
        {"roll number above U+00FF",
         [](PaymentData& p) { p.PayeeRollNumber = L"ab\u014112"; },
         31,
         LintroveWith(4, "AB"),
         {kReferenceTrace}},
        {"BACS reference above U+00FF",
         [](PaymentData& p) { p.PayeeBacsReference = L"inv \u20ac5"; },
         27,
         LintroveWith(4, "INV "),
         {kReferenceTrace}},
    });
}

TEST_F(PaymentCheckTest, LintroveDetails)
{
    RunLintrove({
        {"any other character", [](PaymentData& p) { p.Details = L"O'Brien (#1); caf\u00e9"; }, 0,
         LintroveWith(5, "O'Brien (#1); caf\xE9")},
        {"empty", [](PaymentData& p) { p.Details = L""; }, 0, LintroveWith(5, "")},
        // Sound behaviour: a comma or line break would shift or split the record; it is written as a
        // space and fails the check.
        {"comma", [](PaymentData& p) { p.Details = L"March, April"; }, 33, LintroveWith(5, "March  April")},
        {"line feed", [](PaymentData& p) { p.Details = L"March\nApril"; }, 33, LintroveWith(5, "March April")},
        {"carriage return", [](PaymentData& p) { p.Details = L"March\rApril"; }, 33, LintroveWith(5, "March April")},
        {"comma past the cut", [](PaymentData& p) { p.Details = std::wstring(80, L'd') + L",x"; }, 0,
         LintroveWith(5, std::string(80, 'd'))},
        {"character above U+00FF", [](PaymentData& p) { p.Details = L"Fee \u20ac5"; }, 33, LintroveWith(5, "Fee ")},
    });
}

TEST_F(PaymentCheckTest, LintroveRtiReference)
{
    auto rti = [](const wchar_t* reference) {
        return [reference](PaymentData& p) {
            p.OffersRti = true;
            p.IsRti = 1;
            p.RtiReference = reference;
        };
    };
    RunLintrove({
        {"valid", rti(L"/A1B"), 0, LintroveWith(5, "/A1B")},
        {"hyphen", rti(L"/A-B"), 0, LintroveWith(5, "/A-B")},
        {"full stop and lower case", rti(L"/a.b"), 0, LintroveWith(5, "/a.b")},
        {"space", rti(L"/A B"), 36, LintroveWith(5, "/A B")},
        {"ampersand", rti(L"/A&B"), 36, LintroveWith(5, "/A&B")},
        {"no slash", rti(L"A123"), 36, LintroveWith(5, "A123")},
        {"three characters", rti(L"/AB"), 36, LintroveWith(5, "/AB ")},
        {"five characters", rti(L"/ABCD"), 36, LintroveWith(5, "/ABCD")},
        // Sound behaviour: a comma or line break would shift or split the record; it is written as a
        // space and fails the check.
        {"comma", rti(L"/A,B"), 36, LintroveWith(5, "/A B")},
        {"line feed", rti(L"/A\nB"), 36, LintroveWith(5, "/A B")},
        {"not an RTI payment",
         [](PaymentData& p) {
             p.OffersRti = true;
             p.RtiReference = L"bad";
         },
         0, LintroveWith(5, "March invoice")},
    });
}

TEST_F(PaymentCheckTest, LastFailingCheckInFieldOrderWins)
{
    PaymentData payment = LintroveExample();
    payment.PayeeSortCode = L"12-34";
    payment.Amount = -1;
    WrittenRecord written = Lintrove(payment);
    EXPECT_EQ(21, written.ResultCode);
    EXPECT_EQ((std::vector<long>{0, 28, 21}), written.PutCodes);

    payment = LedgerwayExample();
    payment.PayeeSortCode = L"12-34";
    payment.Amount = -1;
    written = Ledgerway(payment);
    EXPECT_EQ(21, written.ResultCode);
    EXPECT_EQ((std::vector<long>{0, 28, 21}), written.PutCodes);

    // Every Lintrove field wrong: each code is put at once, the RTI one through the RTI interface.
    payment = LintroveExample();
    payment.PayeeSortCode = L"1";
    payment.PayeeAccountNumber = L"x";
    payment.PayeeAccountName = L"";
    payment.Amount = 1e9;
    payment.PayeeRollNumber = L"#";
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"x";
    written = Lintrove(payment);
    EXPECT_EQ(36, written.ResultCode);
    EXPECT_FALSE(written.Valid);
    EXPECT_EQ((std::vector<long>{0, 28, 29, 30, 21, 31, 36}), written.PutCodes);
    EXPECT_EQ((std::vector<std::string>{kAccountTrace, kNameTrace, kReferenceTrace}), written.Traces);
    EXPECT_EQ("1,0000000x,,1000000000.,#,x   ", written.Record());
}

TEST_F(PaymentCheckTest, LedgerwayBankReference)
{
    RunLedgerway({
        {"four digits", [](PaymentData& p) { p.PayeeBacsReference = L"1234"; }, 0, LedgerwayWith(1, "1234")},
        {"empty", [](PaymentData& p) { p.PayeeBacsReference = L""; }, 0, LedgerwayWith(1, "0000")},
        {"letter", [](PaymentData& p) { p.PayeeBacsReference = L"12A"; }, 27, LedgerwayWith(1, "012A")},
        {"five digits", [](PaymentData& p) { p.PayeeBacsReference = L"12345"; }, 27, LedgerwayWith(1, "12345")},
        {"space", [](PaymentData& p) { p.PayeeBacsReference = L" 12"; }, 27, LedgerwayWith(1, "0 12")},
        // The narrow text would end before the character and look like "12".
        {"character above U+00FF", [](PaymentData& p) { p.PayeeBacsReference = L"12\u0141"; }, 27,
         LedgerwayWith(1, "0012")},
    });
}

TEST_F(PaymentCheckTest, LedgerwayAccountNumbers)
{
    RunLedgerway({
        {"payer seven digits", [](PaymentData& p) { p.PayerAccountNumber = L"1234567"; }, 24,
         LedgerwayWith(2, "1234567")},
        {"payer nine digits", [](PaymentData& p) { p.PayerAccountNumber = L"123456789"; }, 24,
         LedgerwayWith(2, "123456789")},
        // Sound behaviour: eight characters are not enough, they must be eight digits.
        {"payer letters", [](PaymentData& p) { p.PayerAccountNumber = L"ABCDEFGH"; }, 24, LedgerwayWith(2, "ABCDEFGH")},
        {"payer with space", [](PaymentData& p) { p.PayerAccountNumber = L"1234 678"; }, 24,
         LedgerwayWith(2, "1234 678")},
        {"payee seven digits", [](PaymentData& p) { p.PayeeAccountNumber = L"1234567"; }, 29,
         LedgerwayWith(6, "1234567")},
        {"payee letters", [](PaymentData& p) { p.PayeeAccountNumber = L"ABCDEFGH"; }, 29, LedgerwayWith(6, "ABCDEFGH")},
        {"payee above U+00FF", [](PaymentData& p) { p.PayeeAccountNumber = L"1234567\u0141"; }, 29,
         LedgerwayWith(6, "1234567")},
    });
}

TEST_F(PaymentCheckTest, LedgerwaySortCodes)
{
    RunLedgerway({
        {"payer five digits", [](PaymentData& p) { p.PayerSortCode = L"40-11-2"; }, 23, LedgerwayWith(4, "40112")},
        {"payer empty", [](PaymentData& p) { p.PayerSortCode = L""; }, 23, LedgerwayWith(4, "")},
        {"payee with letter", [](PaymentData& p) { p.PayeeSortCode = L"12-34-5X"; }, 28, LedgerwayWith(8, "12345")},
        {"payee seven digits", [](PaymentData& p) { p.PayeeSortCode = L"12 34 56 7"; }, 28,
         LedgerwayWith(8, "1234567")},
    });
}

TEST_F(PaymentCheckTest, LedgerwayPayeeName)
{
    RunLedgerway({
        {"any other character", [](PaymentData& p) { p.PayeeAccountName = L"O'Brien (UK)"; }, 0,
         LedgerwayWith(5, "O'Brien (UK)")},
        {"empty", [](PaymentData& p) { p.PayeeAccountName = L""; }, 0, LedgerwayWith(5, "")},
        // Sound behaviour: a comma or line break would shift or split the record; a character above
        // U+00FF would silently shorten the name.
        {"comma", [](PaymentData& p) { p.PayeeAccountName = L"Smith, J"; }, 30, LedgerwayWith(5, "Smith  J")},
        {"line feed", [](PaymentData& p) { p.PayeeAccountName = L"J\nSmith"; }, 30, LedgerwayWith(5, "J Smith")},
        {"carriage return", [](PaymentData& p) { p.PayeeAccountName = L"J\rSmith"; }, 30, LedgerwayWith(5, "J Smith")},
        {"character above U+00FF", [](PaymentData& p) { p.PayeeAccountName = L"J. \u0141ee"; }, 30,
         LedgerwayWith(5, "J. ")},
    });
}

TEST_F(PaymentCheckTest, LedgerwayBenRef)
{
    RunLedgerway({
        {"roll number", [](PaymentData& p) { p.PayeeRollNumber = L"ab12"; }, 0, LedgerwayWith(9, "AB12")},
        {"payer name keeps its case", [](PaymentData& p) { p.PayerAccountName = L"acme ltd"; }, 0,
         LedgerwayWith(9, "acme ltd")},
        {"roll number any character", [](PaymentData& p) { p.PayeeRollNumber = L"ab#1"; }, 0, LedgerwayWith(9, "AB#1")},
        {"roll number with comma", [](PaymentData& p) { p.PayeeRollNumber = L"AB,12"; }, 31, LedgerwayWith(9, "AB 12")},
        {"roll number with line feed", [](PaymentData& p) { p.PayeeRollNumber = L"AB\n12"; }, 31,
         LedgerwayWith(9, "AB 12")},
        {"roll number above U+00FF", [](PaymentData& p) { p.PayeeRollNumber = L"ab\u014112"; }, 31,
         LedgerwayWith(9, "AB")},
        {"payer name with comma", [](PaymentData& p) { p.PayerAccountName = L"Acme, Ltd"; }, 25,
         LedgerwayWith(9, "Acme  Ltd")},
        {"payer name with return", [](PaymentData& p) { p.PayerAccountName = L"Acme\rLtd"; }, 25,
         LedgerwayWith(9, "Acme Ltd")},
        {"payer name above U+00FF", [](PaymentData& p) { p.PayerAccountName = L"Acme \u0141td"; }, 25,
         LedgerwayWith(9, "Acme ")},
        {"comma past the cut", [](PaymentData& p) { p.PayerAccountName = L"Acme Holdings Limited, UK"; }, 0,
         LedgerwayWith(9, "Acme Holdings Limi")},
    });
}

TEST_F(PaymentCheckTest, LedgerwayAmount)
{
    RunLedgerway({
        {"large", [](PaymentData& p) { p.Amount = 123456789.99; }, 0, LedgerwayWith(10, "123456789.99")},
        {"zero", [](PaymentData& p) { p.Amount = 0; }, 21, LedgerwayWith(10, "0.00")},
        {"negative", [](PaymentData& p) { p.Amount = -5; }, 21, LedgerwayWith(10, "-5.00")},
        {"infinity", [](PaymentData& p) { p.Amount = kInfinity; }, 21, LedgerwayWith(10, "inf")},
        {"not a number", [](PaymentData& p) { p.Amount = kNaN; }, 21, LedgerwayWith(10, "nan")},
        {"rounds to zero", [](PaymentData& p) { p.Amount = 0.004; }, 21, LedgerwayWith(10, "0.00")},
    });
}

TEST_F(PaymentCheckTest, LedgerwayLeavesNoTraces)
{
    PaymentData payment = LedgerwayExample();
    payment.PayeeBacsReference = L"x";
    payment.PayerAccountNumber = L"";
    payment.PayerSortCode = L"";
    payment.PayeeAccountNumber = L"";
    payment.PayeeSortCode = L"";
    payment.Amount = 0;
    const WrittenRecord written = Ledgerway(payment);
    EXPECT_EQ((std::vector<long>{0, 27, 24, 23, 29, 28, 21}), written.PutCodes);
    EXPECT_TRUE(written.Traces.empty());
}

namespace {

// before, a NUL, then after: a host text whose first zero is not its end.
std::wstring WithNul(const std::wstring& before, const std::wstring& after)
{
    return before + L'\0' + after;
}

}  // namespace

// Each check reads the host text's whole length: a NUL anywhere in a text fails its field, which is
// written up to the NUL.
TEST_F(PaymentCheckTest, ANulInATextFailsItsField)
{
    RunLintrove({
        {"payee sort code", [](PaymentData& p) { p.PayeeSortCode = WithNul(L"12-34-56", L"7"); }, 28,
         LintroveWith(0, "123456")},
        {"payee account number",
         [](PaymentData& p) { p.PayeeAccountNumber = WithNul(L"1234", L"5678"); },
         29,
         LintroveWith(1, "00001234"),
         {kAccountTrace}},
        {"payee name",
         [](PaymentData& p) { p.PayeeAccountName = WithNul(L"J. Smith & Co", L"X"); },
         30,
         LintroveWith(2, "J. SMITH & CO"),
         {kNameTrace}},
        {"roll number",
         [](PaymentData& p) { p.PayeeRollNumber = WithNul(L"AB12", L"34"); },
         31,
         LintroveWith(4, "AB12"),
         {kReferenceTrace}},
        {"BACS reference",
         [](PaymentData& p) { p.PayeeBacsReference = WithNul(L"inv 1001", L""); },
         27,
         LintroveWith(4, "INV 1001"),
         {kReferenceTrace}},
        // Past the 80 characters written, a NUL still counts.
        {"details past the cut", [](PaymentData& p) { p.Details = WithNul(std::wstring(80, L'd'), L"x"); }, 33,
         LintroveWith(5, std::string(80, 'd'))},
        {"RTI reference",
         [](PaymentData& p) {
             p.OffersRti = true;
             p.IsRti = 1;
             p.RtiReference = WithNul(L"/A1B", L"");
         },
         36, LintroveWith(5, "/A1B")},
    });
    RunLedgerway({
        {"bank reference", [](PaymentData& p) { p.PayeeBacsReference = WithNul(L"12", L""); }, 27,
         LedgerwayWith(1, "0012")},
        {"payer account number", [](PaymentData& p) { p.PayerAccountNumber = WithNul(L"8765", L"432"); }, 24,
         LedgerwayWith(2, "8765")},
        {"payer sort code", [](PaymentData& p) { p.PayerSortCode = WithNul(L"40-11-22", L""); }, 23,
         LedgerwayWith(4, "401122")},
        {"payee name", [](PaymentData& p) { p.PayeeAccountName = WithNul(L"J. Smith", L"x"); }, 30,
         LedgerwayWith(5, "J. Smith")},
        {"payee account number", [](PaymentData& p) { p.PayeeAccountNumber = WithNul(L"1234", L"567"); }, 29,
         LedgerwayWith(6, "1234")},
        {"payee sort code", [](PaymentData& p) { p.PayeeSortCode = WithNul(L"12-34-56", L"-"); }, 28,
         LedgerwayWith(8, "123456")},
        {"payer name", [](PaymentData& p) { p.PayerAccountName = WithNul(L"Acme Ltd", L""); }, 25,
         LedgerwayWith(9, "Acme Ltd")},
        {"roll number", [](PaymentData& p) { p.PayeeRollNumber = WithNul(L"ab", L"12"); }, 31, LedgerwayWith(9, "AB")},
    });
}
