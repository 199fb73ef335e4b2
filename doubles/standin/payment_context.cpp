// The paying account's context and its bank account.
#include <utility>

#include "standin/call_text.h"
#include "standin/recorded_members.h"
#include "standin/host_object.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

class ContextState {
public:
    ContextState(std::wstring sortCode, std::wstring accountNumber, std::shared_ptr<CallLog> log)
        : context(log, "Context", IID_ITolvarBankPaymentContext),
          account(log, "Account", IID_ITolvarBankAccount),
          sortCode(std::move(sortCode)),
          accountNumber(std::move(accountNumber))
    {
    }

    Behaviour context;
    Behaviour account;
    std::wstring sortCode, accountNumber, accountName;
};

HRESULT GetText(const Behaviour& behaviour, const char* member, const std::wstring& value, BSTR* text)
{
    return RecordedGetText(
        text, [&] { return behaviour.Record(member); }, value);
}

HRESULT PutText(const Behaviour& behaviour, const char* member, std::wstring& stored, BSTR text)
{
    return RecordedPutText([&](const std::string& argument) { return behaviour.Record(CallText(member, argument)); },
                           stored, text);
}

class AccountObject final : public HostObject<ITolvarBankAccount> {
public:
    explicit AccountObject(std::shared_ptr<ContextState> state) : state_(std::move(state)) {}

    STDMETHODIMP get_SortCode(BSTR* text) override
    {
        return GetText(state_->account, "get_SortCode", state_->sortCode, text);
    }
    STDMETHODIMP put_SortCode(BSTR text) override
    {
        return PutText(state_->account, "put_SortCode", state_->sortCode, text);
    }
    STDMETHODIMP get_AccountName(BSTR* text) override
    {
        return GetText(state_->account, "get_AccountName", state_->accountName, text);
    }
    STDMETHODIMP put_AccountName(BSTR text) override
    {
        return PutText(state_->account, "put_AccountName", state_->accountName, text);
    }
    STDMETHODIMP get_AccountNumber(BSTR* text) override
    {
        return GetText(state_->account, "get_AccountNumber", state_->accountNumber, text);
    }
    STDMETHODIMP put_AccountNumber(BSTR text) override
    {
        return PutText(state_->account, "put_AccountNumber", state_->accountNumber, text);
    }

protected:
    bool PostsErrorInfo() const override { return state_->account.PostsErrorInfo(); }

private:
    std::shared_ptr<ContextState> state_;
};

// Hands out a fresh account object on each call; the account's data lives in the shared state.
class ContextObject final : public HostObject<ITolvarBankPaymentContext> {
public:
    explicit ContextObject(std::shared_ptr<ContextState> state) : state_(std::move(state)) {}

    STDMETHODIMP get_BankAccount(ITolvarBankAccount** account) override
    {
        return RecordedGet(
            account, [&] { return state_->context.Record("get_BankAccount"); },
            [&](ITolvarBankAccount*& given) {
                given = MakeHostObject<AccountObject>(state_).Detach();
                return S_OK;
            });
    }

protected:
    bool PostsErrorInfo() const override { return state_->context.PostsErrorInfo(); }

private:
    std::shared_ptr<ContextState> state_;
};

}  // namespace

struct PaymentContext::State : ContextState {
    using ContextState::ContextState;
};

PaymentContext::PaymentContext(std::wstring sortCode, std::wstring accountNumber, std::shared_ptr<CallLog> log)
    : state_(std::make_shared<State>(std::move(sortCode), std::move(accountNumber), std::move(log))),
      context_(MakeHostObject<ContextObject>(state_))
{
}

PaymentContext::~PaymentContext() = default;

ITolvarBankPaymentContext* PaymentContext::Get() const
{
    return context_.Get();
}

Behaviour& PaymentContext::Context()
{
    return state_->context;
}

Behaviour& PaymentContext::Account()
{
    return state_->account;
}

}  // namespace standin
