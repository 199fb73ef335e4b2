// The host's payment batch and its payments.
#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "standin/behaviour_table.h"
#include "standin/call_text.h"
#include "standin/host_object.h"
#include "standin/recorded_members.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

class BatchState {
public:
    explicit BatchState(std::shared_ptr<CallLog> callLog)
        : log(std::move(callLog)),
          batch(log, "Payments", IID_ITolvarBankPayments),
          paymentBehaviours(log, "Payment", IID_ITolvarBankPayment)
    {
    }

    long Count() const { return generator ? generatedCount : static_cast<long>(listed.size()); }

    void PutResultCode(long index, long code)
    {
        if (index < 0)
            return;
        const size_t slot = static_cast<size_t>(index);
        if (slot >= resultCodes.size())
            resultCodes.resize(std::max(slot + 1, static_cast<size_t>(Count())), -1);
        resultCodes[slot] = code;
    }

    long ResultCode(long index) const
    {
        if (index < 0 || static_cast<size_t>(index) >= resultCodes.size())
            return -1;
        return resultCodes[static_cast<size_t>(index)];
    }

    std::shared_ptr<CallLog> log;
    Behaviour batch;
    std::vector<PaymentData> listed;
    PaymentBatch::Generator generator = nullptr;
    long generatedCount = 0;
    BehaviourTable paymentBehaviours;
    std::vector<long> resultCodes;  // -1: none put yet
};

// One payment as Item hands it out. A listed payment reads and writes the batch's own data; a
// generated one holds what the generator made for it, for its own lifetime only.
class PaymentObject final : public RecordedMembers<PaymentObject>, public HostObject<ITolvarBankPayment2> {
public:
    PaymentObject(std::shared_ptr<BatchState> batch, long index) : batch_(std::move(batch)), index_(index)
    {
        if (batch_->generator)
            generated_ = batch_->generator(index_);
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (InlineIsEqualGUID(iid, IID_ITolvarBankPayment2)) {
            const HRESULT hr = batch_->paymentBehaviours.OnCall(index_, "QueryInterface", &kPayment2Name);
            if (FAILED(hr)) {
                if (out)
                    *out = nullptr;
                return hr;
            }
        }
        return HostObject::QueryInterface(iid, out);
    }

    STDMETHODIMP get_Amount(double* amount) override { return GetNumber("get_Amount", Data().Amount, amount); }
    STDMETHODIMP put_Amount(double amount) override
    {
        return PutValue("put_Amount", NumberText(amount), Data().Amount, amount);
    }

#define STANDIN_PAYMENT_TEXT(Member)                                                                                   \
    STDMETHODIMP get_##Member(BSTR* text) override                                                                     \
    {                                                                                                                  \
        return GetText("get_" #Member, Data().Member, text);                                                           \
    }                                                                                                                  \
    STDMETHODIMP put_##Member(BSTR text) override                                                                      \
    {                                                                                                                  \
        return PutText("put_" #Member, Data().Member, text);                                                           \
    }

    STANDIN_PAYMENT_TEXT(PayerBacsReference)
    STANDIN_PAYMENT_TEXT(PayerSortCode)
    STANDIN_PAYMENT_TEXT(PayerAccountNumber)
    STANDIN_PAYMENT_TEXT(PayerAccountName)
    STANDIN_PAYMENT_TEXT(PayerRollNumber)
    STANDIN_PAYMENT_TEXT(PayeeBacsReference)
    STANDIN_PAYMENT_TEXT(PayeeSortCode)
    STANDIN_PAYMENT_TEXT(PayeeAccountNumber)
    STANDIN_PAYMENT_TEXT(PayeeAccountName)
    STANDIN_PAYMENT_TEXT(PayeeRollNumber)
    STANDIN_PAYMENT_TEXT(Reference)
    STANDIN_PAYMENT_TEXT(Details)
    STANDIN_PAYMENT_TEXT(Currency)
    STANDIN_PAYMENT_TEXT(RtiReference)
#undef STANDIN_PAYMENT_TEXT

    STDMETHODIMP get_PaymentStatus(long* status) override
    {
        return GetNumber("get_PaymentStatus", status_, status);
    }
    STDMETHODIMP put_PaymentStatus(long status) override
    {
        return PutValue("put_PaymentStatus", std::to_string(status), status_, status);
    }
    STDMETHODIMP get_ResultCode(long* code) override
    {
        return GetNumber("get_ResultCode", std::max(batch_->ResultCode(index_), 0L), code);
    }
    STDMETHODIMP put_ResultCode(long code) override
    {
        const std::string argument = std::to_string(code);
        const HRESULT hr = batch_->paymentBehaviours.OnCall(index_, "put_ResultCode", &argument);
        if (SUCCEEDED(hr))
            batch_->PutResultCode(index_, code);
        return hr;
    }
    STDMETHODIMP get_PaymentId(long* id) override
    {
        return GetNumber("get_PaymentId", index_ + 1, id);
    }
    STDMETHODIMP put_PaymentId(long id) override
    {
        long ignored = 0;
        return PutValue("put_PaymentId", std::to_string(id), ignored, id);
    }
    STDMETHODIMP get_IsRti(long* isRti) override
    {
        return GetNumber("get_IsRti", Data().IsRti, isRti);
    }
    STDMETHODIMP put_IsRti(long isRti) override
    {
        return PutValue("put_IsRti", std::to_string(isRti), Data().IsRti, isRti);
    }

protected:
    bool Answers(REFIID iid) const override
    {
        return InlineIsEqualGUID(iid, IID_ITolvarBankPayment) ||
               (InlineIsEqualGUID(iid, IID_ITolvarBankPayment2) && Data().OffersRti);
    }
    bool PostsErrorInfo() const override
    {
        return batch_->paymentBehaviours.PostsErrorInfo(index_);
    }

private:
    static const std::string kPayment2Name;

    // A listed payment that the batch no longer holds (the test replaced the list) reads empty.
    PaymentData& Data()
    {
        const size_t slot = static_cast<size_t>(index_);
        return !batch_->generator && slot < batch_->listed.size() ? batch_->listed[slot] : generated_;
    }
    const PaymentData& Data() const
    {
        return const_cast<PaymentObject*>(this)->Data();
    }

    friend class RecordedMembers<PaymentObject>;
    HRESULT OnCall(const char* member, const std::string* argument)
    {
        return batch_->paymentBehaviours.OnCall(index_, member, argument);
    }

    std::shared_ptr<BatchState> batch_;
    long index_;
    PaymentData generated_;
    long status_ = 0;
};

const std::string PaymentObject::kPayment2Name = "ITolvarBankPayment2";

class BatchObject final : public HostObject<ITolvarBankPayments> {
public:
    explicit BatchObject(std::shared_ptr<BatchState> batch) : batch_(std::move(batch)) {}

    STDMETHODIMP Item(long index, ITolvarBankPayment** payment) override
    {
        // Item comes once per payment, so it is a payment-level call for recording.
        const auto record = [&] {
            const std::string call = CallText("Item", std::to_string(index));
            return batch_->paymentBehaviours.Recording() ? batch_->batch.Record(call) : batch_->batch.Check(call);
        };
        return RecordedGet(payment, record, [&](ITolvarBankPayment*& given) {
            if (index < 0 || index >= batch_->Count())
                return E_INVALIDARG;
            given = MakeHostObject<PaymentObject>(batch_, index).Detach();
            return S_OK;
        });
    }

    STDMETHODIMP get_Count(long* count) override
    {
        return RecordedGetValue(
            count, [&] { return batch_->batch.Record("get_Count"); }, batch_->Count());
    }

protected:
    bool PostsErrorInfo() const override { return batch_->batch.PostsErrorInfo(); }

private:
    std::shared_ptr<BatchState> batch_;
};

}  // namespace

struct PaymentBatch::State : BatchState {
    using BatchState::BatchState;
};

PaymentBatch::PaymentBatch(std::shared_ptr<CallLog> log)
    : state_(std::make_shared<State>(std::move(log))), batch_(MakeHostObject<BatchObject>(state_))
{
}

PaymentBatch::~PaymentBatch() = default;

void PaymentBatch::Add(const PaymentData& payment)
{
    state_->listed.push_back(payment);
}

void PaymentBatch::UseGenerator(long count, Generator generator)
{
    state_->listed.clear();
    state_->generator = generator;
    state_->generatedCount = generator ? std::max(count, 0L) : 0;
}

ITolvarBankPayments* PaymentBatch::Get() const
{
    return batch_.Get();
}

Behaviour& PaymentBatch::Batch()
{
    return state_->batch;
}

Behaviour& PaymentBatch::Payment(long index)
{
    return state_->paymentBehaviours.At(index);
}

long PaymentBatch::ResultCode(long index) const
{
    return state_->ResultCode(index);
}

const PaymentData& PaymentBatch::Listed(long index) const
{
    if (index < 0 || static_cast<size_t>(index) >= state_->listed.size())
        throw std::out_of_range("no listed payment at this index");
    return state_->listed[static_cast<size_t>(index)];
}

void PaymentBatch::RecordPaymentCalls(bool on)
{
    state_->paymentBehaviours.SetRecording(on);
}

CallLog& PaymentBatch::Log() const
{
    return *state_->log;
}

}  // namespace standin
