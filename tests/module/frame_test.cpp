// The method frame, the module error table and the host call check.
#include <gtest/gtest.h>

#include <new>

#include <stdexcept>

#include "core/method_frame.h"
#include "tests/support/com_test.h"

namespace {

// A host object whose one call fails after posting error information, as a host would.
class FailingHostObject final : public ISupportErrorInfo {
public:
    explicit FailingHostObject(bool supportsErrorInfo) : supports_(supportsErrorInfo) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_ISupportErrorInfo)) {
            *out = static_cast<ISupportErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override
    {
        asked = InlineIsEqualGUID(iid, IID_ISupportErrorInfo);
        return supports_ ? S_OK : S_FALSE;
    }
    HRESULT FailingCall()
    {
        ComPtr<ICreateErrorInfo> creator;
        CreateErrorInfo(creator.Put());
        creator->SetDescription(const_cast<LPOLESTR>(L"host says no"));
        SetErrorInfo(0, creator.As<IErrorInfo>().Get());
        return E_FAIL;
    }
    ULONG references = 1;
    bool asked = false;

private:
    bool supports_;
};

}  // namespace

class MethodFrameTest : public ComTest {};

TEST_F(MethodFrameTest, NullOutPointerIsInvalidArgumentWithDescriptionAndNoSource)
{
    HRESULT hr = MethodFrame([] { RequirePointer(static_cast<long*>(nullptr)); });
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), hr);
    EXPECT_EQ(L"", PeekErrorSource());
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
}

TEST_F(MethodFrameTest, ModuleErrorTableRows)
{
    struct Row {
        HRESULT raised;
        HRESULT returned;
        const wchar_t* description;
    } rows[] = {
        {E_UNEXPECTED, static_cast<HRESULT>(0x800AFFFE), L"Unexpected result"},
        {E_OUTOFMEMORY, static_cast<HRESULT>(0x800AFFFD), L"Out of Memory"},
        {E_INVALIDARG, static_cast<HRESULT>(0x800AFFFC), L"Invalid argument"},
        {E_NOTIMPL, static_cast<HRESULT>(0x800AFFFB), L"Not implemented"},
        {E_NOINTERFACE, static_cast<HRESULT>(0x800AFFFA), L"Interface not supported"},
        {E_FAIL, static_cast<HRESULT>(0x800AFFFE), L"Unexpected result"},  // not in the table: row 0
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.returned, MethodFrame([&] { Raise(row.raised); })) << std::hex << row.raised;
        EXPECT_EQ(row.description, TakeErrorDescription()) << std::hex << row.raised;
    }
}

TEST_F(MethodFrameTest, FacilityControlAndDispatchExceptionPassThroughLeavingErrorInfo)
{
    ComPtr<ICreateErrorInfo> creator;
    ASSERT_EQ(S_OK, CreateErrorInfo(creator.Put()));
    creator->SetDescription(const_cast<LPOLESTR>(L"already here"));
    SetErrorInfo(0, creator.As<IErrorInfo>().Get());

    EXPECT_EQ(static_cast<HRESULT>(0x800A1234), MethodFrame([] { Raise(static_cast<HRESULT>(0x800A1234)); }));
    EXPECT_EQ(DISP_E_EXCEPTION, MethodFrame([] { Raise(DISP_E_EXCEPTION); }));
    EXPECT_EQ(L"already here", TakeErrorDescription());
}

TEST_F(MethodFrameTest, BodyResultAndOtherExceptions)
{
    EXPECT_EQ(S_OK, MethodFrame([] {}));
    EXPECT_EQ(S_FALSE, MethodFrame([] { return S_FALSE; }));
    EXPECT_EQ(E_UNEXPECTED, MethodFrame([]() -> HRESULT { throw std::runtime_error("library failure"); }));
    EXPECT_FALSE(TakeHasErrorInfo());
}

TEST_F(MethodFrameTest, ExhaustedMemoryInTheLibraryIsOutOfMemory)
{
    // The same answer and description as a raised E_OUTOFMEMORY.
    const HRESULT raised = MethodFrame([] { Raise(E_OUTOFMEMORY); });
    const std::wstring raisedDescription = TakeErrorDescription();
    EXPECT_EQ(raised, MethodFrame([]() -> HRESULT { throw std::bad_alloc(); }));
    EXPECT_EQ(raisedDescription, TakeErrorDescription());
    EXPECT_EQ(L"Out of Memory", raisedDescription);
}

TEST_F(MethodFrameTest, FailingHostCallIsDispatchExceptionAndHostErrorInfoIsTaken)
{
    FailingHostObject host(true);
    ComPtr<ISupportErrorInfo> held(&host);
    HRESULT hr = MethodFrame([&] {
        HostCall(held,
                 [](ISupportErrorInfo* object) { return static_cast<FailingHostObject*>(object)->FailingCall(); });
    });
    EXPECT_EQ(DISP_E_EXCEPTION, hr);
    EXPECT_TRUE(host.asked);
    EXPECT_FALSE(TakeHasErrorInfo());  // taken into the failure and released with it
    held.Reset();
    EXPECT_EQ(1u, host.references);
}

TEST_F(MethodFrameTest, FailingHostCallWithoutErrorSupportLeavesNothingTaken)
{
    FailingHostObject host(false);
    ComPtr<ISupportErrorInfo> held(&host);
    HostCallFailure caught{S_OK, nullptr};
    try {
        HostCall(held,
                 [](ISupportErrorInfo* object) { return static_cast<FailingHostObject*>(object)->FailingCall(); });
    } catch (const HostCallFailure& failure) {
        caught.Result = failure.Result;
        caught.Info = failure.Info;
    }
    EXPECT_EQ(E_FAIL, caught.Result);
    EXPECT_FALSE(caught.Info);
    EXPECT_EQ(L"host says no", TakeErrorDescription());  // still on the thread, not taken
}

TEST_F(MethodFrameTest, EmptyHostPointerIsPointerFailure)
{
    ComPtr<ISupportErrorInfo> empty;
    try {
        HostCall(empty, [](ISupportErrorInfo*) { return S_OK; });
        FAIL() << "no failure raised";
    } catch (const HostCallFailure& failure) {
        EXPECT_EQ(E_POINTER, failure.Result);
        EXPECT_FALSE(failure.Info);
    }
    EXPECT_EQ(DISP_E_EXCEPTION, MethodFrame([&] { HostCall(empty, [](ISupportErrorInfo*) { return S_OK; }); }));
}
