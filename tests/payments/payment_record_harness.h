// Writes one stand-in host payment as a payment-file record, as the export run does: through the
// payment file's writer into a binary file, and reads back the file's bytes, what the writer
// counted, the calls the payment received, the result code left on it and the lines sent to the
// debugger output.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "payments/host_payment.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"
#include "tests/support/debug_output.h"
#include "tests/support/files.h"

struct WrittenRecord {
    std::string Bytes;                // the whole file
    bool Valid = false;               // what the writer reported
    long ResultCode = -1;             // the last code put on the payment
    std::vector<std::string> Calls;   // the payment's calls, in order
    std::vector<long> PutCodes;       // the codes put, in order
    std::vector<std::string> Traces;  // debugger output lines
    PaymentFileTotals Totals;         // what the writer counted

    // The record without the line end that the writer adds.
    std::string Record() const
    {
        return Bytes.size() >= 2 && Bytes.compare(Bytes.size() - 2, 2, "\r\n") == 0
                   ? Bytes.substr(0, Bytes.size() - 2)
                   : "<no CR LF line end: " + Bytes + ">";
    }
};

class PaymentRecordTest : public ComTest {
protected:
    using Prepare = std::function<void(standin::PaymentBatch&)>;

    void SetUp() override
    {
        ComTest::SetUp();
        liveAtStart_ = standin::LiveObjects();
    }
    void TearDown() override
    {
        EXPECT_EQ(liveAtStart_, standin::LiveObjects()) << "stand-in objects left alive";
        ComTest::TearDown();
    }

    WrittenRecord Lintrove(const standin::PaymentData& data, const Prepare& prepare = {})
    {
        return Write(data, prepare, false, [](PaymentFileWriter& file, ITolvarBankPayment* payment) {
            return WriteLintroveRecord(file, payment);
        });
    }

    WrittenRecord Ledgerway(const standin::PaymentData& data, const Prepare& prepare = {}, bool withHeader = false,
                            const char* debitDate = "07/12/2026", char remittance = 'Y')
    {
        return Write(data, prepare, withHeader, [&](PaymentFileWriter& file, ITolvarBankPayment* payment) {
            return WriteLedgerwayRecord(file, payment, CString(debitDate), remittance);
        });
    }

private:
    template <class Writer>
    WrittenRecord Write(const standin::PaymentData& data, const Prepare& prepare, bool withHeader, Writer&& writer)
    {
        WrittenRecord written;
        auto log = std::make_shared<CallLog>();
        standin::PaymentBatch batch(log);
        batch.Add(data);
        if (prepare)
            prepare(batch);
        ComPtr<ITolvarBankPayment> payment;
        EXPECT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
        log->Clear();

        TemporaryFile path;
        FILE* file = std::fopen(path.Path().c_str(), "wb");
        EXPECT_NE(nullptr, file);
        if (!file)
            return written;
        {
            PaymentFileWriter fileWriter(file);
            DebugOutputCapture capture;
            if (withHeader)
                WriteLedgerwayHeader(fileWriter);
            written.Valid = writer(fileWriter, payment.Get());
            written.Traces = capture.Texts();
            EXPECT_TRUE(fileWriter.Finish());
            written.Totals = fileWriter.Totals();
        }
        std::fclose(file);

        written.Bytes = path.Bytes();
        written.ResultCode = batch.ResultCode(0);
        written.Calls = log->Calls();
        const std::string put = "Payment[0].put_ResultCode(";
        for (const std::string& call : written.Calls) {
            if (call.compare(0, put.size(), put) == 0)
                written.PutCodes.push_back(std::stol(call.substr(put.size())));
        }
        return written;
    }

    long liveAtStart_ = 0;
};

// A Lintrove payment that passes every check.
inline standin::PaymentData LintroveExample()
{
    standin::PaymentData payment;
    payment.PayeeSortCode = L"12-34-56";
    payment.PayeeAccountNumber = L"1234567";
    payment.PayeeAccountName = L"J. Smith & Co";
    payment.Amount = 1234.5;
    payment.PayeeBacsReference = L"inv 1001";
    payment.Details = L"March invoice";
    return payment;
}

// A Ledgerway payment that passes every check.
inline standin::PaymentData LedgerwayExample()
{
    standin::PaymentData payment;
    payment.PayeeBacsReference = L"12";
    payment.PayerAccountNumber = L"87654321";
    payment.PayerSortCode = L"40-11-22";
    payment.PayeeAccountName = L"J. Smith";
    payment.PayeeAccountNumber = L"12345678";
    payment.PayeeSortCode = L"12-34-56";
    payment.PayerAccountName = L"Acme Ltd";
    payment.Amount = 99.9;
    return payment;
}
