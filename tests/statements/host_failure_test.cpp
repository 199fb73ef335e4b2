// Every host call failing in turn, through the registered module: for an export in each layout,
// an RTI export and an import, the run is made once to list the host calls it makes, then once
// more for each call and each kind of failure (E_FAIL, E_OUTOFMEMORY, E_FAIL with error
// information) with that call failing. Each run must end with a documented HRESULT and Status,
// every host object the module was handed released, no payment file left unless the run reports
// one written whole, and the statement either complete or empty.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "standin/standin_host.h"
#include "tests/support/sample_payment.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"

namespace {

const standin::Failure kFailures[] = {
    {E_FAIL, L""},
    {E_OUTOFMEMORY, L""},
    {E_FAIL, L"The host could not do it"},
};

// How a run's failing call is named in the test output.
std::string FailingCallText(const std::string& call, const standin::Failure& failure)
{
    return call + " failing with " + std::to_string(failure.Result) +
           (failure.Description.empty() ? "" : " and error information");
}

// Documented answers of the two services' methods: success, or a failure the module reports (a
// host failure passed on, or a code of the module's error table).
bool IsDocumentedResult(HRESULT hr)
{
    return hr == S_OK || hr == S_FALSE || hr == DISP_E_EXCEPTION || (static_cast<unsigned long>(hr) >> 16) == 0x800A;
}

// "Object.member(arguments)" into the object's name and the member as FailOn takes it.
void SplitCall(const std::string& call, std::string* object, std::string* member)
{
    const size_t dot = call.find('.');
    *object = call.substr(0, dot);
    *member = dot == std::string::npos ? std::string() : call.substr(dot + 1);
}

// The distinct calls of a run, in their first order.
std::vector<std::string> DistinctCalls(const std::vector<std::string>& calls)
{
    std::vector<std::string> distinct;
    std::set<std::string> seen;
    for (const std::string& call : calls) {
        if (seen.insert(call).second)
            distinct.push_back(call);
    }
    return distinct;
}

long IndexIn(const std::string& object, const char* prefix)
{
    return std::stol(object.substr(std::string(prefix).size(), object.size() - std::string(prefix).size() - 1));
}

}  // namespace

class HostFailureTest : public RegisteredBankTest {
protected:
    struct ExportStandIns {
        explicit ExportStandIns(const std::shared_ptr<CallLog>& log)
            : Batch(log), Context(L"40-11-22", L"87654321", log)
        {
        }
        standin::PaymentBatch Batch;
        standin::PaymentContext Context;
    };

    // The behaviour that answers calls of the named object; null when the run has none.
    standin::Behaviour* BehaviourOf(const std::string& object, ExportStandIns* exportRun, standin::Statement* statement)
    {
        if (object == "Settings")
            return &settings_.Self();
        if (object == "Chooser")
            return &chooser_.Self();
        if (exportRun && object == "Payments")
            return &exportRun->Batch.Batch();
        if (exportRun && object.rfind("Payment[", 0) == 0)
            return &exportRun->Batch.Payment(IndexIn(object, "Payment["));
        if (exportRun && object == "Context")
            return &exportRun->Context.Context();
        if (exportRun && object == "Account")
            return &exportRun->Context.Account();
        if (statement && object == "Statement")
            return &statement->Self();
        if (statement && object.rfind("Transaction[", 0) == 0)
            return &statement->Transaction(IndexIn(object, "Transaction["));
        return nullptr;
    }

    void ClearHostFailures()
    {
        settings_.Self().ClearFailures();
        chooser_.Self().ClearFailures();
    }

    // One export sweep; returns how many failing runs were made.
    int SweepExport(ExportLayout layout, const std::function<void(standin::PaymentBatch&)>& fill)
    {
        const long liveBefore = standin::LiveObjects();
        std::vector<std::string> calls;
        long payments = 0;
        {
            log_->Clear();
            ExportStandIns run(log_);
            fill(run.Batch);
            const ModuleRun baseline = Export(run.Batch, run.Context.Get(), layout);
            EXPECT_TRUE(baseline.Status == 0 || baseline.Status == 1) << baseline.Status;
            EXPECT_TRUE(FileExists(PaymentPath()));
            calls = DistinctCalls(log_->Calls());
            long count = 0;
            run.Batch.Get()->get_Count(&count);
            payments = count;
        }
        EXPECT_EQ(liveBefore, standin::LiveObjects());

        int runs = 0;
        for (const std::string& call : calls) {
            std::string object, member;
            SplitCall(call, &object, &member);
            for (const standin::Failure& failure : kFailures) {
                SCOPED_TRACE(FailingCallText(call, failure));
                log_->Clear();
                {
                    ExportStandIns run(log_);
                    fill(run.Batch);
                    standin::Behaviour* behaviour = BehaviourOf(object, &run, nullptr);
                    if (!behaviour) {
                        ADD_FAILURE() << "no stand-in answers " << object;
                        continue;
                    }
                    behaviour->FailOn(member, failure);
                    const ModuleRun result = Export(run.Batch, run.Context.Get(), layout);
                    ClearHostFailures();
                    ++runs;
                    EXPECT_TRUE(IsDocumentedResult(result.Result)) << std::hex << result.Result;
                    EXPECT_FALSE(result.WindowTrouble);
                    if (SUCCEEDED(result.Result)) {
                        EXPECT_TRUE(result.Status >= 0 && result.Status <= 3) << result.Status;
                    }
                    // A file stays only when the run says it was written whole: every payment a line.
                    const bool written = SUCCEEDED(result.Result) && (result.Status == 0 || result.Status == 1);
                    if (written) {
                        const std::string bytes = ReadBytes(PaymentPath());
                        EXPECT_EQ(payments + (layout == ExportLayout::Ledgerway ? 1 : 0), CountCrLfLines(bytes))
                            << bytes;
                    } else {
                        EXPECT_FALSE(FileExists(PaymentPath())) << "status " << result.Status;
                    }
                }
                EXPECT_EQ(liveBefore, standin::LiveObjects()) << "a host object was not released";
            }
        }
        return runs;
    }
};

TEST_F(HostFailureTest, ExportInEachLayoutAndForAnRtiHost)
{
    const auto plainBatch = [](standin::PaymentBatch& batch) {
        batch.Add(ValidPayment(L"J. Smith", 10.5));
        batch.Add(ValidPayment(L"O'Brien", 20));  // invalid in the Lintrove layout
        batch.Add(ValidPayment(L"Acme", 0.01));
    };
    const auto rtiBatch = [](standin::PaymentBatch& batch) {
        for (const wchar_t* reference : {L"/A1B", L"/ZZ9"}) {
            standin::PaymentData payment = ValidPayment(L"HMRC", 100);
            payment.OffersRti = true;
            payment.IsRti = 1;
            payment.RtiReference = reference;
            batch.Add(payment);
        }
    };
    const int lintrove = SweepExport(ExportLayout::Lintrove, plainBatch);
    const int ledgerway = SweepExport(ExportLayout::Ledgerway, plainBatch);
    const int rti = SweepExport(ExportLayout::OfferedByRtiHost, rtiBatch);
    std::printf("Failure sweep: %d Lintrove, %d Ledgerway and %d RTI export runs, each with one host call failing\n",
                lintrove, ledgerway, rti);
    EXPECT_GT(lintrove, 30);
    EXPECT_GT(ledgerway, 30);
    EXPECT_GT(rti, 20);
}

TEST_F(HostFailureTest, Import)
{
    const std::string contents = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n"
                                 "2019-03-31,2019-04-01,Y,-12.50,CARD PAYMENT,DEB,REF1,\n"
                                 "2019-04-01,2019-04-01,N,100.00,SALARY,CR,REF2,000123\n"
                                 "02/04/2019,02/04/2019,N,1.99,FEE,DEB,REF3,\n";
    TempStatementFile file(contents);
    const long liveBefore = standin::LiveObjects();

    std::vector<std::string> calls;
    {
        log_->Clear();
        standin::Statement statement(log_);
        const ModuleRun baseline = Import(statement, file.Path());
        ASSERT_EQ(0, baseline.Status);
        ASSERT_EQ(3u, statement.Transactions().size());
        calls = DistinctCalls(log_->Calls());
    }

    int runs = 0;
    for (const std::string& call : calls) {
        std::string object, member;
        SplitCall(call, &object, &member);
        for (const standin::Failure& failure : kFailures) {
            SCOPED_TRACE(FailingCallText(call, failure));
            log_->Clear();
            {
                standin::Statement statement(log_);
                standin::Behaviour* behaviour = BehaviourOf(object, nullptr, &statement);
                ASSERT_NE(nullptr, behaviour) << object;
                behaviour->FailOn(member, failure);
                const ModuleRun result = Import(statement, file.Path());
                ClearHostFailures();
                ++runs;
                EXPECT_TRUE(IsDocumentedResult(result.Result)) << std::hex << result.Result;
                EXPECT_FALSE(result.WindowTrouble);
                if (SUCCEEDED(result.Result)) {
                    EXPECT_TRUE(result.Status >= 0 && result.Status <= 2) << result.Status;
                }
                // Complete when the import ran; otherwise the statement holds nothing of the file
                // (a failing Reset is the host's to report: what it left is its own).
                if (SUCCEEDED(result.Result) && result.Status == 0) {
                    EXPECT_EQ(3, statement.TransactionCount());
                } else if (member != "Reset") {
                    EXPECT_EQ(0, statement.TransactionCount()) << "status " << result.Status;
                }
            }
            EXPECT_EQ(liveBefore, standin::LiveObjects()) << "a host object was not released";
        }
    }
    std::printf("Failure sweep: %d import runs, each with one host call failing\n", runs);
    EXPECT_GT(runs, 30);
}
