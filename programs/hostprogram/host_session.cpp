#include "hostprogram/host_session.h"

#include <ole2.h>

#include "hostprogram/program_text.h"

// In oleaut32 since Vista; the mingw headers do not declare it.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);

namespace hostprogram {

const wchar_t kBankProgId[] = L"TolvarBrenmarkLintrove.Bank";
const wchar_t kPaymentServiceName[] = L"Bank Payment Service";
const wchar_t kStatementServiceName[] = L"Bank Reconciliation Service";
const wchar_t* const kHostTypeLibraries[3] = {L"TolvarEBanking.tlb", L"TolvarBankPayments.tlb",
                                              L"TolvarBankReconciliation.tlb"};

namespace {

std::string Failed(const std::string& what, HRESULT hr)
{
    std::string text = what + ": " + HResultText(hr);
    const std::string description = TakeErrorDescription();
    const std::string message = description.empty() ? SystemMessage(static_cast<DWORD>(hr)) : description;
    if (!message.empty())
        text += " (" + message + ")";
    return text;
}

std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return L".";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool HoldsTypeLibraries(const std::wstring& folder)
{
    for (const wchar_t* name : kHostTypeLibraries) {
        const DWORD attributes = GetFileAttributesW((folder + L"\\" + name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
    }
    return true;
}

// As the product's installer does; a user who may not write the machine-wide registration gets
// the per-user one.
void RegisterTypeLibrary(const std::wstring& path)
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put());
    if (hr == TYPE_E_REGISTRYACCESS) {
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
        if (SUCCEEDED(hr))
            hr = RegisterTypeLibForUser(library.Get(), const_cast<wchar_t*>(path.c_str()), nullptr);
    }
    if (FAILED(hr))
        throw HostError(Failed("The host type library " + Utf8(path) + " could not be registered", hr));
}

}  // namespace

std::wstring FindTypeLibraryFolder(const std::wstring& named)
{
    std::wstring names;
    for (const wchar_t* name : kHostTypeLibraries)
        names += (names.empty() ? L"" : L", ") + std::wstring(name);
    if (!named.empty()) {
        if (!HoldsTypeLibraries(named))
            throw HostError("The folder " + Utf8(named) + " does not hold the host type libraries (" + Utf8(names) +
                            ")");
        return named;
    }
    const std::wstring beside = ProgramFolder();
    if (HoldsTypeLibraries(beside))
        return beside;
    if (HoldsTypeLibraries(beside + L"\\generated"))
        return beside + L"\\generated";
    throw HostError("The host type libraries (" + Utf8(names) + ") are neither beside the program in " + Utf8(beside) +
                    " nor in " + Utf8(beside) + "\\generated; name their folder with --type-libraries");
}

std::string TakeErrorDescription()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return {};
    Bstr description;
    info->GetDescription(description.Put());
    return Utf8(std::wstring(description.Text(), description.Length()));
}

HostSession::Apartment::Apartment()
{
    // The host's thread is a single-threaded apartment with OLE: the module's dialogs and the
    // common save dialog run their modal loops on it.
    const HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr))
        throw HostError(Failed("OLE could not be started on the host's thread", hr));
}

HostSession::Apartment::~Apartment()
{
    OleUninitialize();
}

HostSession::HostSession(const std::wstring& typeLibraryFolder)
{
    for (const wchar_t* name : kHostTypeLibraries)
        RegisterTypeLibrary(typeLibraryFolder + L"\\" + name);

    settings_ = std::make_unique<standin::Settings>();
    chooser_ = std::make_unique<standin::FileChooser>();
    registration_ = std::make_unique<standin::HostClassRegistration>(settings_.get(), chooser_.get());
    if (!registration_->Registered())
        throw HostError("The host settings object and file chooser could not be served by class");

    CLSID bankClass{};
    HRESULT hr = CLSIDFromProgID(kBankProgId, &bankClass);
    if (FAILED(hr))
        throw HostError(Failed("The bank module is not registered: no class for " + Utf8(kBankProgId), hr) +
                        ". Register TolvarBrenmarkLintrove.dll with regsvr32 first.");
    hr = CoCreateInstance(bankClass, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBank, bank_.PutVoid());
    if (FAILED(hr) || !bank_)
        throw HostError(Failed("The bank " + Utf8(kBankProgId) + " could not be created", hr));
    hr = bank_->get_Services(services_.Put());
    if (FAILED(hr) || !services_)
        throw HostError(Failed("The bank gave no services collection", hr));
}

HostSession::~HostSession()
{
    // The module's objects go before the host objects it was served, and both before the apartment.
    services_.Reset();
    bank_.Reset();
    registration_.reset();
    chooser_.reset();
    settings_.reset();
    CoFreeUnusedLibraries();
}

ComPtr<ITolvarBankService> HostSession::Service(const wchar_t* name)
{
    Variant index;
    index.Get().vt = VT_BSTR;
    index.Get().bstrVal = SysAllocString(name);
    if (!index.Get().bstrVal)
        throw HostError("Out of memory");
    ComPtr<ITolvarBankService> service;
    const HRESULT hr = services_->Item(index.Get(), service.Put());
    if (FAILED(hr) || !service)
        throw HostError(Failed("The bank's services collection has no \"" + Utf8(name) + "\"", hr));
    return service;
}

ComPtr<ITolvarBankPaymentService> HostSession::PaymentService()
{
    ComPtr<ITolvarBankPaymentService> payments = Service(kPaymentServiceName).As<ITolvarBankPaymentService>();
    if (!payments)
        throw HostError("The \"" + Utf8(kPaymentServiceName) + "\" does not answer ITolvarBankPaymentService");
    return payments;
}

ComPtr<ITolvarBankStatementService> HostSession::StatementService()
{
    ComPtr<ITolvarBankStatementService> statements = Service(kStatementServiceName).As<ITolvarBankStatementService>();
    if (!statements)
        throw HostError("The \"" + Utf8(kStatementServiceName) + "\" does not answer ITolvarBankStatementService");
    return statements;
}

}  // namespace hostprogram
