// The boundaries where COM calls into the module: the DLL's exports, class object creation and the
// IDispatch members. Nothing raised inside, not even memory running out, may leave them; the type
// information cache and the cached class objects are safe when two threads make them first.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "TolvarBrenmarkLintrove.h"
#include "core/com_object.h"
#include "core/dispatch.h"
#include "core/module_lock.h"
#include "objects/bank.h"
#include "objects/bank_services.h"
#include "tests/support/com_test.h"
#include "tests/support/failing_allocator.h"

STDAPI DllCanUnloadNow();
STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out);

namespace {

// A class whose construction raises what the test says, in its constructor or its final step.
enum class Raised { Nothing, BadAlloc, Other, Hresult, HostFailure };
enum class Step { Constructor, FinalStep };
Raised raised = Raised::Nothing;
Step raisingStep = Step::Constructor;

void RaiseIn(Step step)
{
    if (step != raisingStep)
        return;
    switch (raised) {
    case Raised::Nothing:
        return;
    case Raised::BadAlloc:
        throw std::bad_alloc();
    case Raised::Other:
        throw std::runtime_error("not a COM failure");
    case Raised::Hresult:
        Raise(E_FAIL);
    case Raised::HostFailure:
        throw HostCallFailure{E_ACCESSDENIED, nullptr};
    }
}

// The least a class base takes: one interface of the class's own.
class PersistImpl : public IPersist {
public:
    using DualInterface = IPersist;
    STDMETHODIMP GetClassID(CLSID* classId) override
    {
        *classId = CLSID_NULL;
        return S_OK;
    }
};

class CRaising : public Implements<PersistImpl, ISupportErrorInfo, IPersist> {
public:
    CRaising() { RaiseIn(Step::Constructor); }
    void FinalConstruct() { RaiseIn(Step::FinalStep); }
};

// An outer object for the aggregated form; it is never called while the inner one is made.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override
    {
        ADD_FAILURE() << "the outer object was asked for an interface";
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

// An IMallocSpy that makes the next task-allocator allocations fail: BSTRs come from there once
// oleaut32's own cache of freed strings is off.
class FailingMallocSpy final : public IMallocSpy {
public:
    LONG FailNext = 0;  // how many of the next allocations fail

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!InlineIsEqualGUID(iid, IID_IUnknown) && !InlineIsEqualGUID(iid, IID_IMallocSpy))
            return E_NOINTERFACE;
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T request) override
    {
        if (request > 0 && FailNext > 0) {
            --FailNext;
            return 0;  // the allocation fails
        }
        return request;
    }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override { return actual; }
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return request; }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = request;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

const HRESULT kFrameOutOfMemory = static_cast<HRESULT>(0x800AFFFD);

}  // namespace

class EntryPointTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        RegisterHostTypeLibraries();
        raised = Raised::Nothing;
    }
    void TearDown() override
    {
        raised = Raised::Nothing;
        ReleaseModuleTypeInfo();
        ComTest::TearDown();
    }
};

// Whatever making an object raises is mapped once, by the creation's method frame: the same
// HRESULT and error information whether the constructor or the final step raised it, plain or
// aggregated, and nothing of the half-made object left.
TEST_F(EntryPointTest, CreateInstanceMapsConstructionFailuresInOnePlace)
{
    struct Case {
        Raised What;
        HRESULT Expected;
        const wchar_t* Description;
    };
    const Case cases[] = {{Raised::BadAlloc, kFrameOutOfMemory, L"Out of Memory"},
                          {Raised::Hresult, static_cast<HRESULT>(0x800AFFFE), L"Unexpected result"},
                          {Raised::Other, E_UNEXPECTED, L"<none>"},
                          {Raised::HostFailure, DISP_E_EXCEPTION, L"<none>"}};
    Outer outer;
    for (const Case& c : cases) {
        for (Step step : {Step::Constructor, Step::FinalStep}) {
            for (bool aggregated : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "raised " << static_cast<int>(c.What) << " in "
                                                  << (step == Step::Constructor ? "the constructor" : "the final step")
                                                  << (aggregated ? ", aggregated" : ", plain"));
                raised = c.What;
                raisingStep = step;
                void* out = reinterpret_cast<void*>(1);
                HRESULT hr = S_OK;
                EXPECT_NO_THROW(hr = CreateInstance<CRaising>(aggregated ? &outer : nullptr,
                                                              aggregated ? IID_IUnknown : IID_ISupportErrorInfo, &out));
                EXPECT_EQ(c.Expected, hr);
                EXPECT_EQ(nullptr, out);
                EXPECT_EQ(c.Description, TakeErrorDescription());
                EXPECT_EQ(startLock_, module_lock::Count()) << "a half-made object keeps the module loaded";
            }
        }
    }
    raised = Raised::Nothing;
    ComPtr<ISupportErrorInfo> made;
    EXPECT_EQ(S_OK, CreateInstance<CRaising>(nullptr, IID_ISupportErrorInfo, made.PutVoid()));
    EXPECT_TRUE(made);
    ComPtr<IUnknown> inner;
    EXPECT_EQ(S_OK, CreateInstance<CRaising>(&outer, IID_IUnknown, inner.PutVoid()));
    EXPECT_TRUE(inner);
}

TEST_F(EntryPointTest, CreateInstanceOutOfMemoryIsAnAnswer)
{
    ComPtr<IBank> bank;
    HRESULT hr = S_OK;
    {
        AllocationsFail failing;
        EXPECT_NO_THROW(hr = CreateInstance<CBank>(nullptr, IID_IBank, bank.PutVoid()));
    }
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(bank);
    EXPECT_EQ(startLock_, module_lock::Count());
}

// Memory running out at any step of filling the collection fails its creation as a whole, with
// everything made so far released: never a collection that silently lacks a service.
TEST_F(EntryPointTest, CollectionIsMadeWholeOrNotAtAll)
{
    bool madeUnhindered = false;
    int failures = 0;
    for (long grant = 0; grant < 200 && !madeUnhindered; ++grant) {
        ComPtr<IBankServices> services;
        HRESULT hr = E_FAIL;
        bool limitReached = false;
        {
            AllocationsFail failing(grant);
            EXPECT_NO_THROW(hr = CreateInstance<CBankServices>(nullptr, IID_IBankServices, services.PutVoid()));
            limitReached = AllocationsFail::Refused();
        }
        if (SUCCEEDED(hr)) {
            long count = 0;
            EXPECT_EQ(S_OK, services->get_Count(&count));
            EXPECT_EQ(2, count) << "allocations granted: " << grant;
            madeUnhindered = !limitReached;
        } else {
            ++failures;
            EXPECT_EQ(kFrameOutOfMemory, hr) << grant;
            EXPECT_EQ(L"Out of Memory", TakeErrorDescription()) << grant;
            EXPECT_FALSE(services);
        }
        services.Reset();
        EXPECT_EQ(startLock_, module_lock::Count()) << "allocations granted: " << grant;
    }
    EXPECT_TRUE(madeUnhindered);
    EXPECT_GE(failures, 4) << "the object, both services and the list's storage each allocate";
}

// A name that cannot be copied is out of memory, never S_OK with no name.
TEST_F(EntryPointTest, NameThatCannotBeCopiedIsOutOfMemory)
{
    using SetOaNoCacheFunction = void(WINAPI*)();
    const auto setOaNoCache = reinterpret_cast<SetOaNoCacheFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("oleaut32.dll"), "SetOaNoCache")));
    ASSERT_NE(nullptr, setOaNoCache);
    setOaNoCache();

    ComPtr<IBank> bank;
    ASSERT_EQ(S_OK, CreateInstance<CBank>(nullptr, IID_IBank, bank.PutVoid()));
    ComPtr<ITolvarBankServices> services;
    ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
    std::vector<std::pair<const char*, std::function<HRESULT(BSTR*)>>> getters = {
        {"bank", [&](BSTR* name) { return bank->get_Name(name); }}};
    for (long position : {0L, 1L}) {
        VARIANT index;
        VariantInit(&index);
        V_VT(&index) = VT_I4;
        V_I4(&index) = position;
        ComPtr<ITolvarBankService> service;
        ASSERT_EQ(S_OK, services->Item(index, service.Put()));
        getters.push_back({position == 0 ? "payment service" : "statement service",
                           [service](BSTR* name) { return service->get_Name(name); }});
    }

    FailingMallocSpy spy;
    ASSERT_EQ(S_OK, CoRegisterMallocSpy(&spy));
    for (const auto& getter : getters) {
        BSTR name = reinterpret_cast<BSTR>(1);
        spy.FailNext = 1;
        const HRESULT hr = getter.second(&name);
        const LONG unused = spy.FailNext;
        spy.FailNext = 0;
        EXPECT_EQ(0, unused) << getter.first << ": the copy was not made from the task allocator";
        EXPECT_EQ(kFrameOutOfMemory, hr) << getter.first;
        EXPECT_EQ(nullptr, name) << getter.first;
        EXPECT_EQ(L"Out of Memory", TakeErrorDescription()) << getter.first;

        // With memory back, the name again.
        Bstr again;
        EXPECT_EQ(S_OK, getter.second(again.Put())) << getter.first;
        EXPECT_NE(0u, again.Length()) << getter.first;
    }
    EXPECT_EQ(S_OK, CoRevokeMallocSpy());
}

TEST_F(EntryPointTest, ClassObjectOutOfMemoryIsEOutOfMemory)
{
    // A class object is made on first request: make it when nothing can be allocated.
    ComPtr<IClassFactory> factory;
    HRESULT hr = S_OK;
    {
        AllocationsFail failing;
        EXPECT_NO_THROW(hr = DllGetClassObject(CLSID_BankServices, IID_IClassFactory, factory.PutVoid()));
    }
    if (hr != S_OK) {
        EXPECT_EQ(E_OUTOFMEMORY, hr);
        EXPECT_FALSE(factory);
    }
    // Later requests are served as usual.
    factory.Reset();
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_BankServices, IID_IClassFactory, factory.PutVoid()));
    factory.Reset();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

// The module's cache holds one reference on each class object, the caller one more; what the class
// object makes starts with the caller's one reference.
TEST_F(EntryPointTest, ClassObjectAndWhatItMakesCarryExactCounts)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Bank, IID_IClassFactory, factory.PutVoid()));
    EXPECT_REF(factory.Get(), 2);
    {
        ComPtr<IClassFactory> again;
        ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Bank, IID_IClassFactory, again.PutVoid()));
        EXPECT_EQ(factory.Get(), again.Get());
        EXPECT_REF(factory.Get(), 3);
    }
    EXPECT_REF(factory.Get(), 2);

    for (REFIID iid : {IID_IBank, IID_IUnknown, IID_IDispatch, IID_ISupportErrorInfo}) {
        ComPtr<IUnknown> made;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, iid, made.PutVoid()));
        EXPECT_REF(made.Get(), 1);
    }
    factory.Reset();
    EXPECT_EQ(startLock_, module_lock::Count()) << "the cache's own reference holds no lock";
}

TEST_F(EntryPointTest, DispatchMembersOutOfMemoryAreAnswers)
{
    ComPtr<IBank> bank;
    ASSERT_EQ(S_OK, CreateInstance<CBank>(nullptr, IID_IBank, bank.PutVoid()));
    ComPtr<IDispatch> dispatch = bank.As<IDispatch>();
    ASSERT_TRUE(dispatch);

    // Once with no cache at all, once with the library loaded but this interface not yet cached.
    for (bool libraryLoaded : {false, true}) {
        ReleaseModuleTypeInfo();
        if (libraryLoaded) {
            ASSERT_NE(nullptr, ModuleTypeInfo(IID_IBankServices));
        }
        LPOLESTR name = const_cast<LPOLESTR>(L"Name");
        DISPID id = 0;
        ComPtr<ITypeInfo> info;
        DISPPARAMS noArguments{};
        VARIANT result;
        VariantInit(&result);
        HRESULT idsResult = S_OK, infoResult = S_OK, invokeResult = S_OK;
        {
            AllocationsFail failing;
            EXPECT_NO_THROW(idsResult = dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
            EXPECT_NO_THROW(infoResult = dispatch->GetTypeInfo(0, 0, info.Put()));
            EXPECT_NO_THROW(invokeResult = dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArguments, &result,
                                                            nullptr, nullptr));
        }
        EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, idsResult) << libraryLoaded;
        EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, infoResult) << libraryLoaded;
        EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, invokeResult) << libraryLoaded;
        EXPECT_FALSE(info);
        VariantClear(&result);
    }

    // With memory back, the same calls work.
    LPOLESTR name = const_cast<LPOLESTR>(L"Name");
    DISPID id = 0;
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
}

TEST_F(EntryPointTest, TypeInformationFirstUseFromManyThreads)
{
    constexpr int kThreads = 8;
    for (int round = 0; round < 100; ++round) {
        ReleaseModuleTypeInfo();
        std::atomic<int> waiting{kThreads};
        std::vector<ITypeInfo*> seen(kThreads, nullptr);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                --waiting;
                while (waiting.load() > 0) {
                }
                seen[t] = ModuleTypeInfo(IID_IBank);
                CoUninitialize();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        const std::set<ITypeInfo*> distinct(seen.begin(), seen.end());
        ASSERT_EQ(1u, distinct.size()) << "round " << round << ": threads saw different type information";
        ASSERT_NE(nullptr, *distinct.begin()) << "round " << round;
    }
}

TEST_F(EntryPointTest, ClassObjectFirstUseFromManyThreads)
{
    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::vector<IClassFactory*> seen(kThreads, nullptr);
    std::vector<HRESULT> results(kThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting.load() > 0) {
            }
            results[t] =
                DllGetClassObject(CLSID_BankPaymentService, IID_IClassFactory, reinterpret_cast<void**>(&seen[t]));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(S_OK, results[t]);
    EXPECT_EQ(1u, std::set<IClassFactory*>(seen.begin(), seen.end()).size()) << "one class object, cached once";
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    for (IClassFactory* factory : seen) {
        if (factory)
            factory->Release();
    }
    EXPECT_EQ(S_OK, DllCanUnloadNow()) << "every client reference counted once";
}
