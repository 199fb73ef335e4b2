// A host text can neither add a payment nor shift a field, through the registered module as the
// host uses it: in both layouts and in the RTI reference, each payment is one line of its layout's
// fields whatever its texts hold (a comma, CR or LF in a text is written as a space), and each
// payment keeps the result code its checks give.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/registered_bank.h"
#include "tests/support/sample_payment.h"

using standin::PaymentData;

namespace {

const char kLintroveValid[] = "123456,12345678,J. SMITH,10.50,12,Invoice";
const char kLedgerwayHeader[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq";
// A Ledgerway record of ValidPayment after its debit date.
const char kLedgerwayValid[] = ",0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,10.50,N";

// A payment as the host holds it, with one of its texts changed.
struct Changed {
    std::wstring PaymentData::*Text;
    std::wstring Value;
    long Code;           // the result code the payment must end with
    std::string Record;  // the line it must be written as (Ledgerway: after the debit date)
};

// The bytes as `cat -A` shows them: a CR as ^M, each line end as $.
std::string Shown(const std::string& bytes)
{
    std::string shown;
    for (char c : bytes) {
        if (c == '\r')
            shown += "^M";
        else if (c == '\n')
            shown += "$\n";
        else
            shown += c;
    }
    return shown;
}

}  // namespace

class PaymentRecordLinesTest : public RegisteredBankTest {
protected:
    // Exports the batch and returns the file's lines: every line ends with CR LF and holds the
    // layout's field count, and there is one line per payment after the header.
    std::vector<std::string> ExportLines(standin::PaymentBatch& batch, ExportLayout layout, long payments,
                                         HRESULT expected)
    {
        const ModuleRun run = Export(batch, nullptr, layout);
        EXPECT_EQ(expected, run.Result);
        EXPECT_EQ(expected == S_OK ? 0 : 1, run.Status);
        EXPECT_FALSE(run.WindowTrouble);
        bytes_ = ReadBytes(PaymentPath());
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLfLines(bytes_, lines)) << Shown(bytes_);
        const bool ledgerway = layout == ExportLayout::Ledgerway;
        EXPECT_EQ(static_cast<size_t>(payments + (ledgerway ? 1 : 0)), lines.size()) << Shown(bytes_);
        for (const std::string& line : lines)
            EXPECT_EQ(ledgerway ? 12u : 6u, CountFields(line)) << line;
        if (ledgerway && !lines.empty()) {
            EXPECT_EQ(kLedgerwayHeader, lines.front());
            lines.erase(lines.begin());
        }
        return lines;
    }

    // One payment per change, each from ValidPayment; every line as expected, every code.
    void ExpectChangedPayments(ExportLayout layout, const std::vector<Changed>& changes, bool rti = false)
    {
        standin::PaymentBatch batch(log_);
        for (const Changed& change : changes) {
            PaymentData payment = ValidPayment();
            if (rti) {
                payment.OffersRti = true;
                payment.IsRti = 1;
            }
            payment.*change.Text = change.Value;
            batch.Add(payment);
        }
        const std::vector<std::string> lines = ExportLines(batch, layout, static_cast<long>(changes.size()), S_FALSE);
        for (size_t i = 0; i < changes.size() && i < lines.size(); ++i) {
            SCOPED_TRACE("payment " + std::to_string(i + 1) + ": " + changes[i].Record);
            EXPECT_EQ(changes[i].Code, batch.ResultCode(static_cast<long>(i)));
            // Ledgerway: the run's debit date, then the fields.
            const std::string line = layout == ExportLayout::Ledgerway ? lines[i].substr(10) : lines[i];
            EXPECT_EQ(changes[i].Record, line);
        }
    }

    std::string bytes_;
};

// The forged record: a payment whose text ends its line and starts another, well-formed payment.
TEST_F(PaymentRecordLinesTest, AForgedRecordStaysInsideThePaymentThatCarriesIt)
{
    standin::PaymentBatch lintrove(log_);
    PaymentData forged = ValidPayment();
    forged.Details = L"March\r\n999999,87654321,FORGED PAYEE,9500.00,REF,x";
    lintrove.Add(forged);
    lintrove.Add(ValidPayment());

    ExportLines(lintrove, ExportLayout::Lintrove, 2, S_FALSE);
    EXPECT_EQ("123456,12345678,J. SMITH,10.50,12,March  999999 87654321 FORGED PAYEE 9500.00 REF x\r\n" +
                  std::string(kLintroveValid) + "\r\n",
              bytes_);
    EXPECT_EQ(33, lintrove.ResultCode(0));
    EXPECT_EQ(0, lintrove.ResultCode(1));
    std::printf("Forged record in the details, Lintrove file (cat -A):\n%s", Shown(bytes_).c_str());

    standin::PaymentBatch ledgerway(log_);
    forged = ValidPayment();
    forged.PayeeAccountName =
        L"J. Smith\r\n01/01/2027,0012,87654321,00,401122,FORGED PAYEE,99999999,00,999999,REF,9500.00,N";
    ledgerway.Add(forged);
    ledgerway.Add(ValidPayment());

    const std::vector<std::string> lines = ExportLines(ledgerway, ExportLayout::Ledgerway, 2, S_FALSE);
    std::printf("Forged record in the payee name, Ledgerway file (cat -A):\n%s", Shown(bytes_).c_str());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(",0012,87654321,00,401122,J. Smith  01/01/2027 0012 87654321 00 401122 FORGED PAYEE 99999999 00 "
              "999999 REF 9500.00 N,12345678,00,123456,Acme Ltd,10.50,N",
              lines[0].substr(10));
    EXPECT_EQ(kLedgerwayValid, lines[1].substr(10));
    EXPECT_EQ(lines[0].substr(0, 10), lines[1].substr(0, 10));
    EXPECT_EQ(30, ledgerway.ResultCode(0));
    EXPECT_EQ(0, ledgerway.ResultCode(1));
}

// A comma in each text field; each payment keeps the code its checks give (a sort code's
// separators are not digits and are dropped, so a comma there passes).
TEST_F(PaymentRecordLinesTest, ACommaInAnyLintroveTextMovesNoField)
{
    ExpectChangedPayments(
        ExportLayout::Lintrove,
        {
            {&PaymentData::PayeeSortCode, L"12,34,56", 0, kLintroveValid},
            {&PaymentData::PayeeAccountNumber, L"1234,678", 29, "123456,1234 678,J. SMITH,10.50,12,Invoice"},
            {&PaymentData::PayeeAccountName, L"Smith, 9999.00", 30, "123456,12345678,SMITH  9999.00,10.50,12,Invoice"},
            {&PaymentData::PayeeRollNumber, L"AB,12", 31, "123456,12345678,J. SMITH,10.50,AB 12,Invoice"},
            {&PaymentData::PayeeBacsReference, L"INV,1", 27, "123456,12345678,J. SMITH,10.50,INV 1,Invoice"},
            {&PaymentData::Details, L"March, April", 33, "123456,12345678,J. SMITH,10.50,12,March  April"},
        });
}

TEST_F(PaymentRecordLinesTest, ACommaInAnyLedgerwayTextMovesNoField)
{
    ExpectChangedPayments(ExportLayout::Ledgerway,
                          {
                              {&PaymentData::PayeeBacsReference, L"1,2", 27,
                               ",01 2,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,10.50,N"},
                              {&PaymentData::PayerAccountNumber, L"8765,321", 24,
                               ",0012,8765 321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,10.50,N"},
                              {&PaymentData::PayerSortCode, L"40,11,22", 0, kLedgerwayValid},
                              {&PaymentData::PayeeAccountName, L"Smith, 9999.00", 30,
                               ",0012,87654321,00,401122,Smith  9999.00,12345678,00,123456,Acme Ltd,10.50,N"},
                              {&PaymentData::PayeeAccountNumber, L"1234,678", 29,
                               ",0012,87654321,00,401122,J. Smith,1234 678,00,123456,Acme Ltd,10.50,N"},
                              {&PaymentData::PayeeSortCode, L"12,34,56", 0, kLedgerwayValid},
                              {&PaymentData::PayeeRollNumber, L"AB,12", 31,
                               ",0012,87654321,00,401122,J. Smith,12345678,00,123456,AB 12,10.50,N"},
                              {&PaymentData::PayerAccountName, L"Acme, Ltd", 25,
                               ",0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme  Ltd,10.50,N"},
                          });
}

TEST_F(PaymentRecordLinesTest, ACommaOrLineEndInAnRtiReferenceMovesNoField)
{
    ExpectChangedPayments(
        ExportLayout::OfferedByRtiHost,
        {
            {&PaymentData::RtiReference, L"/A1B", 0, "123456,12345678,J. SMITH,10.50,12,/A1B"},
            {&PaymentData::RtiReference, L"/A,B", 36, "123456,12345678,J. SMITH,10.50,12,/A B"},
            {&PaymentData::RtiReference, L"/A\r\n", 36, "123456,12345678,J. SMITH,10.50,12,/A  "},
            {&PaymentData::RtiReference, L",\n1,2,3", 36, "123456,12345678,J. SMITH,10.50,12,  1 2 3"},
        },
        true);
}

// A NUL hides nothing from the checks: the payee account number 1234 NUL 5678 is nine characters.
TEST_F(PaymentRecordLinesTest, ANulInAnAccountNumberFailsItsCheck)
{
    standin::PaymentBatch batch(log_);
    PaymentData payment = ValidPayment();
    payment.PayeeAccountNumber = std::wstring(L"1234\0"
                                              L"5678",
                                              9);
    batch.Add(payment);
    const std::vector<std::string> lines = ExportLines(batch, ExportLayout::Lintrove, 1, S_FALSE);
    EXPECT_EQ(29, batch.ResultCode(0));
    EXPECT_EQ((std::vector<std::string>{"123456,00001234,J. SMITH,10.50,12,Invoice"}), lines);
}
