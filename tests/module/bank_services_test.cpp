// The bank, its services collection and the collection's enumerator.
#include <gtest/gtest.h>

#include "core/com_object.h"
#include "objects/bank.h"
#include "objects/bank_services.h"
#include "payments/payment_service.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"

class BankServicesTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        bank_ = MakeObject<CBank>();
        ASSERT_EQ(S_OK, Bank()->get_Services(services_.Put()));
    }
    void TearDown() override
    {
        services_.Reset();
        bank_.Reset();
        ComTest::TearDown();
    }
    IBank* Bank() { return static_cast<IBank*>(bank_.Get()); }

    std::wstring NameOf(IUnknown* service)
    {
        ComPtr<ITolvarBankService> face;
        if (FAILED(service->QueryInterface(IID_IBankPaymentService, face.PutVoid())) &&
            FAILED(service->QueryInterface(IID_IBankStatementService, face.PutVoid())))
            return L"<not a service>";
        Bstr name;
        face->get_Name(name.Put());
        return name.Text();
    }

    HRESULT ItemOf(VARIANT& index, std::wstring* name)
    {
        ComPtr<ITolvarBankService> service;
        HRESULT hr = services_->Item(index, service.Put());
        if (SUCCEEDED(hr))
            *name = NameOf(service.Get());
        return hr;
    }

    ComPtr<CBank> bank_;
    ComPtr<ITolvarBankServices> services_;
};

TEST_F(BankServicesTest, BankMembers)
{
    Bstr name;
    EXPECT_EQ(S_OK, Bank()->get_Name(name.Put()));
    EXPECT_EQ(std::wstring(L"Brenmark Fenlow Online Plus"), name.Text());
    long version = 0, status = -1;
    EXPECT_EQ(S_OK, Bank()->get_Version(&version));
    EXPECT_EQ(1, version);
    EXPECT_EQ(S_OK, Bank()->get_Status(&status));
    EXPECT_EQ(0, status);
    auto expectInvalid = [](HRESULT hr) {
        EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), hr);
        EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
    };
    expectInvalid(Bank()->get_Name(nullptr));
    expectInvalid(Bank()->get_Services(nullptr));
    expectInvalid(Bank()->get_Version(nullptr));
    expectInvalid(Bank()->get_Status(nullptr));
}

TEST_F(BankServicesTest, SameCollectionFromEveryCall)
{
    ComPtr<ITolvarBankServices> again;
    ASSERT_EQ(S_OK, Bank()->get_Services(again.Put()));
    EXPECT_EQ(services_.Get(), again.Get());
    long count = 0;
    EXPECT_EQ(S_OK, services_->get_Count(&count));
    EXPECT_EQ(2, count);
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), services_->get_Count(nullptr));
}

TEST_F(BankServicesTest, ItemByPositionNameAndConvertibleVariants)
{
    std::wstring name;
    Variant index;
    V_VT(&index.Get()) = VT_I4;
    V_I4(&index.Get()) = 0;
    EXPECT_EQ(S_OK, ItemOf(index.Get(), &name));
    EXPECT_EQ(L"Bank Payment Service", name);
    V_I4(&index.Get()) = 1;
    EXPECT_EQ(S_OK, ItemOf(index.Get(), &name));
    EXPECT_EQ(L"Bank Reconciliation Service", name);
    for (long bad : {2L, -1L, -5L}) {
        V_I4(&index.Get()) = bad;
        EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), ItemOf(index.Get(), &name)) << bad;
        EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
    }

    Variant real;
    V_VT(&real.Get()) = VT_R8;
    V_R8(&real.Get()) = 1.0;
    EXPECT_EQ(S_OK, ItemOf(real.Get(), &name));
    EXPECT_EQ(L"Bank Reconciliation Service", name);

    Variant text;
    V_VT(&text.Get()) = VT_BSTR;
    V_BSTR(&text.Get()) = SysAllocString(L"1");  // a name, not a position
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), ItemOf(text.Get(), &name));
    VariantClear(&text.Get());
    V_VT(&text.Get()) = VT_BSTR;
    V_BSTR(&text.Get()) = SysAllocString(L"Bank Payment Service");
    EXPECT_EQ(S_OK, ItemOf(text.Get(), &name));
    EXPECT_EQ(L"Bank Payment Service", name);
    VariantClear(&text.Get());
    V_VT(&text.Get()) = VT_BSTR;
    V_BSTR(&text.Get()) = SysAllocString(L"bank reconciliation service");  // names are case-sensitive
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), ItemOf(text.Get(), &name));

    BSTR byReferenceName = SysAllocString(L"Bank Reconciliation Service");
    VARIANT byReference;
    VariantInit(&byReference);
    V_VT(&byReference) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&byReference) = &byReferenceName;
    EXPECT_EQ(S_OK, ItemOf(byReference, &name));
    EXPECT_EQ(L"Bank Reconciliation Service", name);
    SysFreeString(byReferenceName);

    Variant empty;
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), ItemOf(empty.Get(), &name));
    Variant missing;
    V_VT(&missing.Get()) = VT_ERROR;
    V_ERROR(&missing.Get()) = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), ItemOf(missing.Get(), &name));
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), services_->Item(index.Get(), nullptr));
}

TEST_F(BankServicesTest, EnumeratorWalksBothServices)
{
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, services_->get__NewEnum(unknown.Put()));
    ComPtr<IEnumVARIANT> walker = unknown.As<IEnumVARIANT>();
    ASSERT_TRUE(walker);

    const wchar_t* expected[] = {L"Bank Payment Service", L"Bank Reconciliation Service"};
    for (const wchar_t* name : expected) {
        Variant slot;
        ULONG fetched = 99;
        EXPECT_EQ(S_OK, walker->Next(1, &slot.Get(), &fetched));
        EXPECT_EQ(1u, fetched);
        ASSERT_EQ(VT_DISPATCH, V_VT(&slot.Get()));
        EXPECT_EQ(std::wstring(name), NameOf(V_DISPATCH(&slot.Get())));
    }
    Variant after;
    ULONG fetched = 99;
    EXPECT_EQ(S_FALSE, walker->Next(1, &after.Get(), &fetched));
    EXPECT_EQ(0u, fetched);

    EXPECT_EQ(S_OK, walker->Reset());
    VARIANT five[5];
    EXPECT_EQ(S_FALSE, walker->Next(5, five, &fetched));
    EXPECT_EQ(2u, fetched);
    EXPECT_EQ(VT_EMPTY, V_VT(&five[2]));
    for (VARIANT& slot : five)
        VariantClear(&slot);

    EXPECT_EQ(S_OK, walker->Reset());
    EXPECT_EQ(E_POINTER, walker->Next(0, nullptr, &fetched));
    EXPECT_EQ(S_FALSE, walker->Skip(2));
    EXPECT_EQ(S_OK, walker->Skip(1));
    Variant second;
    EXPECT_EQ(S_OK, walker->Next(1, &second.Get(), nullptr));
    EXPECT_EQ(L"Bank Reconciliation Service", NameOf(V_DISPATCH(&second.Get())));

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, walker->QueryInterface(IID_IDispatch, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(E_NOINTERFACE, walker->QueryInterface(IID_IDispatch, nullptr));
    EXPECT_EQ(E_POINTER, walker->QueryInterface(IID_IEnumVARIANT, nullptr));
}

// A caller that forgets to look at the result must find null, not what the pointer held before.
TEST_F(BankServicesTest, EveryFailedQueryInterfaceClearsTheOutPointer)
{
    ComPtr<IUnknown> enumerator;
    ASSERT_EQ(S_OK, services_->get__NewEnum(enumerator.Put()));
    ComPtr<ITolvarBankService> payments, statements;
    Variant index;
    V_VT(&index.Get()) = VT_I4;
    V_I4(&index.Get()) = 0;
    ASSERT_EQ(S_OK, services_->Item(index.Get(), payments.Put()));
    V_I4(&index.Get()) = 1;
    ASSERT_EQ(S_OK, services_->Item(index.Get(), statements.Put()));
    const struct {
        const char* Object;
        IUnknown* Unknown;
    } objects[] = {{"bank", Bank()},
                   {"collection", services_.Get()},
                   {"payment service", payments.Get()},
                   {"statement service", statements.Get()},
                   {"enumerator", enumerator.Get()}};
    // The common service interface is in no object's list; IEnumVARIANT only in the enumerator's.
    for (const auto& object : objects) {
        for (REFIID iid : {IID_ITolvarBankService, IID_IClassFactory, IID_IPersist}) {
            void* out = reinterpret_cast<void*>(0x1234);
            EXPECT_EQ(E_NOINTERFACE, object.Unknown->QueryInterface(iid, &out)) << object.Object;
            EXPECT_EQ(nullptr, out) << object.Object;
        }
    }
}

TEST_F(BankServicesTest, CloneContinuesIndependently)
{
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, services_->get__NewEnum(unknown.Put()));
    ComPtr<IEnumVARIANT> walker = unknown.As<IEnumVARIANT>();
    Variant first;
    ASSERT_EQ(S_OK, walker->Next(1, &first.Get(), nullptr));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, walker->Clone(clone.Put()));
    Variant fromClone;
    EXPECT_EQ(S_OK, clone->Next(1, &fromClone.Get(), nullptr));
    EXPECT_EQ(L"Bank Reconciliation Service", NameOf(V_DISPATCH(&fromClone.Get())));
    EXPECT_EQ(S_OK, walker->Reset());
    Variant end;
    EXPECT_EQ(S_FALSE, clone->Next(1, &end.Get(), nullptr));
    Variant restart;
    EXPECT_EQ(S_OK, walker->Next(1, &restart.Get(), nullptr));
    EXPECT_EQ(L"Bank Payment Service", NameOf(V_DISPATCH(&restart.Get())));
}

TEST_F(BankServicesTest, EnumeratorOutlivesBankAndCollection)
{
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, services_->get__NewEnum(unknown.Put()));
    ComPtr<IEnumVARIANT> walker = unknown.As<IEnumVARIANT>();
    unknown.Reset();
    services_.Reset();
    bank_.Reset();
    Variant slot;
    ULONG fetched = 0;
    EXPECT_EQ(S_OK, walker->Next(1, &slot.Get(), &fetched));
    EXPECT_EQ(L"Bank Payment Service", NameOf(V_DISPATCH(&slot.Get())));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, walker->Clone(clone.Put()));
    walker.Reset();
    Variant next;
    EXPECT_EQ(S_OK, clone->Next(1, &next.Get(), nullptr));
    EXPECT_EQ(L"Bank Reconciliation Service", NameOf(V_DISPATCH(&next.Get())));
}

TEST_F(BankServicesTest, CollectionUsableAfterBankReleased)
{
    bank_.Reset();
    long count = 0;
    EXPECT_EQ(S_OK, services_->get_Count(&count));
    EXPECT_EQ(2, count);
    Variant index;
    V_VT(&index.Get()) = VT_I4;
    V_I4(&index.Get()) = 0;
    ComPtr<ITolvarBankService> service;
    ASSERT_EQ(S_OK, services_->Item(index.Get(), service.Put()));
    services_.Reset();
    long status = -1;
    EXPECT_EQ(S_OK, service->get_Status(&status));  // the service outlives the collection too
}

// Exact reference counts where the module makes objects and hands them out: each holder has one
// reference, the caller's out pointer one more, and nothing holds a reference back up.
class ReferenceCountTest : public ComTest {
protected:
    ComPtr<ITolvarBankService> ItemAt(ITolvarBankServices* services, long position)
    {
        Variant index;
        V_VT(&index.Get()) = VT_I4;
        V_I4(&index.Get()) = position;
        ComPtr<ITolvarBankService> service;
        EXPECT_EQ(S_OK, services->Item(index.Get(), service.Put()));
        return service;
    }
};

TEST_F(ReferenceCountTest, BankAndCollectionAsTheHostTakesThem)
{
    ComPtr<IBank> bank;
    ASSERT_EQ(S_OK, CreateInstance<CBank>(nullptr, IID_IBank, bank.PutVoid()));
    EXPECT_REF(bank.Get(), 1);
    {
        ComPtr<IDispatch> dispatch = bank.As<IDispatch>();
        EXPECT_REF(bank.Get(), 2);
    }
    EXPECT_REF(bank.Get(), 1);

    ComPtr<ITolvarBankServices> services;
    ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
    EXPECT_REF(services.Get(), 2);  // the bank's and the caller's
    EXPECT_REF(bank.Get(), 1);      // the collection holds none on the bank
    {
        ComPtr<ITolvarBankServices> again;
        ASSERT_EQ(S_OK, bank->get_Services(again.Put()));
        EXPECT_REF(services.Get(), 3);
    }
    EXPECT_REF(services.Get(), 2);

    ComPtr<ITolvarBankService> payments = ItemAt(services.Get(), 0);
    ComPtr<ITolvarBankService> statements = ItemAt(services.Get(), 1);
    EXPECT_REF(payments.Get(), 2);  // the collection's and the caller's
    EXPECT_REF(statements.Get(), 2);
    EXPECT_REF(services.Get(), 2);  // the services hold none on the collection
    {
        ComPtr<ITolvarBankService> payments2 = ItemAt(services.Get(), 0);
        EXPECT_EQ(payments.Get(), payments2.Get());
        EXPECT_REF(payments.Get(), 3);
    }
    EXPECT_REF(payments.Get(), 2);

    bank.Reset();
    EXPECT_REF(services.Get(), 1);  // the bank gave up its own
    services.Reset();
    EXPECT_REF(payments.Get(), 1);  // the collection gave up its own
    EXPECT_REF(statements.Get(), 1);
}

TEST_F(ReferenceCountTest, EnumeratorTheServicesItHandsOutAndItsClone)
{
    ComPtr<IBank> bank;
    ASSERT_EQ(S_OK, CreateInstance<CBank>(nullptr, IID_IBank, bank.PutVoid()));
    ComPtr<ITolvarBankServices> services;
    ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
    ComPtr<ITolvarBankService> payments = ItemAt(services.Get(), 0);

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, services->get__NewEnum(unknown.Put()));
    EXPECT_REF(unknown.Get(), 1);
    EXPECT_REF(services.Get(), 3);  // the enumerator keeps the collection's list alive
    ComPtr<IEnumVARIANT> walker = unknown.As<IEnumVARIANT>();
    EXPECT_REF(unknown.Get(), 2);
    unknown.Reset();
    EXPECT_REF(walker.Get(), 1);

    {
        Variant slot;
        ASSERT_EQ(S_OK, walker->Next(1, &slot.Get(), nullptr));
        ASSERT_EQ(VT_DISPATCH, V_VT(&slot.Get()));
        EXPECT_REF(payments.Get(), 3);  // the collection's, the caller's and the slot's
    }
    EXPECT_REF(payments.Get(), 2);
    {
        VARIANT two[2];
        ULONG fetched = 0;
        ASSERT_EQ(S_OK, walker->Reset());
        ASSERT_EQ(S_OK, walker->Next(2, two, &fetched));
        EXPECT_EQ(2u, fetched);
        EXPECT_REF(payments.Get(), 3);
        for (VARIANT& slot : two)
            VariantClear(&slot);
    }
    EXPECT_REF(payments.Get(), 2);

    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, walker->Clone(clone.Put()));
    EXPECT_REF(clone.Get(), 1);
    EXPECT_REF(walker.Get(), 1);
    EXPECT_REF(services.Get(), 4);
    walker.Reset();
    EXPECT_REF(services.Get(), 3);
    clone.Reset();
    EXPECT_REF(services.Get(), 2);
}

TEST_F(ReferenceCountTest, ServicesAndBankMadeAlone)
{
    for (REFIID iid : {IID_IBankServices, IID_IUnknown, IID_IDispatch}) {
        ComPtr<IUnknown> services;
        ASSERT_EQ(S_OK, CreateInstance<CBankServices>(nullptr, iid, services.PutVoid()));
        EXPECT_REF(services.Get(), 1);
        ComPtr<ITolvarBankServices> face = services.As<ITolvarBankServices>();
        ComPtr<ITolvarBankService> statements = ItemAt(face.Get(), 1);
        EXPECT_REF(statements.Get(), 2);
    }
    ComPtr<IUnknown> payments;
    ASSERT_EQ(S_OK, CreateInstance<CBankPaymentService>(nullptr, IID_IBankPaymentService, payments.PutVoid()));
    EXPECT_REF(payments.Get(), 1);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, payments->QueryInterface(IID_ISupportErrorInfo, support.PutVoid()));
    EXPECT_REF(payments.Get(), 2);  // one count, whichever interface holds it
    EXPECT_REF(support.Get(), 2);
}

TEST(BankArrayTest, GrowsByEightInsertsAndRemoves)
{
    CArray<IUnknown> array;
    IUnknown* items[10];
    for (int i = 0; i < 10; ++i) {
        items[i] = reinterpret_cast<IUnknown*>(static_cast<INT_PTR>(0x100 + i));
        array.Append(items[i]);
        EXPECT_EQ(i < 8 ? 8 : 16, array.GetCapacity());
    }
    array.InsertAt(0, items[9]);
    EXPECT_EQ(items[9], array.GetAt(0));
    EXPECT_EQ(items[0], array.GetAt(1));
    array.RemoveAt(0);
    EXPECT_EQ(items[0], array.GetAt(0));
    EXPECT_EQ(10, array.GetSize());
    EXPECT_THROW(array.InsertAt(11, items[0]), HRESULT);
    EXPECT_THROW(array.RemoveAt(10), HRESULT);
    EXPECT_THROW(array.GetAt(-1), HRESULT);
    array.RemoveAll();
    EXPECT_EQ(0, array.GetSize());
    EXPECT_EQ(0, array.GetCapacity());
}

class BankConfigureTest : public ComTest {};

TEST_F(BankConfigureTest, ConfigureHandsTheNameAndThreeToTheHostSettings)
{
    standin::Settings settings;
    standin::HostClassRegistration served(&settings, nullptr);
    ComPtr<CBank> bank = MakeObject<CBank>();
    EXPECT_EQ(S_OK, static_cast<IBank*>(bank.Get())->Configure(12345));
    ASSERT_EQ(1024u, settings.LastConfigureBuffer.size());
    const std::string name = "Brenmark Fenlow Online Plus";
    EXPECT_EQ(name, std::string(reinterpret_cast<const char*>(settings.LastConfigureBuffer.data())));
    for (size_t i = name.size(); i < settings.LastConfigureBuffer.size(); ++i)
        ASSERT_EQ(0, settings.LastConfigureBuffer[i]) << "byte " << i;
    EXPECT_EQ(3, settings.LastConfigureValue);
    EXPECT_EQ(1, served.SettingsCreations());
}

TEST_F(BankConfigureTest, MissingSettingsClassIsDispatchException)
{
    standin::HostClassRegistration nothing(nullptr, nullptr);
    ComPtr<CBank> bank = MakeObject<CBank>();
    EXPECT_EQ(DISP_E_EXCEPTION, static_cast<IBank*>(bank.Get())->Configure(0));
    EXPECT_FALSE(TakeHasErrorInfo());
}

TEST_F(BankConfigureTest, FailingConfigureBankIsDispatchExceptionWithoutErrorInfo)
{
    standin::Settings settings;
    settings.Self().FailOn("ConfigureBank", {E_ACCESSDENIED, L"settings are locked"});
    standin::HostClassRegistration served(&settings, nullptr);
    ComPtr<CBank> bank = MakeObject<CBank>();
    EXPECT_EQ(DISP_E_EXCEPTION, static_cast<IBank*>(bank.Get())->Configure(0));
    EXPECT_FALSE(TakeHasErrorInfo());  // the host's error information was taken, not left behind
}
