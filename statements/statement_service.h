// The bank's reconciliation service: imports a bank statement file into the host's statement.
#pragma once

#include "core/com_object.h"
#include "TolvarBrenmarkLintrove.h"
#include "objects/bank_service_impl.h"

class CBankStatementService : public Implements<SupportErrorInfoFor<IBankStatementService>, IBankServiceImpl<IBankStatementService>> {
public:
    using Interfaces = InterfaceTable<Iface<IBankStatementService>, Iface<ITolvarBankStatementService, IBankStatementService>,
                                      Iface<IDispatch, IBankStatementService>, Iface<ISupportErrorInfo>>;

    CBankStatementService() { DisplayName = SysAllocString(L"Bank Reconciliation Service"); }

    STDMETHODIMP GetResultText(long code, BSTR* text) override;
    STDMETHODIMP ImportStatement(IUnknown* options, ITolvarBankStatement* statement) override;
};
