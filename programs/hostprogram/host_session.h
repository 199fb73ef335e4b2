// What the sample host program sets up to play the host product: the apartment, the host's type
// libraries registered as the product's installer registers them, the host settings object and
// file chooser served by class, and the registered bank module created by its ProgID with its
// services found by name.
#pragma once

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "core/com_ptr.h"
#include "standin/standin_host.h"

namespace hostprogram {

// A failure of the host's own set-up, worded for the user.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

extern const wchar_t kBankProgId[];
extern const wchar_t kPaymentServiceName[];
extern const wchar_t kStatementServiceName[];
extern const wchar_t* const kHostTypeLibraries[3];

// The folder holding the three host type libraries: the named one when given, else the program's
// own folder, else its "generated" subfolder (where the build tree keeps them). Throws HostError.
std::wstring FindTypeLibraryFolder(const std::wstring& named);

// The description of the thread's error information, cleared; "" when there is none.
std::string TakeErrorDescription();

class HostSession {
public:
    // Throws HostError when a step fails.
    explicit HostSession(const std::wstring& typeLibraryFolder);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    standin::Settings& Settings() { return *settings_; }
    standin::FileChooser& Chooser() { return *chooser_; }

    // The bank's services, found by name in its Services collection. Throw HostError.
    ComPtr<ITolvarBankPaymentService> PaymentService();
    ComPtr<ITolvarBankStatementService> StatementService();

private:
    ComPtr<ITolvarBankService> Service(const wchar_t* name);

    struct Apartment {
        Apartment();
        ~Apartment();
    };
    Apartment apartment_;  // first in, last out
    std::unique_ptr<standin::Settings> settings_;
    std::unique_ptr<standin::FileChooser> chooser_;
    std::unique_ptr<standin::HostClassRegistration> registration_;
    ComPtr<ITolvarBank> bank_;
    ComPtr<ITolvarBankServices> services_;
};

}  // namespace hostprogram
