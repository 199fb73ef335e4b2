// The record writers over a plain payment source, without the host's objects: the same bytes and
// result codes as in the DLL, on the POSIX platform services (Windows-1252).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "payments/payment_checks.h"
#include "payments/payment_records.h"

namespace {

class PlainPayment final : public PaymentValues {
public:
    std::map<PaymentText, std::u16string> Texts;
    double Amount = 0;
    bool Rti = false;
    std::vector<long> Codes;

    PaymentTextView Read(PaymentText which) override
    {
        const std::u16string& text = Texts[which];
        return {reinterpret_cast<const platform::WideChar*>(text.c_str()), text.size()};
    }
    double ReadAmount() override { return Amount; }
    bool IsRtiPayment() override { return Rti; }
    void PutResultCode(long code) override { Codes.push_back(code); }
    void PutRtiResultCode(long code) override { Codes.push_back(code); }
};

// The record the writer wrote, without the CR LF that ends its line ("<no CR LF>" when none does).
template <class Writer>
std::string Written(Writer&& write, bool* valid)
{
    std::FILE* file = std::tmpfile();
    {
        PaymentFileWriter writer(file);
        *valid = write(writer);
        writer.Finish();
    }
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes += static_cast<char>(c);
    std::fclose(file);
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        return "<no CR LF>" + bytes;
    return bytes.substr(0, bytes.size() - 2);
}

PlainPayment LintroveExample()
{
    PlainPayment payment;
    payment.Texts[PaymentText::PayeeSortCode] = u"12-34-56";
    payment.Texts[PaymentText::PayeeAccountNumber] = u"1234567";
    payment.Texts[PaymentText::PayeeAccountName] = u"J. Smith & Co";
    payment.Texts[PaymentText::PayeeBacsReference] = u"inv 1001";
    payment.Texts[PaymentText::Details] = u"March invoice";
    payment.Amount = 1234.5;
    return payment;
}

std::string Lintrove(PlainPayment& payment, bool* valid)
{
    return Written([&](PaymentFileWriter& file) { return WriteLintroveRecord(file, payment); }, valid);
}

}  // namespace

TEST(NativePaymentRecordTest, LintroveRecordAsInTheModule)
{
    PlainPayment payment = LintroveExample();
    bool valid = false;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,March invoice", Lintrove(payment, &valid));
    EXPECT_TRUE(valid);
    EXPECT_EQ(std::vector<long>{0}, payment.Codes);
}

TEST(NativePaymentRecordTest, LedgerwayRecordAsInTheModule)
{
    PlainPayment payment;
    payment.Texts[PaymentText::PayeeBacsReference] = u"12";
    payment.Texts[PaymentText::PayerAccountNumber] = u"87654321";
    payment.Texts[PaymentText::PayerSortCode] = u"40-11-22";
    payment.Texts[PaymentText::PayeeAccountName] = u"J. Smith";
    payment.Texts[PaymentText::PayeeAccountNumber] = u"12345678";
    payment.Texts[PaymentText::PayeeSortCode] = u"123456";
    payment.Texts[PaymentText::PayerAccountName] = u"Acme Ltd";
    payment.Amount = 99.9;
    bool valid = false;
    EXPECT_EQ(
        "07/12/2026,0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,Y",
        Written(
            [&](PaymentFileWriter& file) { return WriteLedgerwayRecord(file, payment, CString("07/12/2026"), 'Y'); },
            &valid));
    EXPECT_TRUE(valid);
}

TEST(NativePaymentRecordTest, DetailsAreCheckedOnTheirWrittenPart)
{
    PlainPayment payment = LintroveExample();
    payment.Texts[PaymentText::Details] = std::u16string(80, u'a') + u"\u0141";
    bool valid = false;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001," + std::string(80, 'a'), Lintrove(payment, &valid));
    EXPECT_TRUE(valid);
    payment.Texts[PaymentText::Details] = std::u16string(79, u'a') + u"\u0141";
    payment.Codes.clear();
    Lintrove(payment, &valid);
    EXPECT_FALSE(valid);
    EXPECT_EQ((std::vector<long>{0, kInvalidDetails}), payment.Codes);
}

TEST(NativePaymentRecordTest, RtiReferenceMustSurviveTheCodePage)
{
    PlainPayment payment = LintroveExample();
    payment.Rti = true;
    payment.Texts[PaymentText::RtiReference] = u"/AB\u20AC";  // the euro is byte 0x80 in Windows-1252
    bool valid = false;
    EXPECT_EQ("123456,01234567,J. SMITH & CO,1234.50,INV 1001,/AB\x80", Lintrove(payment, &valid));
    EXPECT_TRUE(valid);
    payment.Texts[PaymentText::RtiReference] = u"/AB\u9AAC";  // no such character: it would be "?"
    payment.Codes.clear();
    Lintrove(payment, &valid);
    EXPECT_FALSE(valid);
    EXPECT_EQ((std::vector<long>{0, kInvalidRtiReference}), payment.Codes);
}
