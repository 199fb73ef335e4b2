#include "objects/bank_services.h"

#include "objects/enum_variant.h"
#include "payments/payment_service.h"
#include "statements/statement_service.h"

template <class Element, class CollectionInterface>
void CListImpl<Element, CollectionInterface>::Add(Element* element)
{
    RequirePointer(element);
    ComPtr<Element> held(element);
    ServiceList.Append(held.Get());
    held.Detach();  // the list owns this reference now
}

template <class Element, class CollectionInterface>
HRESULT CListImpl<Element, CollectionInterface>::RemoveAll()
{
    return MethodFrame([&] {
        for (int position = ServiceList.GetSize() - 1; position >= 0; --position)
            ComPtr<Element>::Attach(ServiceList.GetAt(position)).Reset();
        ServiceList.RemoveAll();
    });
}

namespace {

// The position of the service whose own name equals the text, case-sensitively; -1 when none does.
long FindByName(const CArray<ITolvarBankService>& list, BSTR name)
{
    for (int position = 0; position < list.GetSize(); ++position) {
        Bstr serviceName;
        list.GetAt(position)->get_Name(serviceName.Put());
        if (VarBstrCmp(name, serviceName.Get(), LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_EQ))
            return position;
    }
    return -1;
}

}  // namespace

template <class CollectionInterface>
STDMETHODIMP IBankServicesImpl<CollectionInterface>::Item(VARIANT index, ITolvarBankService** service)
{
    return MethodFrame([&] {
        RequirePointer(service);
        long position = -1;
        const VARTYPE type = V_VT(&index);
        if (type == VT_EMPTY || type == VT_ERROR) {
            // not found
        } else if (type == VT_BSTR || type == (VT_BSTR | VT_BYREF)) {
            Bstr name(type == VT_BSTR ? V_BSTR(&index) : (V_BSTRREF(&index) ? *V_BSTRREF(&index) : nullptr));
            position = FindByName(this->ServiceList, name.Get());
        } else {
            Variant converted;
            if (SUCCEEDED(VariantChangeType(&converted, &index, 0, VT_I4)))
                position = V_I4(&converted.Get());
        }
        if (position < 0 || position >= this->ServiceList.GetSize())
            Raise(E_INVALIDARG);
        ComPtr<ITolvarBankService>(this->ServiceList.GetAt(position)).CopyTo(service);
    });
}

template <class CollectionInterface>
STDMETHODIMP IBankServicesImpl<CollectionInterface>::get_Count(long* count)
{
    return MethodFrame([&] {
        RequirePointer(count);
        *count = this->ServiceList.GetSize();
    });
}

template <class CollectionInterface>
STDMETHODIMP IBankServicesImpl<CollectionInterface>::get__NewEnum(IUnknown** enumerator)
{
    return MethodFrame([&] {
        RequirePointer(enumerator);
        auto made = CEnumVariantArray<ITolvarBankService>::Create(
            &this->ServiceList, static_cast<IUnknown*>(static_cast<CollectionInterface*>(this)));
        if (!made)
            Raise(E_OUTOFMEMORY);
        *enumerator = static_cast<IEnumVARIANT*>(made.Detach());
    });
}

template <class CollectionInterface>
HRESULT IBankServicesImpl<CollectionInterface>::get_Status(long* status)
{
    return MethodFrame([&] {
        RequirePointer(status);
        *status = Status;
    });
}

template <class CollectionInterface>
HRESULT IBankServicesImpl<CollectionInterface>::put_Status(long status)
{
    Status = status;
    return S_OK;
}

CBankServices::~CBankServices()
{
    RemoveAll();
}

// Every step raises on failure, so the collection is made whole or not at all (its destruction
// releases what it already holds).
void CBankServices::FinalConstruct()
{
    Add(static_cast<IBankPaymentService*>(MakeObject<CBankPaymentService>().Get()));
    Add(static_cast<IBankStatementService*>(MakeObject<CBankStatementService>().Get()));
}

template class CListImpl<ITolvarBankService, IBankServices>;
template class IBankServicesImpl<IBankServices>;
