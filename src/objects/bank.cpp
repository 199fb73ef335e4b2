#include "objects/bank.h"

#include <cstring>
#include <string>

#include "objects/bank_services.h"
#include "support/text_conversion.h"

namespace {

Bstr AnsiToBstr(const char* text)
{
    const std::wstring wide = WideFromAnsi(text);
    return Bstr::Attach(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

}  // namespace

template <class Services, class BankInterface>
IBankImpl<Services, BankInterface>::IBankImpl() : DisplayName(AnsiToBstr(BankDisplayName))
{
}

template <class Services, class BankInterface>
IBankImpl<Services, BankInterface>::~IBankImpl() = default;

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Name(BSTR* name)
{
    return MethodFrame([&] {
        RequirePointer(name);
        *name = nullptr;
        *name = DisplayName.Copy();
    });
}

template <class Services, class BankInterface>
STDMETHODIMP IBankImpl<Services, BankInterface>::get_Services(ITolvarBankServices** services)
{
    return MethodFrame([&] {
        RequirePointer(services);
        if (!ServicesCollection)
            ServicesCollection = MakeObject<Services>();
        ComPtr<ITolvarBankServices>(static_cast<IBankServices*>(ServicesCollection.Get())).CopyTo(services);
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
        auto settings = CreateHostSettings<1024>();
        HostCall(settings.Host, [&](ITolvarBankSettings* host) { return host->ConfigureBank(settings.BankName, 3); });
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
