#include "statements/statement_service.h"

STDMETHODIMP CBankStatementService::GetResultText(long, BSTR* text)
{
    // The statement service has no texts of its own: the out value is left as it is.
    return MethodFrame([&] { RequirePointer(text); });
}

STDMETHODIMP CBankStatementService::ImportStatement(IUnknown*, ITolvarBankStatement*)
{
    // Not built yet: the import run arrives with the statement reader.
    return MethodFrame([&] { Raise(E_NOTIMPL); });
}
