#include "objects/bank.h"

#include <cstring>

#include "objects/bank_services.h"

namespace {

BSTR AnsiToBstr(const char* text)
{
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, length > 0 ? length - 1 : 0);
    if (result && length > 0)
        MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, result, length);
    return result;
}

}  // namespace

template <class Services, class BankInterface>
IBankImpl<Services, BankInterface>::IBankImpl() : DisplayName(AnsiToBstr(BankDisplayName))
{
}

template <class Services, class BankInterface>
IBankImpl<Services, BankInterface>::~IBankImpl()
{
    SysFreeString(DisplayName);
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Name(BSTR* name)
{
    return MethodFrame([&] {
        RequirePointer(name);
        *name = SysAllocStringByteLen(reinterpret_cast<const char*>(DisplayName), SysStringByteLen(DisplayName));
    });
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Services(ITolvarBankServices** services)
{
    return MethodFrame([&] {
        RequirePointer(services);
        if (!ServicesCollection)
            ServicesCollection = MakeObject<Services>();
        ITolvarBankServices* collection = static_cast<IBankServices*>(ServicesCollection.Get());
        collection->AddRef();
        *services = collection;
    });
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Version(long* version)
{
    return MethodFrame([&] {
        RequirePointer(version);
        *version = 1;
    });
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::Configure(long)
{
    return MethodFrame([&] {
        ComPtr<ITolvarBankSettings> settings = CreateHostObject<ITolvarBankSettings>(CLSID_TolvarBankSettings);
        char bankName[1024];
        FillBankName(bankName);
        HostCall(settings, [&](ITolvarBankSettings* host) { return host->ConfigureBank(bankName, 3); });
    });
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Status(long* status)
{
    return MethodFrame([&] {
        RequirePointer(status);
        *status = Status;
    });
}

template class IBankImpl<CBankServices, IBank>;
