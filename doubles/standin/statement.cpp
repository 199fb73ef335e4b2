// The host's statement for bank reconciliation and its transactions.
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <utility>

#include "standin/behaviour_table.h"
#include "standin/call_text.h"
#include "standin/host_object.h"
#include "standin/recorded_members.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

// The fixed fields of a transaction.
struct TransactionFields {
    DATE Date = 0;
    double Amount = 0;
    long Sequence = 0;
    long Receipt = -1;
    VARTYPE SequenceType = VT_EMPTY;
    bool HasChequeNumber = false;
};

enum TextField { DetailsText, ReferenceText, ChequeNumberText, TextFields };

// What the statement keeps of each transaction, compactly: the fixed fields, and the three texts
// as places in one shared pool of characters (a text put again is added to the pool anew).
class TransactionStore {
public:
    void Add() { entries_.emplace_back(); }
    void Clear()
    {
        entries_.clear();
        entries_.shrink_to_fit();
        pool_.clear();
        pool_.shrink_to_fit();
    }
    size_t Size() const { return entries_.size(); }

    TransactionFields& Fields(size_t index) { return entries_[index].Fields; }
    std::wstring Text(size_t index, int field) const
    {
        const Entry& entry = entries_[index];
        const auto start = pool_.begin() + entry.TextStart[field];
        return std::wstring(start, start + entry.TextLength[field]);
    }
    void SetText(size_t index, int field, const std::wstring& text)
    {
        Entry& entry = entries_[index];
        entry.TextStart[field] = static_cast<std::uint32_t>(pool_.size());
        entry.TextLength[field] = static_cast<std::uint32_t>(text.size());
        pool_.insert(pool_.end(), text.begin(), text.end());
    }

    TransactionData Get(size_t index) const
    {
        const TransactionFields& fields = entries_[index].Fields;
        TransactionData data;
        data.SequenceType = fields.SequenceType;
        data.Sequence = fields.Sequence;
        data.Date = fields.Date;
        data.Amount = fields.Amount;
        data.Receipt = fields.Receipt;
        data.HasChequeNumber = fields.HasChequeNumber;
        data.Details = Text(index, DetailsText);
        data.Reference = Text(index, ReferenceText);
        data.ChequeNumber = Text(index, ChequeNumberText);
        return data;
    }

private:
    struct Entry {
        TransactionFields Fields;
        std::uint32_t TextStart[TextFields] = {};
        std::uint32_t TextLength[TextFields] = {};
    };

    // Deques grow block by block: no copy of all that is kept, and no spare half, as a statement grows.
    std::deque<Entry> entries_;
    std::deque<wchar_t> pool_;
};

class StatementState {
public:
    explicit StatementState(std::shared_ptr<CallLog> callLog)
        : log(std::move(callLog)),
          self(log, "Statement", IID_ITolvarBankStatement),
          transactionBehaviours(log, "Transaction", IID_ITolvarBankTransaction)
    {
    }

    // Whether transaction number made in generation madeIn is kept: Reset drops what was kept,
    // and a statement told not to keep transactions keeps none.
    bool Keeps(long number, long madeIn) const
    {
        return madeIn == generation && number >= 1 && static_cast<size_t>(number) <= store.Size();
    }

    std::shared_ptr<CallLog> log;
    Behaviour self;
    BehaviourTable transactionBehaviours;
    TransactionStore store;
    long count = 0;       // transactions added since the last Reset
    long generation = 0;  // how many times Reset was called
    double balance = 0;
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
        return RecordedGet(
            sequence, [&] { return OnCall("get_Sequence", nullptr); },
            [&](VARIANT& given) {
                if (Fields().SequenceType != VT_EMPTY) {
                    V_VT(&given) = VT_I4;
                    V_I4(&given) = Fields().Sequence;
                }
                return S_OK;
            });
    }
    STDMETHODIMP put_Sequence(VARIANT* sequence) override
    {
        const std::string argument = VariantText(sequence);
        const HRESULT hr = OnCall("put_Sequence", &argument);
        if (FAILED(hr))
            return hr;
        if (!sequence)
            return E_POINTER;
        TransactionFields& fields = Fields();
        fields.SequenceType = V_VT(sequence);
        fields.Sequence = 0;
        Variant converted;
        if (SUCCEEDED(VariantChangeType(&converted.Get(), sequence, 0, VT_I4)))
            fields.Sequence = V_I4(&converted.Get());
        return S_OK;
    }

    STDMETHODIMP get_Date(DATE* date) override { return GetNumber("get_Date", Fields().Date, date); }
    STDMETHODIMP put_Date(DATE date) override { return PutValue("put_Date", NumberText(date), Fields().Date, date); }
    STDMETHODIMP get_ChequeNumber(BSTR* text) override
    {
        return GetText("get_ChequeNumber", Text(ChequeNumberText), text);
    }
    STDMETHODIMP put_ChequeNumber(BSTR text) override
    {
        const HRESULT hr = PutTextField("put_ChequeNumber", ChequeNumberText, text);
        if (SUCCEEDED(hr))
            Fields().HasChequeNumber = true;
        return hr;
    }
    STDMETHODIMP get_Reference(BSTR* text) override { return GetText("get_Reference", Text(ReferenceText), text); }
    STDMETHODIMP put_Reference(BSTR text) override { return PutTextField("put_Reference", ReferenceText, text); }
    STDMETHODIMP get_Receipt(long* receipt) override { return GetNumber("get_Receipt", Fields().Receipt, receipt); }
    STDMETHODIMP put_Receipt(long receipt) override
    {
        return PutValue("put_Receipt", std::to_string(receipt), Fields().Receipt, receipt);
    }
    STDMETHODIMP get_Details(BSTR* text) override { return GetText("get_Details", Text(DetailsText), text); }
    STDMETHODIMP put_Details(BSTR text) override { return PutTextField("put_Details", DetailsText, text); }
    STDMETHODIMP get_Amount(double* amount) override { return GetNumber("get_Amount", Fields().Amount, amount); }
    STDMETHODIMP put_Amount(double amount) override
    {
        return PutValue("put_Amount", NumberText(amount), Fields().Amount, amount);
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
    bool PostsErrorInfo() const override { return statement_->transactionBehaviours.PostsErrorInfo(number_); }

private:
    // Where this transaction's data lives: in the statement while it keeps it, else here.
    bool Kept() const { return statement_->Keeps(number_, generation_); }
    size_t Index() const { return static_cast<size_t>(number_) - 1; }
    TransactionFields& Fields() { return Kept() ? statement_->store.Fields(Index()) : ownFields_; }
    std::wstring Text(int field) const { return Kept() ? statement_->store.Text(Index(), field) : ownTexts_[field]; }
    HRESULT PutTextField(const char* member, int field, BSTR text)
    {
        if (!Kept())
            return PutText(member, ownTexts_[field], text);
        std::wstring value;
        const HRESULT hr = PutText(member, value, text);
        if (SUCCEEDED(hr))
            statement_->store.SetText(Index(), field, value);
        return hr;
    }

    friend class RecordedMembers<TransactionObject>;
    HRESULT OnCall(const char* member, const std::string* argument)
    {
        return statement_->transactionBehaviours.OnCall(number_, member, argument);
    }

    HRESULT Ignore(const char* member, const std::string& argument)
    {
        return statement_->transactionBehaviours.OnCall(number_, member, &argument);
    }

    std::shared_ptr<StatementState> statement_;
    long number_;
    long generation_;
    TransactionFields ownFields_;
    std::wstring ownTexts_[TextFields];
};

class StatementObject final : public HostObject<ITolvarBankStatement> {
public:
    explicit StatementObject(std::shared_ptr<StatementState> statement) : statement_(std::move(statement)) {}

    STDMETHODIMP get_Count(long* count) override
    {
        return RecordedGetValue(
            count, [&] { return statement_->self.Record("get_Count"); }, statement_->count);
    }

    STDMETHODIMP Item(long index, ITolvarBankTransaction** transaction) override
    {
        return RecordedGet(
            transaction, [&] { return statement_->self.Record(CallText("Item", std::to_string(index))); },
            [&](ITolvarBankTransaction*& given) {
                if (index < 0 || index >= statement_->count)
                    return E_INVALIDARG;
                given = MakeHostObject<TransactionObject>(statement_, index + 1).Detach();
                return S_OK;
            });
    }

    STDMETHODIMP AddTransaction(ITolvarBankTransaction** transaction) override
    {
        // AddTransaction comes once per transaction, so it is a transaction-level call for recording.
        const auto record = [&] {
            return statement_->transactionBehaviours.Recording() ? statement_->self.Record("AddTransaction")
                                                                 : statement_->self.Check("AddTransaction");
        };
        return RecordedGet(transaction, record, [&](ITolvarBankTransaction*& given) {
            if (statement_->keepTransactions)
                statement_->store.Add();
            ++statement_->count;
            given = MakeHostObject<TransactionObject>(statement_, statement_->count).Detach();
            return S_OK;
        });
    }

    STDMETHODIMP Reset() override
    {
        const HRESULT hr = statement_->self.Record("Reset");
        if (FAILED(hr))
            return hr;
        statement_->store.Clear();
        statement_->count = 0;
        ++statement_->generation;
        return S_OK;
    }

    STDMETHODIMP get_AccountName(BSTR* name) override
    {
        return RecordedGetText(
            name, [&] { return statement_->self.Record("get_AccountName"); }, std::wstring());
    }

    STDMETHODIMP get_Balance(double* balance) override
    {
        return RecordedGetValue(
            balance, [&] { return statement_->self.Record("get_Balance"); }, statement_->balance);
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
    return state_->transactionBehaviours.At(number);
}

std::vector<TransactionData> Statement::Transactions() const
{
    std::vector<TransactionData> kept;
    kept.reserve(state_->store.Size());
    for (size_t index = 0; index < state_->store.Size(); ++index)
        kept.push_back(state_->store.Get(index));
    return kept;
}

long Statement::KeptCount() const
{
    return static_cast<long>(state_->store.Size());
}

TransactionData Statement::KeptTransaction(long index) const
{
    if (index < 0 || static_cast<size_t>(index) >= state_->store.Size())
        throw std::out_of_range("no kept transaction at this index");
    return state_->store.Get(static_cast<size_t>(index));
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
    state_->transactionBehaviours.SetRecording(on);
}

void Statement::KeepTransactions(bool on)
{
    state_->keepTransactions = on;
}

}  // namespace standin
