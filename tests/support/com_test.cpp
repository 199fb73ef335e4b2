#include "tests/support/com_test.h"

#include <cstdlib>

#include "core/module_lock.h"

namespace {

std::wstring FromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? Wide(value) : std::wstring();
}

// Unix paths reach Wine programs as paths on drive Z:.
std::wstring UnixToWindows(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return L"Z:" + path;
}

}  // namespace

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += static_cast<char>(c);
    return result;
}

std::wstring Wide(const std::string& text)
{
    std::wstring result;
    for (char c : text)
        result += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return result;
}

std::wstring BuildPath(const std::wstring& relative)
{
    return UnixToWindows(FromEnvironment("BRENMARK_BUILD_DIR") + L"/" + relative);
}

std::wstring SourcePath(const std::wstring& relative)
{
    return UnixToWindows(FromEnvironment("BRENMARK_SOURCE_DIR") + L"/" + relative);
}

void RegisterHostTypeLibraries()
{
    static bool done = false;
    if (done)
        return;
    for (const wchar_t* name : {L"TolvarEBanking.tlb", L"TolvarBankPayments.tlb", L"TolvarBankReconciliation.tlb"}) {
        std::wstring path = BuildPath(std::wstring(L"generated/") + name);
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put());
        ASSERT_EQ(S_OK, hr) << Narrow(path);
    }
    done = true;
}

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

std::wstring TakeErrorDescription()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return L"<none>";
    Bstr description;
    info->GetDescription(description.Put());
    return description.Text();
}

bool TakeHasErrorInfo()
{
    ComPtr<IErrorInfo> info;
    return GetErrorInfo(0, info.Put()) == S_OK && info;
}

std::wstring PeekErrorSource()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return L"<none>";
    Bstr source;
    info->GetSource(source.Put());
    SetErrorInfo(0, info.Get());
    return source.Text();
}

void ComTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    RegisterHostTypeLibraries();
    SetErrorInfo(0, nullptr);
    startLock_ = module_lock::Count();
}

void ComTest::TearDown()
{
    // Every object the test made is gone again.
    EXPECT_EQ(startLock_, module_lock::Count()) << "objects left alive by the test";
    SetErrorInfo(0, nullptr);
    CoUninitialize();
}
