#include "core/method_frame.h"

namespace {

struct ModuleError {
    HRESULT Code;
    const wchar_t* Description;
};

// Row order matters: the returned code is 0x800A0000 | (0xFFFE - row).
const ModuleError kModuleErrors[] = {
    {E_UNEXPECTED, L"Unexpected result"},        {E_OUTOFMEMORY, L"Out of Memory"},
    {E_INVALIDARG, L"Invalid argument"},         {E_NOTIMPL, L"Not implemented"},
    {E_NOINTERFACE, L"Interface not supported"}, {0, nullptr},
};

constexpr unsigned kFacilityControl = 10;

int ModuleErrorRow(HRESULT hr)
{
    for (int row = 0; kModuleErrors[row].Code != 0; ++row) {
        if (kModuleErrors[row].Code == hr)
            return row;
    }
    return 0;
}

}  // namespace

HRESULT CaughtResult() noexcept
{
    try {
        throw;
    } catch (HRESULT hr) {
        return hr;
    } catch (const HostCallFailure& failure) {
        return failure.Result;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ReportModuleError(HRESULT hr) noexcept
{
    if (hr == DISP_E_EXCEPTION || ((static_cast<unsigned long>(hr) >> 16) & 0x1FFF) == kFacilityControl)
        return hr;

    ComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(creator.Put())))
        return hr;

    const int row = ModuleErrorRow(hr);
    creator->SetDescription(const_cast<LPOLESTR>(kModuleErrors[row].Description));
    ComPtr<IErrorInfo> info = creator.As<IErrorInfo>();
    if (info)
        SetErrorInfo(0, info.Get());
    return static_cast<HRESULT>(0x800A0000UL | ((0xFFFEUL - row) & 0xFFFFUL));
}

void RaiseHostFailure(IUnknown* object, REFIID iid, HRESULT hr)
{
    HostCallFailure failure{hr, nullptr};
    ComPtr<ISupportErrorInfo> support;
    if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, support.PutVoid())) &&
        support->InterfaceSupportsErrorInfo(iid) == S_OK) {
        GetErrorInfo(0, failure.Info.Put());
    }
    throw failure;
}
