// The stand-in host: in-process implementations of every host object that the bank module
// implements against or calls. Each object records the calls it receives, in order, with their
// arguments, into a shared CallLog, and can be told to fail any member with an HRESULT (and posted
// error information). The settings object and the file chooser are served to the module through
// class objects registered with CoRegisterClassObject, so the module reaches them by class exactly
// as it does in the host product.
//
// Call records are "Object.member" or "Object.member(arguments)", arguments separated by ", ":
//   Payments.get_Count                      Payments.Item(1)
//   Payment[1].get_PayeeSortCode            Payment[1].put_ResultCode(28)
//   Payment[1].QueryInterface(ITolvarBankPayment2)   (the one query recorded: it is the module's
//                                                     own question whether the host offers RTI)
//   Context.get_BankAccount                 Account.get_SortCode     Account.get_AccountNumber
//   Statement.Reset                         Statement.put_Balance(0) Statement.AddTransaction
//   Transaction[1].put_Sequence(VT_I4 1)    Transaction[1].put_Date(45292.5)
//   Transaction[1].put_Amount(-12.5)        Transaction[1].put_Details(CARD PAYMENT)
//   Settings.ConfigureBank(Brenmark Fenlow Online Plus, 3)
//   Settings.GetFileChooserSettings(Brenmark Fenlow Online Plus)
//   Settings.GetPaymentFileDefaults(Brenmark Fenlow Online Plus)
//   Chooser.SetSettings   Chooser.Show   Chooser.get_FileName   Chooser.put_Title(Choose a file)
// Payment[i] is the payment that Item(i) gives (0-based, as the batch counts); Transaction[n] is
// the n-th transaction that AddTransaction made since the last Reset, counting from 1.
// Numbers are written in their shortest exact form: 1234.5, 0, -12.5, 0.1, 1e-07 (integers in
// full: 1000000). Texts are written as they are, in UTF-8, without quotes; a null BSTR reads as
// empty. ANSI buffers are read up to their first zero byte or their size. A VARIANT is written as
// its type and value: "VT_I4 1", "VT_BSTR 12", "VT_R8 2.5", "VT_EMPTY", "VT_NULL", or "VT 0x4003"
// for types without a short form. A null VARIANT or record pointer reads as "null".
// IUnknown and IDispatch members are not recorded (IDispatch members answer E_NOTIMPL).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TolvarBankPayments.h"
#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "core/com_ptr.h"
#include "standin/call_log.h"

namespace standin {

// How many stand-in COM objects are alive in the process (for leak checks).
long LiveObjects();

// A member told to fail: the HRESULT it returns and, when Description is not empty, the error
// information it posts first (the object then answers ISupportErrorInfo with S_OK for its interface).
struct Failure {
    HRESULT Result = E_FAIL;
    std::wstring Description;
};

// What every stand-in object shares: its name in the call log and its planned failures.
class Behaviour {
public:
    // iid is the interface whose identifier goes into posted error information.
    Behaviour(std::shared_ptr<CallLog> log, std::string name, const IID& iid = GUID_NULL)
        : log_(std::move(log)), name_(std::move(name)), iid_(iid)
    {
    }
    // member is the call as it appears in the log without the object name, e.g. "Item(1)" or
    // "get_Count"; a member without arguments also matches its calls with arguments.
    void FailOn(const std::string& member, Failure failure);
    void ClearFailures() { failures_.clear(); }
    // Runs action whenever member is called, before the call answers (matched as FailOn matches).
    void OnCall(const std::string& member, std::function<void()> action);
    const std::string& Name() const { return name_; }
    CallLog& Log() const { return *log_; }
    std::shared_ptr<CallLog> SharedLog() const { return log_; }
    // Whether calls are written to the log (failures apply either way).
    void SetRecording(bool on) { recording_ = on; }
    // Whether some planned failure posts error information.
    bool PostsErrorInfo() const;

    // Records "Name.call" and returns S_OK or the planned failure (posting its error information).
    HRESULT Record(const std::string& call) const;
    // The same without writing to the log.
    HRESULT Check(const std::string& call) const;

private:
    std::shared_ptr<CallLog> log_;
    std::string name_;
    IID iid_;
    std::map<std::string, Failure> failures_;
    std::map<std::string, std::function<void()>> actions_;
    bool recording_ = true;
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
    PaymentBatch(const PaymentBatch&) = delete;
    PaymentBatch& operator=(const PaymentBatch&) = delete;

    void Add(const PaymentData& payment);
    // Replaces the listed payments by count payments made by generator(index) on each Item call;
    // no payment keeps state beyond its result code.
    void UseGenerator(long count, Generator generator);
    // The batch's COM face, for ExportPayments.
    ITolvarBankPayments* Get() const;
    Behaviour& Batch();              // "Payments.*" calls: get_Count, Item(i)
    Behaviour& Payment(long index);  // "Payment[i].*" calls, made on first use
    // The last result code the module put on payment i (-1 when none was put).
    long ResultCode(long index) const;
    // The payment's data as the host holds it now (listed batches; puts from the module included).
    const PaymentData& Listed(long index) const;
    // Whether payment-level call recording is on (off for benchmarks); off also leaves out the
    // batch's Item(i) calls, which come once per payment.
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
    ~PaymentContext();
    PaymentContext(const PaymentContext&) = delete;
    PaymentContext& operator=(const PaymentContext&) = delete;
    ITolvarBankPaymentContext* Get() const;
    Behaviour& Context();  // "Context.get_BankAccount"
    Behaviour& Account();  // "Account.get_SortCode", "Account.get_AccountNumber"

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankPaymentContext> context_;
};

struct TransactionData {
    long SequenceType = VT_EMPTY;  // the VARIANT type given to put_Sequence
    long Sequence = 0;             // its value as a long (0 when it has none)
    DATE Date = 0;
    double Amount = 0;
    long Receipt = -1;  // -1 until put_Receipt
    std::wstring Details, Reference, ChequeNumber;
    bool HasChequeNumber = false;  // whether put_ChequeNumber was called
};

// The host's statement for bank reconciliation; each AddTransaction makes a recorded transaction.
// Reset empties it; Item(i) gives Transaction[i + 1]. Members of the transaction that the module does not use are recorded and
// otherwise answer empty values.
class Statement {
public:
    explicit Statement(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ITolvarBankStatement* Get() const;
    Behaviour& Self();                    // "Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction"
    Behaviour& Transaction(long number);  // "Transaction[n].*" calls, made on first use
    // What each transaction since the last Reset received, the first at [0] (Transaction[1]).
    std::vector<TransactionData> Transactions() const;
    // The same one at a time, for statements too large to copy whole: how many are kept, and the
    // one at index (0 for Transaction[1]).
    long KeptCount() const;
    TransactionData KeptTransaction(long index) const;
    // How many transactions were added since the last Reset (also when they are not kept).
    long TransactionCount() const;
    double Balance() const;
    long ResetCount() const;
    // Whether transaction-level call recording is on (off for benchmarks); off also leaves out
    // Statement.AddTransaction, which comes once per transaction.
    void RecordTransactionCalls(bool on);
    // Whether the statement keeps what each transaction received (off for very large runs:
    // Transactions() then stays empty and each transaction keeps its data only while referenced).
    void KeepTransactions(bool on);

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankStatement> statement_;
};

// The host settings object ("Settings.*" calls). The defaults it hands out are settable.
class Settings {
public:
    explicit Settings(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    ITolvarBankSettings* Get() const;
    Behaviour& Self();

    std::string DefaultFileName = "PAYMENTS.CSV";
    std::string FileExtension = "csv";
    std::string DefaultDirectory = "C:\\";
    // When set, GetPaymentFileDefaults writes these raw bytes instead (to test unterminated
    // buffers); bytes beyond a buffer's size are dropped.
    std::vector<char> RawFileName, RawExtension, RawDirectory;
    // What GetFileChooserSettings puts after the filter member (a recognisable pattern by default,
    // so tests can see it handed on unchanged); the filter member itself is null.
    std::vector<unsigned char> ChooserHostData;

    // What ConfigureBank and the other calls received.
    std::vector<unsigned char> LastConfigureBuffer;  // all 1024 bytes
    long LastConfigureValue = 0;
    std::vector<unsigned char> LastBankName;  // the 100-byte name buffer of the last call

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarBankSettings> settings_;
};

// The host file chooser ("Chooser.*" calls). Show writes ShowResult; get_FileName then gives
// FileName in a buffer that the chooser owns until its next get_FileName or its end.
class FileChooser {
public:
    explicit FileChooser(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());
    ~FileChooser();
    FileChooser(const FileChooser&) = delete;
    FileChooser& operator=(const FileChooser&) = delete;
    ITolvarFileChooser* Get() const;
    Behaviour& Self();

    long ShowResult = 0;  // 0: the user chose FileName
    std::wstring FileName;
    std::wstring Title;  // what put_Title left
    // The filter the module put in the settings record (null before SetSettings).
    TolvarFileFilter Filter() const;
    // The whole record that SetSettings received last (zero before).
    const FileChooserSettings& LastSettings() const;
    bool HasSettings() const;
    // Asks the module's filter about a file as the chooser would; description gets its text.
    // Answers 0 when no filter was set.
    int AskFilter(const std::string& fileName, std::string* description) const;
    // The same for a file named in wide text. The filter takes the ANSI code page: a name that the
    // code page cannot hold goes by its short name. When neither fits, the filter is not asked:
    // answers 0 and why says so.
    int AskFilter(const std::wstring& path, std::string* description, std::string* why) const;

private:
    struct State;
    std::shared_ptr<State> state_;
    ComPtr<ITolvarFileChooser> chooser_;
};

// Serves the given settings object and file chooser to CoCreateInstance for the host classes
// TolvarBankSettings and TolvarFileChooser (CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE) for as long as
// it lives. Either may be null: that class is then not served (creation fails as when missing).
// The settings and chooser must outlive the registration.
class HostClassRegistration {
public:
    HostClassRegistration(Settings* settings, FileChooser* chooser);
    ~HostClassRegistration();
    HostClassRegistration(const HostClassRegistration&) = delete;
    HostClassRegistration& operator=(const HostClassRegistration&) = delete;
    long SettingsCreations() const;  // how often the module created the settings object
    long ChooserCreations() const;
    // Whether both requested classes were registered.
    bool Registered() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace standin
