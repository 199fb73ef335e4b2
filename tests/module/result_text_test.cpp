// The texts that the host shows for the result codes the payment checks leave on its payments.
#include <gtest/gtest.h>

#include "core/com_object.h"
#include "payments/payment_service.h"
#include "tests/support/com_test.h"

namespace {

class ResultTextTest : public ComTest {
protected:
    ComPtr<IBankPaymentService> Service()
    {
        return ComPtr<IBankPaymentService>(MakeObject<CBankPaymentService>().Get());
    }

    std::wstring Text(long code)
    {
        Bstr text;
        const HRESULT hr = Service()->GetResultText(code, text.Put());
        EXPECT_EQ(S_OK, hr) << code;
        EXPECT_EQ(SysStringLen(text.Get()), wcslen(text.Text())) << code;
        return text.Text();
    }
};

}  // namespace

TEST_F(ResultTextTest, EveryCodeTheChecksLeave)
{
    EXPECT_EQ(L"Payment processed successfully.", Text(0));
    EXPECT_EQ(L"RTI must be 4 characters in length", Text(1));
    EXPECT_EQ(L"This payment is valid but the payment batch has been rejected because of errors elsewhere.", Text(20));
    EXPECT_EQ(L"Invalid Amount specified for payment: negative payments not supported.", Text(21));
    EXPECT_EQ(
        L"Invalid Payer BACS Reference. This value must comprise only numeric values, and be no more than 4 digits long.",
        Text(22));
    EXPECT_EQ(L"Invalid Payer Sort Code: the sort code must be 6 digits in length (excluding hyphens).", Text(23));
    EXPECT_EQ(L"Invalid Payer Bank Account Number: the account number must be 8 digits.", Text(24));
    EXPECT_EQ(L"Invalid or missing Payer bank account name.", Text(25));
    EXPECT_EQ(L"Invalid or missing Payer Building Society roll number.", Text(26));
    EXPECT_EQ(
        L"Invalid Payee BACS Reference. This value must comprise only alpha numeric values, and be no more than 18 characters long.",
        Text(27));
    EXPECT_EQ(L"Invalid Payee Sort Code: the sort code must be 6 digits in length (excluding hyphens).", Text(28));
    EXPECT_EQ(L"Invalid Payee Bank Account Number: the account number must be 8 digits.", Text(29));
    EXPECT_EQ(L"Invalid or missing Payee bank account name.", Text(30));
    EXPECT_EQ(L"Invalid or missing Payee Building Society roll number.", Text(31));
    EXPECT_EQ(L"Invalid or missing reference field.", Text(32));
    EXPECT_EQ(L"Invalid or missing details field.", Text(33));
    EXPECT_EQ(L"Invalid or unknown currency specified.", Text(34));
    EXPECT_EQ(L"An error occurred with the status field.", Text(35));
    EXPECT_EQ(
        L"Invalid RTI Ref: Value must start with / followed by 3 alpha-numeric characters (excluding & or spaces).",
        Text(36));
}

TEST_F(ResultTextTest, CodesWithoutTextLeaveTheOutValueUntouched)
{
    ComPtr<IBankPaymentService> service = Service();
    for (long code : {2L, 5L, 19L, 37L, -1L, 100L, 336L, LONG_MIN, LONG_MAX}) {
        BSTR text = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234));
        EXPECT_EQ(S_OK, service->GetResultText(code, &text)) << code;
        EXPECT_EQ(reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234)), text) << code;
    }
    EXPECT_FALSE(TakeHasErrorInfo());
}

TEST_F(ResultTextTest, NullOutPointerIsInvalidArgument)
{
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), Service()->GetResultText(0, nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
}

TEST_F(ResultTextTest, ReachableThroughTheHostInterfaceAndIDispatch)
{
    ComPtr<ITolvarBankPaymentService> service = Service().As<ITolvarBankPaymentService>();
    ASSERT_TRUE(service);
    Bstr text;
    EXPECT_EQ(S_OK, service->GetResultText(28, text.Put()));
    EXPECT_STREQ(L"Invalid Payee Sort Code: the sort code must be 6 digits in length (excluding hyphens).",
                 text.Text());

    ComPtr<IDispatch> dispatch = Service().As<IDispatch>();
    ASSERT_TRUE(dispatch);
    OLECHAR name[] = L"GetResultText";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    VARIANTARG argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = 0;
    DISPPARAMS parameters = {&argument, nullptr, 1, 0};
    Variant result;
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &result, nullptr,
                                     nullptr));
    ASSERT_EQ(VT_BSTR, result.Get().vt);
    EXPECT_STREQ(L"Payment processed successfully.", result.Get().bstrVal);
}
