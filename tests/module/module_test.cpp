// The built DLL as a host meets it: registration with the system's regsvr32, class objects, the
// module lock, creation by ProgID and aggregation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TolvarBrenmarkLintrove.h"
#include "module_version.h"
#include "core/reg_key.h"
#include "modal/modal_driver.h"
#include "modal/summary_answers.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"
#include "tests/support/process.h"

namespace {

std::wstring DllPath()
{
    return BuildPath(L"TolvarBrenmarkLintrove.dll");
}

DWORD RunRegsvr32(const std::wstring& options)
{
    return RegisterBuiltModule(options);
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool KeyExists(const std::wstring& path)
{
    RegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring ReadValue(const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

struct ClassKeys {
    const CLSID* classId;
    const wchar_t* progId;
    const wchar_t* description;
};

const ClassKeys kRegisteredClasses[] = {
    {&CLSID_Bank, L"TolvarBrenmarkLintrove.Bank", L"Bank Class"},
    {&CLSID_BankServices, L"TolvarBrenmarkLintrove.BankServices", L"BankServices Class"},
    {&CLSID_BankPaymentService, L"TolvarBrenmarkLintrove.BankPaymentService", L"BankPaymentService Class"},
};

void ExpectRegistered(const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ::testing::ScopedTrace caller(file, line, "called from here");
    const std::wstring library = GuidText(LIBID_TOLVARBRENMARKLINTROVELib);
    for (const ClassKeys& item : kRegisteredClasses) {
        SCOPED_TRACE(Narrow(item.progId));
        const std::wstring classKey = L"CLSID\\" + GuidText(*item.classId);
        const std::wstring versioned = std::wstring(item.progId) + L".1";
        EXPECT_EQ(item.description, ReadValue(versioned));
        EXPECT_EQ(GuidText(*item.classId), ReadValue(versioned + L"\\CLSID"));
        EXPECT_EQ(item.description, ReadValue(item.progId));
        EXPECT_EQ(GuidText(*item.classId), ReadValue(std::wstring(item.progId) + L"\\CLSID"));
        EXPECT_EQ(versioned, ReadValue(std::wstring(item.progId) + L"\\CurVer"));
        EXPECT_EQ(item.description, ReadValue(classKey));
        EXPECT_EQ(versioned, ReadValue(classKey + L"\\ProgID"));
        EXPECT_EQ(item.progId, ReadValue(classKey + L"\\VersionIndependentProgID"));
        EXPECT_TRUE(KeyExists(classKey + L"\\Programmable"));
        EXPECT_EQ(L"Apartment", ReadValue(classKey + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_EQ(library, ReadValue(classKey + L"\\TypeLib"));
        std::wstring server = ReadValue(classKey + L"\\InprocServer32");
        EXPECT_NE(std::wstring::npos, server.find(L"TolvarBrenmarkLintrove.dll")) << Narrow(server);
    }
    EXPECT_TRUE(KeyExists(L"CLSID\\" + GuidText(CLSID_Bank) + L"\\Implemented Categories\\" +
                          GuidText(CATID_TolvarBankModules)));
    EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(CLSID_BankPaymentService) + L"\\Implemented Categories"));
    // The statement service is made only inside the module: nothing of it is registered.
    EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(CLSID_BankStatementService)));
    EXPECT_FALSE(KeyExists(L"BrenmarkLintrove.BankStatementService"));
    EXPECT_FALSE(KeyExists(L"BrenmarkLintrove.BankStatementService.1"));
    EXPECT_TRUE(KeyExists(L"TypeLib\\" + library + L"\\1.0"));
}

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

class LoadedModule {
public:
    LoadedModule() : module_(LoadLibraryW(DllPath().c_str()))
    {
        if (module_) {
            getClassObject = reinterpret_cast<GetClassObjectFunction>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
            canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
            registerServer = reinterpret_cast<CanUnloadNowFunction>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
        }
    }
    ~LoadedModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    explicit operator bool() const { return module_ && getClassObject && canUnloadNow; }
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
    CanUnloadNowFunction registerServer = nullptr;

private:
    HMODULE module_;
};

// An outer object for aggregation: it only owns the inner object's non-delegating IUnknown.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (InlineIsEqualGUID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    ComPtr<IUnknown> inner;
    ULONG references = 1;
};

}  // namespace

class ModuleTest : public ComTest {};

TEST_F(ModuleTest, DllRegisterServerSucceeds)
{
    LoadedModule module;
    ASSERT_TRUE(module);
    EXPECT_EQ(S_OK, module.registerServer());
}

TEST_F(ModuleTest, Regsvr32RegistersClassesCategoryAndTypeLibrary)
{
    ASSERT_EQ(0u, RunRegsvr32(L""));
    ExpectRegistered();
    // Registering again leaves the same keys: the class keys are rewritten from scratch.
    ASSERT_EQ(0u, RunRegsvr32(L""));
    ExpectRegistered();
}

TEST_F(ModuleTest, Regsvr32UnregisterRemovesKeysButKeepsClsid)
{
    ASSERT_EQ(0u, RunRegsvr32(L""));
    ASSERT_EQ(0u, RunRegsvr32(L"/u"));
    for (const ClassKeys& item : kRegisteredClasses) {
        SCOPED_TRACE(Narrow(item.progId));
        EXPECT_FALSE(KeyExists(item.progId));
        EXPECT_FALSE(KeyExists(std::wstring(item.progId) + L".1"));
        EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(*item.classId)));
    }
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(KeyExists(L"TypeLib\\" + GuidText(LIBID_TOLVARBRENMARKLINTROVELib) + L"\\1.0"));
    // Leave the module registered for the tests that follow.
    ASSERT_EQ(0u, RunRegsvr32(L""));
}

TEST_F(ModuleTest, HostCreatesPaymentServiceByProgId)
{
    ASSERT_EQ(0u, RunRegsvr32(L""));
    CLSID classId = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"TolvarBrenmarkLintrove.BankPaymentService", &classId));
    EXPECT_TRUE(InlineIsEqualGUID(classId, CLSID_BankPaymentService));
    ComPtr<ITolvarBankPaymentService> service;
    ASSERT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBankPaymentService,
                                     service.PutVoid()));
    Bstr name;
    EXPECT_EQ(S_OK, service->get_Name(name.Put()));
    EXPECT_EQ(std::wstring(L"Bank Payment Service"), name.Text());

    ComPtr<IBank> bank;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"TolvarBrenmarkLintrove.Bank", &classId));
    ASSERT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IBank, bank.PutVoid()));
    ComPtr<ITolvarBankServices> services;
    ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
    long count = 0;
    EXPECT_EQ(S_OK, services->get_Count(&count));
    EXPECT_EQ(2, count);
}

TEST_F(ModuleTest, ClassObjects)
{
    LoadedModule module;
    ASSERT_TRUE(module);
    ComPtr<IClassFactory> factory, again;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              module.getClassObject(CLSID_BankStatementService, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module.getClassObject(IID_IBank, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(nullptr, factory.Get());

    ASSERT_EQ(S_OK, module.getClassObject(CLSID_Bank, IID_IClassFactory, factory.PutVoid()));
    ASSERT_EQ(S_OK, module.getClassObject(CLSID_Bank, IID_IClassFactory, again.PutVoid()));
    EXPECT_EQ(factory.Get(), again.Get());
    EXPECT_EQ(S_FALSE, module.canUnloadNow());  // a client holds the class object
    again.Reset();

    Outer outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IBank, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBank, nullptr));
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()));
    {
        ComPtr<IBank> bank;
        ASSERT_EQ(S_OK, outer.QueryInterface(IID_IBank, bank.PutVoid()));
        ComPtr<IUnknown> identity;
        ASSERT_EQ(S_OK, bank->QueryInterface(IID_IUnknown, identity.PutVoid()));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), identity.Get());  // IUnknown calls go to the outer object
        Bstr name;
        EXPECT_EQ(S_OK, bank->get_Name(name.Put()));
        EXPECT_EQ(std::wstring(L"Brenmark Fenlow Online Plus"), name.Text());
    }
    outer.inner.Reset();
    EXPECT_EQ(1u, outer.references);

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, module.canUnloadNow());  // LockServer(TRUE) holds the module
    ASSERT_EQ(S_OK, module.getClassObject(CLSID_Bank, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, module.canUnloadNow());
}

TEST_F(ModuleTest, ThousandsOfCreateUseReleaseCyclesLeaveNothingAlive)
{
    LoadedModule module;
    ASSERT_TRUE(module);
    ComPtr<IClassFactory> bankFactory, paymentFactory;
    ASSERT_EQ(S_OK, module.getClassObject(CLSID_Bank, IID_IClassFactory, bankFactory.PutVoid()));
    ASSERT_EQ(S_OK, module.getClassObject(CLSID_BankPaymentService, IID_IClassFactory, paymentFactory.PutVoid()));
    for (int cycle = 0; cycle < 3000; ++cycle) {
        ComPtr<IBank> bank;
        ASSERT_EQ(S_OK, bankFactory->CreateInstance(nullptr, IID_IBank, bank.PutVoid()));
        ComPtr<ITolvarBankServices> services;
        ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, services->get__NewEnum(unknown.Put()));
        ComPtr<IEnumVARIANT> walker = unknown.As<IEnumVARIANT>();
        VARIANT slots[2];
        ULONG fetched = 0;
        walker->Next(2, slots, &fetched);
        VariantClear(&slots[0]);
        VariantClear(&slots[1]);
        ComPtr<IBankPaymentService> payments;
        ASSERT_EQ(S_OK, paymentFactory->CreateInstance(nullptr, IID_IBankPaymentService, payments.PutVoid()));
        Bstr name;
        payments->get_Name(name.Put());
        bank.Reset();
        EXPECT_EQ(S_FALSE, module.canUnloadNow());
    }
    EXPECT_EQ(S_FALSE, module.canUnloadNow());  // class objects still held
    bankFactory.Reset();
    paymentFactory.Reset();
    EXPECT_EQ(S_OK, module.canUnloadNow());
}

TEST_F(ModuleTest, HostExportsABatchThroughTheRegisteredPaymentService)
{
    ASSERT_EQ(0u, RunRegsvr32(L""));
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "module-export-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string output = folder + "\\BATCH.TXT";
    DeleteFileA(output.c_str());

    standin::Settings settings;
    settings.DefaultDirectory = folder;
    settings.DefaultFileName = "BATCH.TXT";
    settings.FileExtension = "txt";
    standin::PaymentBatch batch;
    standin::PaymentData payment;
    payment.Amount = 1234.5;
    payment.PayeeSortCode = L"12-34-56";
    payment.PayeeAccountNumber = L"1234567";
    payment.PayeeAccountName = L"J. Smith & Co";
    payment.PayeeBacsReference = L"inv 1001";
    payment.Details = L"March invoice";
    payment.OffersRti = true;  // an RTI host: no options dialog, the Lintrove layout
    batch.Add(payment);

    modal::ModalDriver driver;
    driver.On("Save As").Press(IDOK);
    modal::AlwaysAnswerSummary(driver);
    {
        standin::HostClassRegistration served(&settings, nullptr);
        CLSID classId = {};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"TolvarBrenmarkLintrove.BankPaymentService", &classId));
        ComPtr<ITolvarBankPaymentService> service;
        ASSERT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBankPaymentService,
                                         service.PutVoid()));
        EXPECT_EQ(S_OK, service->ExportPayments(batch.Get(), nullptr));
        long status = -1;
        service->get_Status(&status);
        EXPECT_EQ(0, status);
    }
    FILE* written = fopen(output.c_str(), "rb");
    ASSERT_NE(nullptr, written);
    char bytes[256] = {};
    size_t count = fread(bytes, 1, sizeof bytes - 1, written);
    fclose(written);
    EXPECT_EQ(std::string("123456,01234567,J. SMITH & CO,1234.50,INV 1001,March invoice\r\n"),
              std::string(bytes, count));
    EXPECT_EQ(0, batch.ResultCode(0));
    DeleteFileA(output.c_str());
    RemoveDirectoryA(folder.c_str());
}

// ---------------------------------------------------------------------------------------------
// Version resources

namespace {

// A string of the file's version resource, UK English block; "<missing>" when it has none.
std::wstring VersionString(const std::wstring& file, const std::wstring& name)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return L"<missing>";
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return L"<missing>";
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\080904b0\\" + name;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &length) || !value)
        return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

VS_FIXEDFILEINFO FixedVersion(const std::wstring& file)
{
    VS_FIXEDFILEINFO fixed{};
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<unsigned char> data(size ? size : 1);
    void* value = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoW(file.c_str(), 0, size, data.data()) &&
        VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof fixed)
        fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    return fixed;
}

}  // namespace

TEST(VersionResourceTest, TheModuleAndTheSampleHostCarryTheProjectVersion)
{
    const std::wstring version = Wide(BRENMARK_VERSION_TEXT);
    struct Expected {
        std::wstring File, OriginalName, Description;
        DWORD Type;
    };
    const Expected files[] = {
        {DllPath(), L"TolvarBrenmarkLintrove.dll", L"Brenmark Lintrove bank module for Tolvar", VFT_DLL},
        {BuildPath(L"brenmark_host.exe"), L"brenmark_host.exe", L"Sample host of the Brenmark Lintrove bank module",
         VFT_APP},
    };
    for (const Expected& file : files) {
        SCOPED_TRACE(Narrow(file.File));
        EXPECT_EQ(version, VersionString(file.File, L"FileVersion"));
        EXPECT_EQ(version, VersionString(file.File, L"ProductVersion"));
        EXPECT_EQ(L"Brenmark", VersionString(file.File, L"CompanyName"));
        EXPECT_EQ(L"Brenmark Fenlow Online Plus", VersionString(file.File, L"ProductName"));
        EXPECT_EQ(file.Description, VersionString(file.File, L"FileDescription"));
        EXPECT_EQ(file.OriginalName, VersionString(file.File, L"OriginalFilename"));
        EXPECT_EQ(L"Copyright (C) 2026 Brenmark", VersionString(file.File, L"LegalCopyright"));

        const VS_FIXEDFILEINFO fixed = FixedVersion(file.File);
        EXPECT_EQ(VS_FFI_SIGNATURE, fixed.dwSignature);
        EXPECT_EQ(static_cast<DWORD>(MAKELONG(BRENMARK_VERSION_MINOR, BRENMARK_VERSION_MAJOR)), fixed.dwFileVersionMS);
        EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, BRENMARK_VERSION_PATCH)), fixed.dwFileVersionLS);
        EXPECT_EQ(fixed.dwFileVersionMS, fixed.dwProductVersionMS);
        EXPECT_EQ(file.Type, fixed.dwFileType);
    }
}

// ---------------------------------------------------------------------------------------------
// Registration from a folder whose name the ANSI code page cannot hold

TEST(RegistrationPathTest, ClassesNameTheModuleByItsWidePath)
{
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring folder = std::wstring(temp) + L"Brenmark \u03a9\u03bc\u03ad\u03b3\u03b1 \u9280\u884c";
    const std::wstring copy = folder + L"\\TolvarBrenmarkLintrove.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(DllPath().c_str(), copy.c_str(), FALSE)) << GetLastError();

    const ProcessResult registered = RunProcess(L"regsvr32 /s \"" + copy + L"\"");
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_Bank) + L"\\InprocServer32";
    const std::wstring written = ReadValue(classKey);
    const std::wstring threading = ReadValue(classKey, L"ThreadingModel");
    // The built module takes its registration back for the other tests.
    EXPECT_EQ(0u, RegisterBuiltModule());
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());

    EXPECT_EQ(0u, registered.ExitCode) << registered.Output;
    EXPECT_EQ(copy, written);
    EXPECT_EQ(L"Apartment", threading);
    EXPECT_EQ(DllPath(), ReadValue(classKey));
}
