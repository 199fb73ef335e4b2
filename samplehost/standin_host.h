// The stand-in host: in-process implementations of every host object that the bank module
// implements against or calls. Each object records the calls it receives, in order, with their
// arguments, into a shared CallLog, and can be told to fail any member with an HRESULT (and posted
// error information). The settings object and the file chooser are served to the module through
// class objects registered with CoRegisterClassObject, so the module reaches them by class exactly
// as it does in the host product.
//
// Call records read like "Payments.Item(1)", "Payment[1].get_PayeeSortCode",
// "Payment[1].put_ResultCode(28)", "Settings.GetPaymentFileDefaults(Brenmark Fenlow Online Plus)",
// "Statement.Reset", "Transaction[1].put_Amount(-12.5)".
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "core/com_ptr.h"
#include "samplehost/call_log.h"

namespace standin {

// A member told to fail: the HRESULT it returns and, when Description is not empty, the error
// information it posts first (the object then answers ISupportErrorInfo with S_OK for its interface).
struct Failure {
    HRESULT Result = E_FAIL;
    std::wstring Description;
};

// What every stand-in object shares: its name in the call log and its planned failures.
class Behaviour {
public:
    Behaviour(std::shared_ptr<CallLog> log, std::string name) : log_(std::move(log)), name_(std::move(name)) {}
    // member is the call as it appears in the log without the object name, e.g. "Item(1)" or
    // "get_Count"; a member without arguments also matches its calls with arguments.
    void FailOn(const std::string& member, Failure failure) { failures_[member] = std::move(failure); }
    const std::string& Name() const { return name_; }
    CallLog& Log() const { return *log_; }
    std::shared_ptr<CallLog> SharedLog() const { return log_; }

    // Records "Name.call" and returns S_OK or the planned failure (posting its error information).
    HRESULT Record(const std::string& call) const;

private:
    std::shared_ptr<CallLog> log_;
    std::string name_;
    std::map<std::string, Failure> failures_;
};

struct PaymentData {
    double Amount = 0;
    std::wstring PayerBacsReference, PayerSortCode, PayerAccountNumber, PayerAccountName, PayerRollNumber;
    std::wstring PayeeBacsReference, PayeeSortCode, PayeeAccountNumber, PayeeAccountName, PayeeRollNumber;
    std::wstring Reference, Details, Currency;
    // Whether the payment answers ITolvarBankPayment2, and its RTI members.
    bool OffersRti = false;
    std::wstring RtiReference;
    long IsRti = 0;
};

// The host's payment batch. Payments are made on demand by Item, so the batch may also be backed
// by a generator for very large runs.
class PaymentBatch {
public:
    using Generator = PaymentData (*)(long index);

    explicit PaymentBatch(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ~PaymentBatch();

    void Add(const PaymentData& payment);
    void UseGenerator(long count, Generator generator);
    // The batch's COM face, for ExportPayments.
    ITolvarBankPayments* Get() const;
    Behaviour& Batch();                // "Payments.*" calls: get_Count, Item(i)
    Behaviour& Payment(long index);    // "Payment[i].*" calls, made on first use
    // The last result code the module put on payment i (-1 when none was put).
    long ResultCode(long index) const;
    // Whether payment-level call recording is on (off for benchmarks).
    void RecordPaymentCalls(bool on);
    CallLog& Log() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankPayments> batch_;
};

// The paying account's context: get_BankAccount, and the account's sort code and number.
class PaymentContext {
public:
    PaymentContext(std::wstring sortCode, std::wstring accountNumber,
                   std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ITolvarBankPaymentContext* Get() const;
    Behaviour& Context();   // "Context.get_BankAccount"
    Behaviour& Account();   // "Account.get_SortCode", "Account.get_AccountNumber"

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankPaymentContext> context_;
};

struct TransactionData {
    long SequenceType = VT_EMPTY;  // the VARIANT type given to put_Sequence
    long Sequence = 0;
    DATE Date = 0;
    double Amount = 0;
    long Receipt = -1;
    std::wstring Details, Reference, ChequeNumber;
    bool HasChequeNumber = false;
};

// The host's statement for bank reconciliation; each AddTransaction makes a recorded transaction.
class Statement {
public:
    explicit Statement(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ITolvarBankStatement* Get() const;
    Behaviour& Self();                   // "Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction"
    const std::vector<TransactionData>& Transactions() const;
    double Balance() const;
    long ResetCount() const;
    // Whether transaction-level call recording is on (off for benchmarks).
    void RecordTransactionCalls(bool on);

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankStatement> statement_;
};

// The host settings object ("Settings.*" calls). The defaults it hands out are settable.
class Settings {
public:
    explicit Settings(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ITolvarBankSettings* Get() const;
    Behaviour& Self();

    std::string DefaultFileName = "PAYMENTS.CSV";
    std::string FileExtension = "csv";
    std::string DefaultDirectory = "C:\\";
    // When set, GetPaymentFileDefaults writes these raw bytes instead (to test unterminated buffers).
    std::vector<char> RawFileName, RawExtension, RawDirectory;

    // What ConfigureBank and the other calls received.
    std::vector<unsigned char> LastConfigureBuffer;  // all 1024 bytes
    long LastConfigureValue = 0;
    std::vector<unsigned char> LastBankName;         // the 100-byte name buffer of the last call

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankSettings> settings_;
};

// The host file chooser ("Chooser.*" calls).
class FileChooser {
public:
    explicit FileChooser(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ITolvarFileChooser* Get() const;
    Behaviour& Self();

    long ShowResult = 0;         // 0: the user chose FileName
    std::wstring FileName;
    // The filter the module put in the settings record (null before SetSettings).
    TolvarFileFilter Filter() const;
    // Asks the module's filter about a file as the chooser would; description gets its text.
    int AskFilter(const std::string& fileName, std::string* description) const;

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarFileChooser> chooser_;
};

// Serves the given settings object and file chooser to CoCreateInstance for the host classes
// TolvarBankSettings and TolvarFileChooser (CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE) for as long as
// it lives. Either may be null: that class is then not served (creation fails as when missing).
class HostClassRegistration {
public:
    HostClassRegistration(Settings* settings, FileChooser* chooser);
    ~HostClassRegistration();
    HostClassRegistration(const HostClassRegistration&) = delete;
    HostClassRegistration& operator=(const HostClassRegistration&) = delete;
    long SettingsCreations() const;   // how often the module created the settings object
    long ChooserCreations() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace standin
