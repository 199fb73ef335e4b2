// The "Debit Date" question through the registered module, as the host drives it, with today pinned
// for the module by the process's environment: Yes takes the offered date, No keeps the chosen one,
// Cancel goes back to the options dialog.
#include <gtest/gtest.h>

#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "payments/payment_resources.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"
#include "tests/support/sample_payment.h"

namespace {

const char kHeader[] =
    "DebitDate,BankRef,DBAcNo,DBAcType,DBSC,BenName,BenAcNo,BenAcType,BenSC,BenRef,Amount,RemAdvReq\r\n";
const char kRecordAfterDate[] = ",0012,87654321,00,401122,J. Smith,12345678,00,123456,Acme Ltd,99.90,N\r\n";
const SYSTEMTIME kChristmas{2026, 12, 0, 25, 0, 0, 0, 0};
const SYSTEMTIME kMonday14{2026, 12, 0, 14, 0, 0, 0, 0};
const char kChristmasQuestion[] = "Friday 25/12/2026 is Christmas Day, a bank holiday in England and Wales: Bacs does "
                                  "not process payments on it. Use Tuesday 29/12/2026, the next date the bank can "
                                  "debit, instead?";

}  // namespace

class DebitDateQuestionTest : public RegisteredBankTest {
protected:
    void SetUp() override
    {
        // Thursday 10 December 2026: the earliest debit date is Monday 14 December.
        SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-10");
        RegisteredBankTest::SetUp();
        modal::AlwaysAnswerSummary(driver_);  // the summary before the file is saved: Save
        batch_.Add(ValidPayment(L"J. Smith", 99.9));
        context_ = std::make_unique<standin::PaymentContext>(L"40-11-22", L"87654321", log_);
    }
    void TearDown() override
    {
        context_.reset();
        RegisteredBankTest::TearDown();
        SetEnvironmentVariableA("BRENMARK_TODAY", nullptr);
    }

    // Chooses the Ledgerway layout and Christmas Day and presses OK; the question gets answer.
    modal::Script& ChooseChristmas(int answer)
    {
        modal::Script& options = driver_.On(modal::kOptionsCaption)
                                     .Click(IDC_LEDGERWAY_LAYOUT)
                                     .Read(IDC_DEBIT_DATE, "opened")
                                     .SetDate(IDC_DEBIT_DATE, kChristmas)
                                     .Press(IDOK);
        modal::AnswerDebitDateQuestion(driver_, answer);
        return options;
    }
    HRESULT RunExport()
    {
        driver_.OnNext().Press(IDOK);  // the save dialog, at the proposed path
        DeleteFileA(PaymentPath().c_str());
        SetErrorInfo(0, nullptr);
        return payments_->ExportPayments(batch_.Get(), context_->Get());
    }
    void ExpectTheQuestion()
    {
        const auto questions = driver_.WithCaption(modal::kDebitDateCaption);
        ASSERT_EQ(1u, questions.size()) << driver_.Summary();
        const modal::WindowRecord& question = *questions[0];
        EXPECT_EQ(kChristmasQuestion, question.Text);
        EXPECT_EQ(driver_.WithCaption(modal::kOptionsCaption)[0]->Window, question.Owner);
        EXPECT_NE(nullptr, question.Control(IDYES));
        EXPECT_NE(nullptr, question.Control(IDNO));
        EXPECT_NE(nullptr, question.Control(IDCANCEL));
        EXPECT_EQ(nullptr, question.Control(IDOK));
        EXPECT_EQ(1, question.Icons);
        EXPECT_EQ("14/12/2026", driver_.WithCaption(modal::kOptionsCaption)[0]->Read("opened")->Text);
    }

    standin::PaymentBatch batch_{log_};
    std::unique_ptr<standin::PaymentContext> context_;
    modal::ModalDriver driver_;
};

TEST_F(DebitDateQuestionTest, YesTakesTheOfferedDate)
{
    ChooseChristmas(IDYES);
    EXPECT_EQ(S_OK, RunExport());
    ExpectTheQuestion();
    EXPECT_EQ(std::string(kHeader) + "29/12/2026" + kRecordAfterDate, ReadBytes(PaymentPath()));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateQuestionTest, NoKeepsTheChosenDate)
{
    ChooseChristmas(IDNO);
    EXPECT_EQ(S_OK, RunExport());
    ExpectTheQuestion();
    EXPECT_EQ(std::string(kHeader) + "25/12/2026" + kRecordAfterDate, ReadBytes(PaymentPath()));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
}

TEST_F(DebitDateQuestionTest, CancelGoesBackToTheDialogWithItsChoices)
{
    ChooseChristmas(IDCANCEL).Read(IDC_DEBIT_DATE, "back").SetDate(IDC_DEBIT_DATE, kMonday14).Press(IDOK);
    EXPECT_EQ(S_OK, RunExport());
    ExpectTheQuestion();
    const modal::WindowRecord& options = *driver_.WithCaption(modal::kOptionsCaption)[0];
    EXPECT_EQ("25/12/2026", options.Read("back")->Text);
    // A date the bank can use is not questioned again.
    EXPECT_EQ(std::string(kHeader) + "14/12/2026" + kRecordAfterDate, ReadBytes(PaymentPath()));
    EXPECT_EQ(0, driver_.UnexpectedCount()) << driver_.Summary();
    EXPECT_TRUE(driver_.UnusedScripts().empty());
}
