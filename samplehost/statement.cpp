// The host's statement for bank reconciliation and its transactions.
#include <tuple>
#include <utility>

#include "samplehost/call_text.h"
#include "samplehost/host_object.h"
#include "samplehost/recorded_members.h"
#include "samplehost/standin_host.h"

namespace standin {

namespace {

class StatementState {
public:
    explicit StatementState(std::shared_ptr<CallLog> callLog)
        : log(std::move(callLog)), self(log, "Statement", IID_ITolvarBankStatement)
    {
    }

    Behaviour& TransactionBehaviour(long number)
    {
        auto found = behaviours.find(number);
        if (found == behaviours.end()) {
            found = behaviours
                        .emplace(std::piecewise_construct, std::forward_as_tuple(number),
                                 std::forward_as_tuple(log, "Transaction[" + std::to_string(number) + "]",
                                                       IID_ITolvarBankTransaction))
                        .first;
            found->second.SetRecording(recordTransactionCalls);
        }
        return found->second;
    }

    bool TransactionPostsErrorInfo(long number) const
    {
        auto found = behaviours.find(number);
        return found != behaviours.end() && found->second.PostsErrorInfo();
    }

    // A call on transaction number; see the payments' counterpart for why unrecorded calls look
    // only at transactions that were given a behaviour.
    HRESULT OnTransactionCall(long number, const char* member, const std::string* argument = nullptr)
    {
        Behaviour* behaviour = nullptr;
        if (recordTransactionCalls) {
            behaviour = &TransactionBehaviour(number);
        } else {
            auto found = behaviours.find(number);
            if (found == behaviours.end())
                return S_OK;
            behaviour = &found->second;
        }
        return behaviour->Record(argument ? CallText(member, *argument) : std::string(member));
    }

    // The kept data of transaction number made in generation, or null when Reset dropped it or
    // the statement keeps no data.
    TransactionData* Kept(long number, long madeIn)
    {
        if (madeIn != generation || number < 1 || static_cast<size_t>(number) > transactions.size())
            return nullptr;
        return &transactions[static_cast<size_t>(number) - 1];
    }

    std::shared_ptr<CallLog> log;
    Behaviour self;
    std::map<long, Behaviour> behaviours;
    std::vector<TransactionData> transactions;
    long count = 0;        // transactions added since the last Reset
    long generation = 0;   // how many times Reset was called
    double balance = 0;
    bool recordTransactionCalls = true;
    bool keepTransactions = true;
};

class TransactionObject final : public RecordedMembers<TransactionObject>, public HostObject<ITolvarBankTransaction> {
public:
    TransactionObject(std::shared_ptr<StatementState> statement, long number)
        : statement_(std::move(statement)), number_(number), generation_(statement_->generation)
    {
    }

    STDMETHODIMP get_TransactionId(long* id) override { return GetNumber("get_TransactionId", number_, id); }

    STDMETHODIMP get_Sequence(VARIANT* sequence) override
    {
        if (sequence)
            VariantInit(sequence);
        const HRESULT hr = statement_->OnTransactionCall(number_, "get_Sequence");
        if (FAILED(hr))
            return hr;
        if (!sequence)
            return E_POINTER;
        if (Data().SequenceType != VT_EMPTY) {
            V_VT(sequence) = VT_I4;
            V_I4(sequence) = Data().Sequence;
        }
        return S_OK;
    }
    STDMETHODIMP put_Sequence(VARIANT* sequence) override
    {
        const std::string argument = VariantText(sequence);
        const HRESULT hr = statement_->OnTransactionCall(number_, "put_Sequence", &argument);
        if (FAILED(hr))
            return hr;
        if (!sequence)
            return E_POINTER;
        TransactionData& data = Data();
        data.SequenceType = V_VT(sequence);
        data.Sequence = 0;
        Variant converted;
        if (SUCCEEDED(VariantChangeType(&converted.Get(), sequence, 0, VT_I4)))
            data.Sequence = V_I4(&converted.Get());
        return S_OK;
    }

    STDMETHODIMP get_Date(DATE* date) override { return GetNumber("get_Date", Data().Date, date); }
    STDMETHODIMP put_Date(DATE date) override { return PutValue("put_Date", NumberText(date), Data().Date, date); }
    STDMETHODIMP get_ChequeNumber(BSTR* text) override
    {
        return GetText("get_ChequeNumber", Data().ChequeNumber, text);
    }
    STDMETHODIMP put_ChequeNumber(BSTR text) override
    {
        const HRESULT hr = PutText("put_ChequeNumber", Data().ChequeNumber, text);
        if (SUCCEEDED(hr))
            Data().HasChequeNumber = true;
        return hr;
    }
    STDMETHODIMP get_Reference(BSTR* text) override { return GetText("get_Reference", Data().Reference, text); }
    STDMETHODIMP put_Reference(BSTR text) override { return PutText("put_Reference", Data().Reference, text); }
    STDMETHODIMP get_Receipt(long* receipt) override { return GetNumber("get_Receipt", Data().Receipt, receipt); }
    STDMETHODIMP put_Receipt(long receipt) override
    {
        return PutValue("put_Receipt", std::to_string(receipt), Data().Receipt, receipt);
    }
    STDMETHODIMP get_Details(BSTR* text) override { return GetText("get_Details", Data().Details, text); }
    STDMETHODIMP put_Details(BSTR text) override { return PutText("put_Details", Data().Details, text); }
    STDMETHODIMP get_Amount(double* amount) override { return GetNumber("get_Amount", Data().Amount, amount); }
    STDMETHODIMP put_Amount(double amount) override
    {
        return PutValue("put_Amount", NumberText(amount), Data().Amount, amount);
    }

    // Members the module has no use for: recorded, and otherwise empty.
    STDMETHODIMP get_TransCode(BSTR* text) override { return GetText("get_TransCode", {}, text); }
    STDMETHODIMP put_TransCode(BSTR text) override { return Ignore("put_TransCode", BstrText(text)); }
    STDMETHODIMP get_ValueDate(DATE* date) override { return GetNumber("get_ValueDate", 0.0, date); }
    STDMETHODIMP put_ValueDate(DATE date) override { return Ignore("put_ValueDate", NumberText(date)); }
    STDMETHODIMP get_Reconciled(long* reconciled) override { return GetNumber("get_Reconciled", 0L, reconciled); }
    STDMETHODIMP put_Reconciled(long reconciled) override
    {
        return Ignore("put_Reconciled", std::to_string(reconciled));
    }
    STDMETHODIMP get_Category(BSTR* text) override { return GetText("get_Category", {}, text); }
    STDMETHODIMP put_Category(BSTR text) override { return Ignore("put_Category", BstrText(text)); }
    STDMETHODIMP get_Notes(BSTR* text) override { return GetText("get_Notes", {}, text); }
    STDMETHODIMP put_Notes(BSTR text) override { return Ignore("put_Notes", BstrText(text)); }
    STDMETHODIMP get_Payee(BSTR* text) override { return GetText("get_Payee", {}, text); }
    STDMETHODIMP put_Payee(BSTR text) override { return Ignore("put_Payee", BstrText(text)); }
    STDMETHODIMP get_AccountCode(BSTR* text) override { return GetText("get_AccountCode", {}, text); }
    STDMETHODIMP put_AccountCode(BSTR text) override { return Ignore("put_AccountCode", BstrText(text)); }
    STDMETHODIMP get_TaxCode(BSTR* text) override { return GetText("get_TaxCode", {}, text); }
    STDMETHODIMP put_TaxCode(BSTR text) override { return Ignore("put_TaxCode", BstrText(text)); }
    STDMETHODIMP get_Memo(BSTR* text) override { return GetText("get_Memo", {}, text); }
    STDMETHODIMP put_Memo(BSTR text) override { return Ignore("put_Memo", BstrText(text)); }
    STDMETHODIMP get_Currency(BSTR* text) override { return GetText("get_Currency", {}, text); }
    STDMETHODIMP put_Currency(BSTR text) override { return Ignore("put_Currency", BstrText(text)); }
    STDMETHODIMP get_ExchangeRate(double* rate) override { return GetNumber("get_ExchangeRate", 0.0, rate); }
    STDMETHODIMP put_ExchangeRate(double rate) override { return Ignore("put_ExchangeRate", NumberText(rate)); }

protected:
    bool PostsErrorInfo() const override { return statement_->TransactionPostsErrorInfo(number_); }

private:
    // Where this transaction's data lives: in the statement while it keeps it, else here.
    TransactionData& Data()
    {
        TransactionData* kept = statement_->Kept(number_, generation_);
        return kept ? *kept : own_;
    }

    friend class RecordedMembers<TransactionObject>;
    HRESULT OnCall(const char* member, const std::string* argument) { return statement_->OnTransactionCall(number_, member, argument); }

    HRESULT Ignore(const char* member, const std::string& argument)
    {
        return statement_->OnTransactionCall(number_, member, &argument);
    }

    std::shared_ptr<StatementState> statement_;
    long number_;
    long generation_;
    TransactionData own_;
};

class StatementObject final : public HostObject<ITolvarBankStatement> {
public:
    explicit StatementObject(std::shared_ptr<StatementState> statement) : statement_(std::move(statement)) {}

    STDMETHODIMP get_Count(long* count) override
    {
        if (count)
            *count = 0;
        const HRESULT hr = statement_->self.Record("get_Count");
        if (FAILED(hr))
            return hr;
        if (!count)
            return E_POINTER;
        *count = statement_->count;
        return S_OK;
    }

    STDMETHODIMP Item(long index, ITolvarBankTransaction** transaction) override
    {
        if (transaction)
            *transaction = nullptr;
        const HRESULT hr = statement_->self.Record(CallText("Item", std::to_string(index)));
        if (FAILED(hr))
            return hr;
        if (!transaction)
            return E_POINTER;
        if (index < 0 || index >= statement_->count)
            return E_INVALIDARG;
        *transaction = MakeHostObject<TransactionObject>(statement_, index + 1).Detach();
        return S_OK;
    }

    STDMETHODIMP AddTransaction(ITolvarBankTransaction** transaction) override
    {
        if (transaction)
            *transaction = nullptr;
        // AddTransaction comes once per transaction, so it is a transaction-level call for recording.
        const HRESULT hr = statement_->recordTransactionCalls ? statement_->self.Record("AddTransaction")
                                                              : statement_->self.Check("AddTransaction");
        if (FAILED(hr))
            return hr;
        if (!transaction)
            return E_POINTER;
        if (statement_->keepTransactions)
            statement_->transactions.emplace_back();
        ++statement_->count;
        *transaction = MakeHostObject<TransactionObject>(statement_, statement_->count).Detach();
        return S_OK;
    }

    STDMETHODIMP Reset() override
    {
        const HRESULT hr = statement_->self.Record("Reset");
        if (FAILED(hr))
            return hr;
        statement_->transactions.clear();
        statement_->count = 0;
        ++statement_->generation;
        return S_OK;
    }

    STDMETHODIMP get_AccountName(BSTR* name) override
    {
        if (name)
            *name = nullptr;
        const HRESULT hr = statement_->self.Record("get_AccountName");
        if (FAILED(hr))
            return hr;
        if (!name)
            return E_POINTER;
        *name = SysAllocString(L"");
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    STDMETHODIMP get_Balance(double* balance) override
    {
        if (balance)
            *balance = 0;
        const HRESULT hr = statement_->self.Record("get_Balance");
        if (FAILED(hr))
            return hr;
        if (!balance)
            return E_POINTER;
        *balance = statement_->balance;
        return S_OK;
    }

    STDMETHODIMP put_Balance(double balance) override
    {
        const HRESULT hr = statement_->self.Record(CallText("put_Balance", NumberText(balance)));
        if (SUCCEEDED(hr))
            statement_->balance = balance;
        return hr;
    }

protected:
    bool PostsErrorInfo() const override { return statement_->self.PostsErrorInfo(); }

private:
    std::shared_ptr<StatementState> statement_;
};

}  // namespace

struct Statement::State : StatementState {
    using StatementState::StatementState;
};

Statement::Statement(std::shared_ptr<CallLog> log)
    : state_(std::make_shared<State>(std::move(log))), statement_(MakeHostObject<StatementObject>(state_))
{
}

Statement::~Statement() = default;

ITolvarBankStatement* Statement::Get() const
{
    return statement_.Get();
}

Behaviour& Statement::Self()
{
    return state_->self;
}

Behaviour& Statement::Transaction(long number)
{
    return state_->TransactionBehaviour(number);
}

const std::vector<TransactionData>& Statement::Transactions() const
{
    return state_->transactions;
}

long Statement::TransactionCount() const
{
    return state_->count;
}

double Statement::Balance() const
{
    return state_->balance;
}

long Statement::ResetCount() const
{
    return state_->generation;
}

void Statement::RecordTransactionCalls(bool on)
{
    state_->recordTransactionCalls = on;
    for (auto& transaction : state_->behaviours)
        transaction.second.SetRecording(on);
}

void Statement::KeepTransactions(bool on)
{
    state_->keepTransactions = on;
}

}  // namespace standin
