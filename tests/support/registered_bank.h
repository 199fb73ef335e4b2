// Tests through the registered module, as the host product uses it: the host settings object and
// file chooser served by class, the bank created by its ProgID, its two services found by name in
// its Services collection, and export and import runs whose windows are answered unattended.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "core/com_ptr.h"
#include "modal/summary_answers.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"

// The bank's service of that name in its Services collection, as the host finds it; empty when the
// collection has none or it does not answer Service.
template <class Service>
ComPtr<Service> FindService(ITolvarBankServices* services, const wchar_t* name)
{
    Variant key;
    V_VT(&key) = VT_BSTR;
    V_BSTR(&key) = SysAllocString(name);
    ComPtr<ITolvarBankService> service;
    if (FAILED(services->Item(key.Get(), service.Put())) || !service)
        return {};
    return service.template As<Service>();
}

enum class ExportLayout { Lintrove, Ledgerway, OfferedByRtiHost };

// What a run through the module ended with.
struct ModuleRun {
    HRESULT Result = E_FAIL;
    long Status = -1;
    std::vector<std::string> Captions;   // the windows it showed, in order
    bool WindowTrouble = false;          // a window was not expected or was left open
    std::vector<std::string> Summaries;  // the text of each Payment Summary shown
};

class RegisteredBankTest : public ComTest {
protected:
    // Registers the built module with regsvr32 once for the test program.
    static void SetUpTestSuite();

    void SetUp() override;
    void TearDown() override;

    // Makes the bank and finds its services afresh (released by the next call and at the end).
    void CreateBank();
    void ReleaseBank();

    // Exports the batch into PaymentPath() (removed first), answering the options dialog with the
    // layout, saving at the proposed path and answering the Payment Summary with summaryAnswer_.
    ModuleRun Export(standin::PaymentBatch& batch, ITolvarBankPaymentContext* context, ExportLayout layout);
    // Imports the file (the chooser chooses it), pressing OK on the module's messages.
    ModuleRun Import(standin::Statement& statement, const std::string& path);

    // Where exports write.
    std::string PaymentPath() const;

    static bool registered_;
    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    standin::Settings settings_{log_};
    standin::FileChooser chooser_{log_};
    std::unique_ptr<standin::HostClassRegistration> registration_;
    ComPtr<ITolvarBank> bank_;
    ComPtr<ITolvarBankPaymentService> payments_;
    ComPtr<ITolvarBankStatementService> statements_;
    std::string folder_;
    modal::SummaryAnswer summaryAnswer_ = modal::SummaryAnswer::Save;
};
