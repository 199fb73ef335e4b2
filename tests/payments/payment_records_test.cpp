// Payment-file records byte for byte, and the calls each record makes on the host payment.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tests/payments/payment_record_harness.h"

using standin::Failure;
using standin::PaymentBatch;
using standin::PaymentData;

namespace {

std::vector<std::string> PaymentCalls(std::initializer_list<const char*> members)
{
    std::vector<std::string> calls;
    for (const char* member : members)
        calls.push_back(std::string("Payment[0].") + member);
    return calls;
}

class LintroveRecordTest : public PaymentRecordTest {};
class LedgerwayRecordTest : public PaymentRecordTest {};

}  // namespace

TEST_F(LintroveRecordTest, ExampleRecord)
{
    const WrittenRecord written = Lintrove(LintroveExample());
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,March invoice\r\n", written.Bytes);
    EXPECT_TRUE(written.Valid);
    EXPECT_EQ(0, written.ResultCode);
    EXPECT_TRUE(written.Traces.empty());
}

TEST_F(LintroveRecordTest, GettersAreCalledOnceEachInFieldOrder)
{
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeSortCode", "get_PayeeAccountNumber", "get_PayeeAccountName",
                            "get_Amount", "get_PayeeRollNumber", "get_PayeeBacsReference",
                            "QueryInterface(ITolvarBankPayment2)", "get_Details"}),
              Lintrove(LintroveExample()).Calls);

    // With a roll number the BACS reference is not asked for.
    PaymentData payment = LintroveExample();
    payment.PayeeRollNumber = L"ab12";
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeSortCode", "get_PayeeAccountNumber", "get_PayeeAccountName",
                            "get_Amount", "get_PayeeRollNumber", "QueryInterface(ITolvarBankPayment2)", "get_Details"}),
              Lintrove(payment).Calls);

    // An RTI payment gives its RTI reference instead of the details.
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/A1B";
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeSortCode", "get_PayeeAccountNumber", "get_PayeeAccountName",
                            "get_Amount", "get_PayeeRollNumber", "QueryInterface(ITolvarBankPayment2)", "get_IsRti",
                            "get_RtiReference"}),
              Lintrove(payment).Calls);

    // A payment that could be RTI but is not.
    payment.IsRti = 0;
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeSortCode", "get_PayeeAccountNumber", "get_PayeeAccountName",
                            "get_Amount", "get_PayeeRollNumber", "QueryInterface(ITolvarBankPayment2)", "get_IsRti",
                            "get_Details"}),
              Lintrove(payment).Calls);
}

TEST_F(LintroveRecordTest, FieldFormatting)
{
    PaymentData payment = LintroveExample();
    payment.PayeeAccountName = L"a very long payee name of thirty";  // 32 characters
    payment.PayeeRollNumber = L"ab12";
    payment.Details = std::wstring(79, L'd') + L"XYZ";
    EXPECT_EQ("123456,01234567,A VERY LONG PAYEE ,1234.50,AB12," + std::string(79, 'd') + "X\r\n",
              Lintrove(payment).Bytes);

    // Trailing spaces of the name stay inside the 18 characters; the account loses its own.
    payment = LintroveExample();
    payment.PayeeAccountName = L"Ann Lee       ";
    payment.PayeeAccountNumber = L"123   ";
    payment.PayeeBacsReference = L"";
    payment.Details = L"";
    EXPECT_EQ("123456,00000123,ANN LEE       ,1234.50,,\r\n", Lintrove(payment).Bytes);

    // Sort code digits as they come; the details keep their case.
    payment = LintroveExample();
    payment.PayeeSortCode = L"12-34-5X";
    payment.Details = L"Mixed Case details";
    EXPECT_EQ("12345,01234567,J. SMITH & CO,1234.50,INV 1001,Mixed Case details\r\n", Lintrove(payment).Bytes);
}

// The account number: trailing spaces dropped, then zeros in front up to eight characters (never
// spaces, and a longer text whole); the name and reference: only a to z upper-cased.
TEST_F(LintroveRecordTest, ZeroPaddingAndUpperCasing)
{
    const struct {
        const wchar_t* Account;
        const char* Field;
    } accounts[] = {{L"1234567  ", "01234567"}, {L"   ", "00000000"},        {L" 1234567", " 1234567"},
                    {L" 123456", "0 123456"},   {L"123456789", "123456789"}, {L"", "00000000"}};
    for (const auto& account : accounts) {
        PaymentData payment = LintroveExample();
        payment.PayeeAccountNumber = account.Account;
        EXPECT_EQ("123456," + std::string(account.Field) + ",J. SMITH & CO,1234.50,INV 1001,March invoice\r\n",
                  Lintrove(payment).Bytes);
    }

    PaymentData payment = LintroveExample();
    payment.PayeeAccountName = L"j. smith & co \u00E9\u00FF-z";
    payment.PayeeBacsReference = L"inv-\u00E9a/z";
    EXPECT_EQ("123456,01234567,J. SMITH & CO \xE9\xFF-Z,1234.50,INV-\xE9"
              "A/Z,March invoice\r\n",
              Lintrove(payment).Bytes);
}

TEST_F(LintroveRecordTest, AmountIsCutToElevenCharacters)
{
    PaymentData payment = LintroveExample();
    payment.Amount = 123456789.99;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,123456789.9,INV 1001,March invoice\r\n", Lintrove(payment).Bytes);
    payment.Amount = 2.675;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,2.67,INV 1001,March invoice\r\n", Lintrove(payment).Bytes);
    payment.Amount = 0.125;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,0.12,INV 1001,March invoice\r\n", Lintrove(payment).Bytes);
    payment.Amount = -5;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,-5.00,INV 1001,March invoice\r\n", Lintrove(payment).Bytes);
    payment.Amount = std::numeric_limits<double>::infinity();
    EXPECT_EQ("123456,01234567,J. SMITH & CO,inf,INV 1001,March invoice\r\n", Lintrove(payment).Bytes);
}

TEST_F(LintroveRecordTest, RtiReferenceIsPaddedToFourCharacters)
{
    PaymentData payment = LintroveExample();
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/A1B";
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/A1B\r\n", Lintrove(payment).Bytes);
    payment.RtiReference = L"/AB";
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/AB \r\n", Lintrove(payment).Bytes);
    payment.RtiReference = L"/ABCD";
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/ABCD\r\n", Lintrove(payment).Bytes);
    payment.RtiReference = L"";
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,    \r\n", Lintrove(payment).Bytes);
}

// The one field without a bound: a record longer than the writer gathers goes out in pieces, still
// one line, its line breaks spaces, and is counted once.
TEST_F(LintroveRecordTest, ARecordLongerThanTheWritersBufferIsOneLine)
{
    PaymentData payment = LintroveExample();
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/" + std::wstring(6000, L'R') + L"\r\n" + std::wstring(3000, L'S');
    const WrittenRecord written = Lintrove(payment);
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/" + std::string(6000, 'R') + "  " +
                  std::string(3000, 'S') + "\r\n",
              written.Bytes);
    EXPECT_FALSE(written.Valid);
    EXPECT_EQ(1, written.Totals.Records);
    EXPECT_EQ(1, written.Totals.FailedRecords);
}

TEST_F(LintroveRecordTest, RtiReferenceTheCodePageCannotHoldIsInvalid)
{
    PaymentData payment = LintroveExample();
    payment.OffersRti = true;
    payment.IsRti = 1;
    // The euro sign is a character of the ANSI code page: the reference passes as it is.
    payment.RtiReference = L"/AB\u20AC";
    WrittenRecord written = Lintrove(payment);
    EXPECT_TRUE(written.Valid);
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/AB\x80\r\n", written.Bytes);
    // Characters the code page replaces (by "?" or a look-alike) would send another reference.
    for (const wchar_t* reference : {L"/AB\u9AAC", L"/AB\u0141", L"/A\u2126B"}) {
        payment.RtiReference = reference;
        written = Lintrove(payment);
        EXPECT_FALSE(written.Valid) << Narrow(reference);
        EXPECT_EQ(36, written.ResultCode) << Narrow(reference);
    }
    // Nor may a zero character hide the rest of the host's text.
    payment.RtiReference = std::wstring(L"/ABC\0X", 6);
    written = Lintrove(payment);
    EXPECT_FALSE(written.Valid);
    EXPECT_EQ(36, written.ResultCode);
}

TEST_F(LintroveRecordTest, HostTextsAreWrittenUnquotedWithTheirCommasAsSpaces)
{
    PaymentData payment = LintroveExample();
    payment.PayeeAccountName = L"Smith, J";
    payment.PayeeRollNumber = L"AB,12";
    EXPECT_EQ("123456,01234567,SMITH  J,1234.50,AB 12,March invoice\r\n", Lintrove(payment).Bytes);
}

TEST_F(LintroveRecordTest, FailingGettersCountAsEmptyTextsAndZero)
{
    const WrittenRecord written = Lintrove(LintroveExample(), [](PaymentBatch& batch) {
        for (const char* member : {"get_PayeeSortCode", "get_PayeeAccountNumber", "get_PayeeAccountName", "get_Amount",
                                   "get_PayeeRollNumber", "get_PayeeBacsReference", "get_Details"})
            batch.Payment(0).FailOn(member, Failure{E_FAIL, L"Not available"});
    });
    EXPECT_EQ(","
              "00000000"
              ","
              ","
              "0.00"
              ","
              ","
              "\r\n",
              written.Bytes);
    EXPECT_FALSE(written.Valid);
    EXPECT_EQ((std::vector<long>{0, 28, 29, 30, 21}), written.PutCodes);
    // Every getter was still called once, in order.
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeSortCode", "put_ResultCode(28)", "get_PayeeAccountNumber",
                            "put_ResultCode(29)", "get_PayeeAccountName", "put_ResultCode(30)", "get_Amount",
                            "put_ResultCode(21)", "get_PayeeRollNumber", "get_PayeeBacsReference",
                            "QueryInterface(ITolvarBankPayment2)", "get_Details"}),
              written.Calls);
}

TEST_F(LintroveRecordTest, FailingRtiGettersFallBackToTheDetails)
{
    PaymentData payment = LintroveExample();
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/A1B";
    const WrittenRecord written = Lintrove(payment, [](PaymentBatch& batch) {
        batch.Payment(0).FailOn("get_IsRti", Failure{E_FAIL, L""});
    });
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,March invoice\r\n", written.Bytes);

    const WrittenRecord noReference = Lintrove(payment, [](PaymentBatch& batch) {
        batch.Payment(0).FailOn("get_RtiReference", Failure{E_FAIL, L""});
    });
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,    \r\n", noReference.Bytes);
    EXPECT_EQ(36, noReference.ResultCode);
}

TEST_F(LintroveRecordTest, HostTextsLongerThanTheConversionBufferAreCut)
{
    PaymentData payment = LintroveExample();
    payment.PayeeAccountName = std::wstring(1000, L'n');
    payment.PayeeRollNumber = std::wstring(1000, L'r');
    payment.Details = std::wstring(1000, L'd');
    payment.PayeeAccountNumber = std::wstring(1000, L'1');
    payment.PayeeSortCode = std::wstring(1000, L'2');
    const WrittenRecord written = Lintrove(payment);
    // The digit texts stop at 255 characters; names and references at their field widths.
    EXPECT_EQ(std::string(255, '2') + "," + std::string(255, '1') + "," + std::string(18, 'N') + ",1234.50," +
                  std::string(18, 'R') + "," + std::string(80, 'd') + "\r\n",
              written.Bytes);
    EXPECT_EQ((std::vector<long>{0, 28, 29}), written.PutCodes);
}

TEST_F(LedgerwayRecordTest, ExampleRecordAfterTheHeader)
{
    const WrittenRecord written = Ledgerway(LedgerwayExample(), {}, true);
    EXPECT_EQ("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n"
              "07/12/2026,0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,Y\r\n",
              written.Bytes);
    EXPECT_TRUE(written.Valid);
    EXPECT_EQ(0, written.ResultCode);
    EXPECT_TRUE(written.Traces.empty());
}

TEST_F(LedgerwayRecordTest, GettersAreCalledOnceEachInFieldOrder)
{
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeBacsReference", "get_PayerAccountNumber",
                            "get_PayerSortCode", "get_PayeeAccountName", "get_PayeeAccountNumber", "get_PayeeSortCode",
                            "get_PayeeRollNumber", "get_PayerAccountName", "get_Amount"}),
              Ledgerway(LedgerwayExample()).Calls);

    // No payer account name with a roll number, and nothing from the RTI interface.
    PaymentData payment = LedgerwayExample();
    payment.PayeeRollNumber = L"ab12";
    payment.OffersRti = true;
    payment.IsRti = 1;
    payment.RtiReference = L"/A1B";
    EXPECT_EQ(PaymentCalls({"put_ResultCode(0)", "get_PayeeBacsReference", "get_PayerAccountNumber",
                            "get_PayerSortCode", "get_PayeeAccountName", "get_PayeeAccountNumber", "get_PayeeSortCode",
                            "get_PayeeRollNumber", "get_Amount"}),
              Ledgerway(payment).Calls);
}

TEST_F(LedgerwayRecordTest, FieldFormatting)
{
    PaymentData payment = LedgerwayExample();
    payment.PayeeBacsReference = L"";
    payment.PayeeRollNumber = L"ab12";
    payment.PayeeAccountName = L"a payee name of exactly thirty";
    payment.PayeeAccountNumber = L"1234567";
    payment.Amount = 123456789.99;
    EXPECT_EQ(
        "07/12/2026,0000,87654321,00,401122,a payee name of exactly thirty,1234567,00,123456,AB12,123456789.99,N\r\n",
        Ledgerway(payment, {}, false, "07/12/2026", 'N').Bytes);

    // A long bank reference is written whole; the payer account name keeps its case, cut to 18.
    payment = LedgerwayExample();
    payment.PayeeBacsReference = L"12345";
    payment.PayerAccountName = L"Acme Holdings and Trading Ltd";
    payment.PayeeSortCode = L"12-34-5X";
    EXPECT_EQ("07/12/2026,12345,87654321,00,401122,J. Smith,12345678,00,12345,Acme Holdings and ,99.90,Y\r\n",
              Ledgerway(payment).Bytes);

    // Account numbers go in as the host gave them.
    payment = LedgerwayExample();
    payment.PayerAccountNumber = L"ABCDEFGH";
    payment.PayeeAccountNumber = L" 1234567";
    payment.PayeeBacsReference = L"7";
    EXPECT_EQ("07/12/2026,0007,ABCDEFGH,00,401122,J. Smith, 1234567,00,123456,Acme Ltd,99.90,Y\r\n",
              Ledgerway(payment).Bytes);
}

// A bank reference of up to four characters gets zeros (never spaces) in front up to four.
TEST_F(LedgerwayRecordTest, BankReferenceZeroPadding)
{
    for (const auto& reference : {std::pair<const wchar_t*, const char*>{L"", "0000"},
                                  {L"12", "0012"},
                                  {L" A", "00 A"},
                                  {L"1234", "1234"},
                                  {L"12345", "12345"}}) {
        PaymentData payment = LedgerwayExample();
        payment.PayeeBacsReference = reference.first;
        EXPECT_EQ("07/12/2026," + std::string(reference.second) +
                      ",87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,Y\r\n",
                  Ledgerway(payment).Bytes);
    }
}

TEST_F(LedgerwayRecordTest, AmountIsWrittenWhole)
{
    PaymentData payment = LedgerwayExample();
    for (const auto& [amount, text] : std::vector<std::pair<double, std::string>>{{1234.5, "1234.50"},
                                                                                  {1.005, "1.00"},
                                                                                  {2.675, "2.67"},
                                                                                  {0.125, "0.12"},
                                                                                  {-5, "-5.00"},
                                                                                  {1e11, "100000000000.00"}}) {
        payment.Amount = amount;
        EXPECT_EQ("07/12/2026,0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd," + text + ",Y\r\n",
                  Ledgerway(payment).Bytes)
            << amount;
    }
}

TEST_F(LintroveRecordTest, TheFilesWriterCountsTheRecordWithItsAmountAsWritten)
{
    PaymentData payment = LintroveExample();
    payment.Amount = 123456789.99;  // written cut: "123456789.9"
    const WrittenRecord written = Lintrove(payment);
    EXPECT_EQ("123456,01234567,J. SMITH & CO,123456789.9,INV 1001,March invoice", written.Record());
    EXPECT_FALSE(written.Valid);
    EXPECT_EQ(1, written.Totals.Records);
    EXPECT_EQ(1, written.Totals.FailedRecords);
    EXPECT_EQ(12345678990LL, written.Totals.TotalPence);

    const WrittenRecord ledgerway = Ledgerway(LedgerwayExample(), {}, true);
    EXPECT_TRUE(ledgerway.Valid);
    EXPECT_EQ(1, ledgerway.Totals.Records);  // the header is no record
    EXPECT_EQ(0, ledgerway.Totals.FailedRecords);
    EXPECT_EQ(9990LL, ledgerway.Totals.TotalPence);
}

TEST_F(LedgerwayRecordTest, HeaderWithoutRecords)
{
    TemporaryFile path;
    FILE* file = std::fopen(path.Path().c_str(), "wb");
    ASSERT_NE(nullptr, file);
    {
        PaymentFileWriter writer(file);
        WriteLedgerwayHeader(writer);
        EXPECT_TRUE(writer.Finish());
        EXPECT_EQ(0, writer.Totals().Records);  // a header is no record
    }
    std::fclose(file);
    EXPECT_EQ("DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n",
              path.Bytes());
}

TEST_F(LedgerwayRecordTest, FailingGettersCountAsEmptyTextsAndZero)
{
    const WrittenRecord written = Ledgerway(LedgerwayExample(), [](PaymentBatch& batch) {
        for (const char* member : {"get_PayeeBacsReference", "get_PayerAccountNumber", "get_PayerSortCode",
                                   "get_PayeeAccountName", "get_PayeeAccountNumber", "get_PayeeSortCode",
                                   "get_PayeeRollNumber", "get_PayerAccountName", "get_Amount"})
            batch.Payment(0).FailOn(member, Failure{E_FAIL, L""});
    });
    EXPECT_EQ("07/12/2026,0000,,00,,,,00,,,0.00,Y\r\n", written.Bytes);
    EXPECT_EQ((std::vector<long>{0, 24, 23, 29, 28, 21}), written.PutCodes);
    EXPECT_FALSE(written.Valid);
}

TEST_F(LedgerwayRecordTest, HostTextsLongerThanTheConversionBufferAreCut)
{
    PaymentData payment = LedgerwayExample();
    payment.PayeeAccountName = std::wstring(1000, L'n');
    payment.PayerAccountName = std::wstring(1000, L'p');
    const WrittenRecord written = Ledgerway(payment);
    EXPECT_EQ("07/12/2026,0012,87654321,00,401122," + std::string(255, 'n') + ",12345678,00,123456," +
                  std::string(18, 'p') + ",99.90,Y\r\n",
              written.Bytes);
}

TEST_F(LintroveRecordTest, NoFileIsRefusedBeforeAnyCallOnThePayment)
{
    auto log = std::make_shared<CallLog>();
    PaymentBatch batch(log);
    batch.Add(LintroveExample());
    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
    log->Clear();
    // The records and the header are written through the file's writer, which refuses no file.
    EXPECT_THROW(PaymentFileWriter(nullptr), HRESULT);
    EXPECT_TRUE(log->Calls().empty()) << log->Text();
}

TEST_F(LintroveRecordTest, OnlyTheDetailsThatGoIntoTheFileAreChecked)
{
    // A character the code page cannot hold past the cut is never written: the payment is valid.
    standin::PaymentData payment = LintroveExample();
    payment.Details = std::wstring(80, L'd') + L"\u0141, more\nlines";
    const WrittenRecord written = Lintrove(payment);
    EXPECT_TRUE(written.Valid);
    EXPECT_EQ(0, written.ResultCode);
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001," + std::string(80, 'd') + "\r\n", written.Bytes);

    payment.Details = std::wstring(79, L'd') + L"\u0141";
    EXPECT_EQ(33, Lintrove(payment).ResultCode);
}

TEST_F(LedgerwayRecordTest, OnlyTheBenRefThatGoesIntoTheFileIsChecked)
{
    standin::PaymentData payment = LedgerwayExample();
    payment.PayerAccountName = std::wstring(18, L'A') + L"\u0141,\r\n";
    const WrittenRecord written = Ledgerway(payment);
    EXPECT_TRUE(written.Valid);
    EXPECT_EQ(0, written.ResultCode);
    EXPECT_NE(std::string::npos, written.Bytes.find("," + std::string(18, 'A') + ",99.90,")) << written.Bytes;

    payment.PayerAccountName = std::wstring(17, L'A') + L"\u0141";
    EXPECT_NE(0, Ledgerway(payment).ResultCode);
}

// The notes the summary keeps of each payment written: every payment's texts as the host gave
// them, however long, whatever they hold, when the notes' block had to grow between them.
TEST(PaymentNotesTest, EachPaymentKeepsItsOwnTextsAcrossGrowthAndClearing)
{
    PaymentNotes notes;
    const std::wstring awkward(L"A, B\r\nC\0D\x7f", 10);
    const std::wstring longName(9000, L'\x00e9');  // more than the first room, twice over
    for (int round = 0; round < 2; ++round) {
        notes.Clear();
        notes.Start();
        notes.Keep(PaymentNote::PayeeName, awkward.data(), awkward.size());
        notes.Keep(PaymentNote::PayeeSortCode, L"12-34-56", 8);
        notes.Last().Amount = 0.1;
        notes.Last().ResultCode = 7;
        notes.Start();
        notes.Keep(PaymentNote::PayeeName, longName.data(), longName.size());
        notes.Keep(PaymentNote::PayeeRollNumber, L"", 0);
        notes.Start();
        notes.Keep(PaymentNote::PayeeAccountNumber, longName.data(), longName.size());
        notes.Keep(PaymentNote::PayeeName, L"Last", 4);

        ASSERT_EQ(3u, notes.Size());
        EXPECT_EQ(awkward, notes.Text(notes[0], PaymentNote::PayeeName));
        EXPECT_EQ(L"12-34-56", notes.Text(notes[0], PaymentNote::PayeeSortCode));
        EXPECT_EQ(L"", notes.Text(notes[0], PaymentNote::PayeeAccountNumber));  // never read: empty
        EXPECT_EQ(0.1, notes[0].Amount);
        EXPECT_EQ(7, notes[0].ResultCode);
        EXPECT_EQ(longName, notes.Text(notes[1], PaymentNote::PayeeName));
        EXPECT_EQ(0, notes[1].ResultCode);  // a started note keeps nothing of the one before
        EXPECT_EQ(L"", notes.Text(notes[1], PaymentNote::PayeeRollNumber));
        EXPECT_EQ(longName, notes.Text(notes[2], PaymentNote::PayeeAccountNumber));
        EXPECT_EQ(L"Last", notes.Text(notes[2], PaymentNote::PayeeName));
    }
}

TEST(PaymentNotesTest, ThePayeeOfANoteIsWhatTheCheckCompares)
{
    PaymentNotes notes;
    notes.Start();
    const std::wstring name = L"Caf\x00e9 Ltd";
    notes.Keep(PaymentNote::PayeeName, name.data(), name.size());
    notes.Keep(PaymentNote::PayeeSortCode, L"12-34 56", 8);
    notes.Keep(PaymentNote::PayeeAccountNumber, L"1234567", 7);
    notes.Keep(PaymentNote::PayeeRollNumber, L"  ab/12 c ", 10);
    NotedPayee payee;
    PayeeOf(notes, 0, payee);
    EXPECT_EQ("Caf\xc3\xa9 Ltd", payee.Name);
    EXPECT_EQ("123456", payee.Details.SortCode);
    EXPECT_EQ("01234567", payee.Details.AccountNumber);
    EXPECT_EQ("AB/12 C", payee.Details.RollNumber);
}
