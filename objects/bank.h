// The bank: the module's root object. It names the bank, hands out its services collection and
// opens the bank's settings through the host settings object.
#pragma once

#include <cstddef>
#include <cstring>

#include "TolvarBrenmarkLintrove.h"
#include "core/com_object.h"
#include "core/dispatch.h"

// The bank's display name, also handed to the host settings object as a zero-filled ANSI buffer.
inline constexpr char BankDisplayName[] = "Brenmark Fenlow Online Plus";

// Fills a host settings record with the bank's name followed by zeros to its full size.
template <size_t Size>
void FillBankName(char (&record)[Size])
{
    static_assert(Size >= sizeof BankDisplayName, "the bank name must fit the host's record");
    std::memset(record, 0, Size);
    std::memcpy(record, BankDisplayName, sizeof BankDisplayName);
}

template <class Services, class BankInterface>
class IBankImpl : public DispatchImpl<BankInterface> {
public:
    IBankImpl();
    virtual ~IBankImpl();

    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Services(ITolvarBankServices** services) override;
    STDMETHODIMP get_Version(long* version) override;
    STDMETHODIMP Configure(long reserved) override;
    STDMETHODIMP get_Status(long* status) override;

protected:
    BSTR DisplayName;
    long Status = 0;
    ComPtr<Services> ServicesCollection;  // made on the first get_Services
};

class CBankServices;

class CBank : public Implements<SupportErrorInfoFor<IBank>, IBankImpl<CBankServices, IBank>> {
public:
    using Interfaces = InterfaceTable<Iface<IBank>, Iface<ITolvarBank, IBank>, Iface<IDispatch, IBank>, Iface<ISupportErrorInfo>>;
};
