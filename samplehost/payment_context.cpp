// The paying account's context and its bank account.
#include <utility>

#include "samplehost/call_text.h"
#include "samplehost/host_object.h"
#include "samplehost/standin_host.h"

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
    if (text)
        *text = nullptr;
    const HRESULT hr = behaviour.Record(member);
    if (FAILED(hr))
        return hr;
    if (!text)
        return E_POINTER;
    *text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutText(const Behaviour& behaviour, const char* member, std::wstring& stored, BSTR text)
{
    const HRESULT hr = behaviour.Record(CallText(member, BstrText(text)));
    if (SUCCEEDED(hr))
        stored.assign(text ? text : L"", text ? SysStringLen(text) : 0);
    return hr;
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
        if (account)
            *account = nullptr;
        const HRESULT hr = state_->context.Record("get_BankAccount");
        if (FAILED(hr))
            return hr;
        if (!account)
            return E_POINTER;
        *account = MakeHostObject<AccountObject>(state_).Detach();
        return S_OK;
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
