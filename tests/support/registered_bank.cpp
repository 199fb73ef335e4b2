#include "tests/support/registered_bank.h"

#include "modal/options_answers.h"
#include "payments/payment_resources.h"
#include "modal/modal_driver.h"
#include "modal/summary_answers.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

namespace {

using modal::kOptionsCaption;
const char kImportCaption[] = "Statement Import";
const char kPaymentFileName[] = "PAYMENTS.CSV";

ModuleRun Outcome(HRESULT hr, long status, const modal::ModalDriver& driver)
{
    ModuleRun run;
    run.Result = hr;
    run.Status = status;
    for (const modal::WindowRecord& window : driver.Windows()) {
        run.Captions.push_back(window.Caption);
        run.WindowTrouble = run.WindowTrouble || !window.Scripted || window.LeftOpen;
    }
    run.Summaries = modal::SummaryTexts(driver);
    return run;
}

}  // namespace

bool RegisteredBankTest::registered_ = false;

void RegisteredBankTest::SetUpTestSuite()
{
    registered_ = RegisterBuiltModule() == 0;
}

void RegisteredBankTest::SetUp()
{
    ComTest::SetUp();
    ASSERT_TRUE(registered_) << "regsvr32 could not register the built module";
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "brenmark-run-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    settings_.DefaultDirectory = folder_ + "\\";
    settings_.DefaultFileName = kPaymentFileName;
    registration_ = std::make_unique<standin::HostClassRegistration>(&settings_, &chooser_);
    CreateBank();
}

void RegisteredBankTest::TearDown()
{
    ReleaseBank();
    registration_.reset();
    DeleteFileA(PaymentPath().c_str());
    RemoveDirectoryA(folder_.c_str());
    ComTest::TearDown();
}

void RegisteredBankTest::CreateBank()
{
    ReleaseBank();
    CLSID bankClass{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"TolvarBrenmarkLintrove.Bank", &bankClass));
    ASSERT_EQ(S_OK, CoCreateInstance(bankClass, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBank, bank_.PutVoid()));
    ComPtr<ITolvarBankServices> services;
    ASSERT_EQ(S_OK, bank_->get_Services(services.Put()));
    payments_ = FindService<ITolvarBankPaymentService>(services.Get(), L"Bank Payment Service");
    statements_ = FindService<ITolvarBankStatementService>(services.Get(), L"Bank Reconciliation Service");
    ASSERT_TRUE(payments_ && statements_);
}

void RegisteredBankTest::ReleaseBank()
{
    payments_.Reset();
    statements_.Reset();
    bank_.Reset();
}

std::string RegisteredBankTest::PaymentPath() const
{
    return folder_ + "\\" + kPaymentFileName;
}

ModuleRun RegisteredBankTest::Export(standin::PaymentBatch& batch, ITolvarBankPaymentContext* context,
                                     ExportLayout layout)
{
    DeleteFileA(PaymentPath().c_str());
    modal::ModalDriver driver;
    // An RTI host is not asked, unless its payment does not show itself as one: then as Lintrove.
    driver.On(kOptionsCaption)
        .Click(layout == ExportLayout::Ledgerway ? IDC_LEDGERWAY_LAYOUT : IDC_LINTROVE_LAYOUT)
        .Press(IDOK);
    // The save dialog proposes the host's default path; its caption is the system's own.
    driver.OnNext().Press(IDOK);
    modal::AlwaysAnswerSummary(driver, summaryAnswer_);
    SetErrorInfo(0, nullptr);
    const HRESULT hr = payments_->ExportPayments(batch.Get(), context);
    SetErrorInfo(0, nullptr);
    long status = -1;
    payments_->get_Status(&status);
    return Outcome(hr, status, driver);
}

ModuleRun RegisteredBankTest::Import(standin::Statement& statement, const std::string& path)
{
    chooser_.FileName = Wide(path);
    chooser_.ShowResult = 0;
    modal::ModalDriver driver;
    driver.On(kImportCaption).Press(IDOK);
    SetErrorInfo(0, nullptr);
    const HRESULT hr = statements_->ImportStatement(nullptr, statement.Get());
    SetErrorInfo(0, nullptr);
    long status = -1;
    statements_->get_Status(&status);
    return Outcome(hr, status, driver);
}
