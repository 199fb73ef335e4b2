// What both bank services share: names, status, the argument checks, interface answers.
#include <gtest/gtest.h>

#include "core/com_object.h"
#include "objects/bank.h"
#include "objects/bank_services.h"
#include "payments/payment_service.h"
#include "statements/statement_service.h"
#include "tests/support/com_test.h"

class ServiceMembersTest : public ComTest {};

namespace {

template <class Service, class Interface>
void ExpectCommonMembers(const wchar_t* expectedName, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ::testing::ScopedTrace caller(file, line, "called from here");
    ComPtr<Service> service = MakeObject<Service>();
    Interface* face = static_cast<Interface*>(service.Get());

    Bstr name;
    EXPECT_EQ(S_OK, face->get_Name(name.Put()));
    EXPECT_EQ(std::wstring(expectedName), name.Text());
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), face->get_Name(nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());

    long status = -1;
    EXPECT_EQ(S_OK, face->get_Status(&status));
    EXPECT_EQ(0, status);
    EXPECT_EQ(S_OK, face->put_Status(7));
    EXPECT_EQ(S_OK, face->get_Status(&status));
    EXPECT_EQ(7, status);
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), face->get_Status(nullptr));

    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), face->Prepare(nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
    EXPECT_EQ(S_OK, face->Prepare(face));
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), face->Query(face, nullptr));
    EXPECT_EQ(S_OK, face->Query(nullptr, face));
    EXPECT_EQ(S_OK, face->get_Status(&status));
    EXPECT_EQ(7, status);  // the checks change nothing
}

// QueryInterface answers exactly the listed interfaces, all on the same pointer except
// ISupportErrorInfo, which answers S_OK only for the class's own interface.
void ExpectInterfaces(IUnknown* object, std::vector<IID> answered, const IID& supportsErrorInfo,
                      std::vector<IID> refused, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ::testing::ScopedTrace caller(file, line, "called from here");
    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, identity.PutVoid()));
    for (const IID& iid : answered) {
        ComPtr<IUnknown> face;
        EXPECT_EQ(S_OK, object->QueryInterface(iid, face.PutVoid()));
        if (!InlineIsEqualGUID(iid, IID_ISupportErrorInfo) && !InlineIsEqualGUID(iid, IID_IUnknown)) {
            EXPECT_EQ(face.Get(), identity.Get());
        }
    }
    for (const IID& iid : refused) {
        void* face = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(iid, &face));
        EXPECT_EQ(nullptr, face);
    }
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_ISupportErrorInfo, support.PutVoid()));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(supportsErrorInfo));
    for (const IID& iid : answered) {
        if (!InlineIsEqualGUID(iid, supportsErrorInfo)) {
            EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(iid));
        }
    }
}

}  // namespace

TEST_F(ServiceMembersTest, PaymentServiceCommonMembers)
{
    ExpectCommonMembers<CBankPaymentService, IBankPaymentService>(L"Bank Payment Service");
}

TEST_F(ServiceMembersTest, StatementServiceCommonMembers)
{
    ExpectCommonMembers<CBankStatementService, IBankStatementService>(L"Bank Reconciliation Service");
}

TEST_F(ServiceMembersTest, InterfaceAnswersOfEveryClass)
{
    ComPtr<CBankPaymentService> payments = MakeObject<CBankPaymentService>();
    ExpectInterfaces(
        static_cast<IBankPaymentService*>(payments.Get()),
        {IID_IUnknown, IID_IBankPaymentService, IID_ITolvarBankPaymentService, IID_IDispatch, IID_ISupportErrorInfo},
        IID_IBankPaymentService, {IID_ITolvarBankService, IID_IBankStatementService, IID_IClassFactory});

    ComPtr<CBankStatementService> statements = MakeObject<CBankStatementService>();
    ExpectInterfaces(static_cast<IBankStatementService*>(statements.Get()),
                     {IID_IUnknown, IID_IBankStatementService, IID_ITolvarBankStatementService, IID_IDispatch,
                      IID_ISupportErrorInfo},
                     IID_IBankStatementService, {IID_ITolvarBankService, IID_IBankPaymentService});

    ComPtr<CBank> bank = MakeObject<CBank>();
    ExpectInterfaces(static_cast<IBank*>(bank.Get()),
                     {IID_IUnknown, IID_IBank, IID_ITolvarBank, IID_IDispatch, IID_ISupportErrorInfo}, IID_IBank,
                     {IID_IBankServices, IID_IEnumVARIANT});

    ComPtr<CBankServices> services = MakeObject<CBankServices>();
    ExpectInterfaces(static_cast<IBankServices*>(services.Get()),
                     {IID_IUnknown, IID_IDispatch, IID_IBankServices, IID_ITolvarBankServices, IID_ISupportErrorInfo},
                     IID_IBankServices, {IID_IBank, IID_ITolvarBankService});
}

TEST_F(ServiceMembersTest, DispatchServedFromModuleTypeLibrary)
{
    ComPtr<CBankPaymentService> payments = MakeObject<CBankPaymentService>();
    IDispatch* dispatch = static_cast<IBankPaymentService*>(payments.Get());
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Name")};
    DISPID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS none = {};
    Variant result;
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                     nullptr));
    ASSERT_EQ(VT_BSTR, V_VT(&result.Get()));
    EXPECT_EQ(std::wstring(L"Bank Payment Service"), V_BSTR(&result.Get()));
}
