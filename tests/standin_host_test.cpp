// The stand-in host's objects: the calls they record, planned failures with their error
// information, QueryInterface, class registration, and that they go away when released.
#include <gtest/gtest.h>

#include <cstring>

#include "samplehost/standin_host.h"
#include "tests/support/com_test.h"

using namespace standin;

namespace {

class StandinHostTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        liveAtStart_ = LiveObjects();
    }
    void TearDown() override
    {
        EXPECT_EQ(liveAtStart_, LiveObjects()) << "stand-in objects left alive";
        ComTest::TearDown();
    }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    long liveAtStart_ = 0;
};

std::vector<std::string> Calls(std::initializer_list<const char*> calls)
{
    return std::vector<std::string>(calls.begin(), calls.end());
}

PaymentData SamplePayment(const wchar_t* payeeSortCode, double amount)
{
    PaymentData payment;
    payment.Amount = amount;
    payment.PayeeSortCode = payeeSortCode;
    payment.PayeeAccountName = L"J SMITH";
    payment.Details = L"Invoice 1";
    return payment;
}

PaymentData GeneratedPayment(long index)
{
    PaymentData payment;
    payment.Amount = index + 0.5;
    payment.PayeeSortCode = L"401122";
    return payment;
}

ULONG ReferenceCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Payments

TEST_F(StandinHostTest, BatchRecordsItsCallsAndHandsOutPaymentsByIndex)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"40-11-22", 1234.5));
    batch.Add(SamplePayment(L"20-00-00", -12.5));

    long count = -1;
    EXPECT_EQ(S_OK, batch.Get()->get_Count(&count));
    EXPECT_EQ(2, count);

    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(1, payment.Put()));
    Bstr sortCode;
    EXPECT_EQ(S_OK, payment->get_PayeeSortCode(sortCode.Put()));
    EXPECT_STREQ(L"20-00-00", sortCode.Text());
    double amount = 0;
    EXPECT_EQ(S_OK, payment->get_Amount(&amount));
    EXPECT_EQ(-12.5, amount);
    Bstr name;
    EXPECT_EQ(S_OK, payment->get_PayeeAccountName(name.Put()));
    EXPECT_STREQ(L"J SMITH", name.Text());
    EXPECT_EQ(S_OK, payment->put_ResultCode(28));
    EXPECT_EQ(S_OK, payment->put_Details(Bstr(L"CAFÉ, 10%").Get()));

    EXPECT_EQ(Calls({"Payments.get_Count", "Payments.Item(1)", "Payment[1].get_PayeeSortCode", "Payment[1].get_Amount",
                     "Payment[1].get_PayeeAccountName", "Payment[1].put_ResultCode(28)",
                     "Payment[1].put_Details(CAFÉ, 10%)"}),
              log_->Calls())
        << log_->Text();
    EXPECT_EQ(28, batch.ResultCode(1));
    EXPECT_EQ(-1, batch.ResultCode(0));
    EXPECT_EQ(L"CAFÉ, 10%", batch.Listed(1).Details);
}

TEST_F(StandinHostTest, ItemOutsideTheBatchIsInvalidArgumentAndGivesNoPayment)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    ITolvarBankPayment* payment = reinterpret_cast<ITolvarBankPayment*>(1);
    EXPECT_EQ(E_INVALIDARG, batch.Get()->Item(1, &payment));
    EXPECT_EQ(nullptr, payment);
    payment = reinterpret_cast<ITolvarBankPayment*>(1);
    EXPECT_EQ(E_INVALIDARG, batch.Get()->Item(-1, &payment));
    EXPECT_EQ(nullptr, payment);
    EXPECT_EQ(E_POINTER, batch.Get()->Item(0, nullptr));
}

TEST_F(StandinHostTest, PaymentOffersRtiInterfaceOnlyWhenAskedTo)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    PaymentData rti = SamplePayment(L"401122", 2);
    rti.OffersRti = true;
    rti.IsRti = 1;
    rti.RtiReference = L"RTI0001";
    batch.Add(rti);

    ComPtr<ITolvarBankPayment> plain, withRti;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, plain.Put()));
    ASSERT_EQ(S_OK, batch.Get()->Item(1, withRti.Put()));
    log_->Clear();

    ComPtr<ITolvarBankPayment2> plain2;
    EXPECT_EQ(E_NOINTERFACE, plain->QueryInterface(IID_ITolvarBankPayment2, plain2.PutVoid()));
    EXPECT_FALSE(plain2);

    ComPtr<ITolvarBankPayment2> rti2;
    ASSERT_EQ(S_OK, withRti->QueryInterface(IID_ITolvarBankPayment2, rti2.PutVoid()));
    long isRti = 0;
    Bstr reference;
    EXPECT_EQ(S_OK, rti2->get_IsRti(&isRti));
    EXPECT_EQ(S_OK, rti2->get_RtiReference(reference.Put()));
    EXPECT_EQ(S_OK, rti2->put_ResultCode(0));
    EXPECT_EQ(1, isRti);
    EXPECT_STREQ(L"RTI0001", reference.Text());
    EXPECT_EQ(0, batch.ResultCode(1));

    EXPECT_EQ(Calls({"Payment[0].QueryInterface(ITolvarBankPayment2)", "Payment[1].QueryInterface(ITolvarBankPayment2)",
                     "Payment[1].get_IsRti", "Payment[1].get_RtiReference", "Payment[1].put_ResultCode(0)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, ObjectsAnswerIdentityDispatchAndTheirInterfaceOnly)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
    log_->Clear();

    ComPtr<IUnknown> viaBatch, viaPaymentsInterface;
    ASSERT_EQ(S_OK, batch.Get()->QueryInterface(IID_IUnknown, viaBatch.PutVoid()));
    ComPtr<ITolvarBankPayments> payments;
    ASSERT_EQ(S_OK, viaBatch->QueryInterface(IID_ITolvarBankPayments, payments.PutVoid()));
    ASSERT_EQ(S_OK, payments->QueryInterface(IID_IUnknown, viaPaymentsInterface.PutVoid()));
    EXPECT_EQ(viaBatch.Get(), viaPaymentsInterface.Get());
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, batch.Get()->QueryInterface(IID_IDispatch, dispatch.PutVoid()));
    UINT typeInfos = 9;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&typeInfos));
    EXPECT_EQ(0u, typeInfos);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, batch.Get()->QueryInterface(IID_ITolvarBankPayment, &other));
    EXPECT_EQ(nullptr, other);
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, payment->QueryInterface(IID_ITolvarBankStatement, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(E_POINTER, payment->QueryInterface(IID_IUnknown, nullptr));
    ComPtr<ITolvarBankPayment> again;
    EXPECT_EQ(S_OK, payment->QueryInterface(IID_ITolvarBankPayment, again.PutVoid()));
    EXPECT_TRUE(log_->Calls().empty()) << log_->Text();
}

TEST_F(StandinHostTest, FailingMemberReturnsItsResultAndPostsErrorInformation)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    batch.Add(SamplePayment(L"401122", 2));
    batch.Batch().FailOn("Item(1)", {E_ACCESSDENIED, L"Payment 2 is locked"});
    batch.Payment(0).FailOn("get_PayeeSortCode", {E_FAIL, L"No sort code"});

    ComPtr<ITolvarBankPayment> first, second;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, first.Put()));
    EXPECT_EQ(E_ACCESSDENIED, batch.Get()->Item(1, second.Put()));
    EXPECT_FALSE(second);
    EXPECT_EQ(L"Payment 2 is locked", TakeErrorDescription());

    BSTR sortCode = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_FAIL, first->get_PayeeSortCode(&sortCode));
    EXPECT_EQ(nullptr, sortCode);
    EXPECT_EQ(L"Payment[0]", PeekErrorSource());
    EXPECT_EQ(L"No sort code", TakeErrorDescription());

    ComPtr<ISupportErrorInfo> support = first.As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayment));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
    ComPtr<ISupportErrorInfo> batchSupport = ComPtr<ITolvarBankPayments>(batch.Get()).As<ISupportErrorInfo>();
    ASSERT_TRUE(batchSupport);
    EXPECT_EQ(S_OK, batchSupport->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));

    // Other members and other payments still answer.
    double amount = 0;
    EXPECT_EQ(S_OK, first->get_Amount(&amount));
    EXPECT_EQ(S_OK, batch.Get()->Item(0, second.Put()));
    EXPECT_EQ(Calls({"Payments.Item(0)", "Payments.Item(1)", "Payment[0].get_PayeeSortCode", "Payment[0].get_Amount",
                     "Payments.Item(0)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, FailureWithoutDescriptionPostsNothingAndDeniesErrorInfoSupport)
{
    PaymentBatch batch(log_);
    batch.Batch().FailOn("get_Count", {E_UNEXPECTED, L""});
    long count = 7;
    EXPECT_EQ(E_UNEXPECTED, batch.Get()->get_Count(&count));
    EXPECT_EQ(0, count);
    EXPECT_FALSE(TakeHasErrorInfo());
    ComPtr<ISupportErrorInfo> support = ComPtr<ITolvarBankPayments>(batch.Get()).As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
}

TEST_F(StandinHostTest, GeneratedBatchKeepsOnlyResultCodesAndCanStopRecording)
{
    PaymentBatch batch(log_);
    batch.UseGenerator(1000000, GeneratedPayment);
    batch.RecordPaymentCalls(false);
    batch.Payment(999999).FailOn("get_Amount", {E_FAIL, L"Last one"});

    long count = 0;
    EXPECT_EQ(S_OK, batch.Get()->get_Count(&count));
    EXPECT_EQ(1000000, count);
    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(123456, payment.Put()));
    double amount = 0;
    EXPECT_EQ(S_OK, payment->get_Amount(&amount));
    EXPECT_EQ(123456.5, amount);
    EXPECT_EQ(S_OK, payment->put_ResultCode(12));
    ASSERT_EQ(S_OK, batch.Get()->Item(999999, payment.Put()));
    EXPECT_EQ(E_FAIL, payment->get_Amount(&amount));
    EXPECT_EQ(L"Last one", TakeErrorDescription());

    EXPECT_EQ(12, batch.ResultCode(123456));
    EXPECT_EQ(-1, batch.ResultCode(123457));
    EXPECT_EQ(Calls({"Payments.get_Count"}), log_->Calls()) << log_->Text();
}

TEST_F(StandinHostTest, ContextGivesTheAccountAndRecordsItsCalls)
{
    PaymentContext context(L"40-11-22", L"87654321", log_);
    ComPtr<ITolvarBankAccount> account;
    ASSERT_EQ(S_OK, context.Get()->get_BankAccount(account.Put()));
    Bstr sortCode, number;
    EXPECT_EQ(S_OK, account->get_SortCode(sortCode.Put()));
    EXPECT_EQ(S_OK, account->get_AccountNumber(number.Put()));
    EXPECT_STREQ(L"40-11-22", sortCode.Text());
    EXPECT_STREQ(L"87654321", number.Text());
    EXPECT_EQ(Calls({"Context.get_BankAccount", "Account.get_SortCode", "Account.get_AccountNumber"}), log_->Calls())
        << log_->Text();

    context.Account().FailOn("get_SortCode", {E_FAIL, L"Account closed"});
    BSTR failed = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_FAIL, account->get_SortCode(&failed));
    EXPECT_EQ(nullptr, failed);
    EXPECT_EQ(L"Account closed", TakeErrorDescription());

    context.Context().FailOn("get_BankAccount", {E_FAIL, L""});
    ITolvarBankAccount* none = reinterpret_cast<ITolvarBankAccount*>(1);
    EXPECT_EQ(E_FAIL, context.Get()->get_BankAccount(&none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(StandinHostTest, ReleasedPaymentsGoAwayAndObjectsOutliveTheirOwnerWhileReferenced)
{
    ComPtr<ITolvarBankPayment> kept;
    {
        PaymentBatch batch(log_);
        batch.Add(SamplePayment(L"401122", 3));
        const long before = LiveObjects();
        {
            ComPtr<ITolvarBankPayment> payment;
            ASSERT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
            EXPECT_EQ(1u, ReferenceCount(payment.Get()));
            EXPECT_EQ(before + 1, LiveObjects());
        }
        EXPECT_EQ(before, LiveObjects());
        ASSERT_EQ(S_OK, batch.Get()->Item(0, kept.Put()));
    }
    double amount = 0;
    EXPECT_EQ(S_OK, kept->get_Amount(&amount));
    EXPECT_EQ(3, amount);
}
