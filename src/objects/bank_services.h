// The bank's services collection: the payment service at position 0 and the statement service at
// position 1, found by position, by name or with an enumerator.
#pragma once

#include "TolvarBrenmarkLintrove.h"
#include "core/com_object.h"
#include "core/dispatch.h"
#include "objects/array.h"

// The list part of the collection: owns one reference to each element.
template <class Element, class CollectionInterface>
class CListImpl : public DispatchImpl<CollectionInterface> {
public:
    virtual ~CListImpl() = default;

    virtual HRESULT RemoveAll();

protected:
    // Takes a reference to the element and appends it. Raises (no method frame of its own), so
    // that a failing step of the collection's construction fails the construction.
    void Add(Element* element);

    CArray<Element> ServiceList;
};

template <class CollectionInterface>
class IBankServicesImpl : public CListImpl<ITolvarBankService, CollectionInterface> {
public:
    STDMETHODIMP Item(VARIANT index, ITolvarBankService** service) override;
    STDMETHODIMP get_Count(long* count) override;
    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override;

    virtual HRESULT get_Status(long* status);
    virtual HRESULT put_Status(long status);

protected:
    long Status = 0;
};

class CBankServices : public Implements<IBankServicesImpl<IBankServices>, IDispatch, IBankServices, ITolvarBankServices,
                                        ISupportErrorInfo> {
public:
    ~CBankServices() override;
    // Fills the collection with the bank's two services.
    void FinalConstruct();
};
