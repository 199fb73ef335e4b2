// Serves the host's settings object and file chooser by class, as the host product does for the
// bank modules it loads.
#include <utility>

#include "standin/host_object.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

// What the class objects serve. The registration clears it when it ends, so a class object that
// COM still holds afterwards serves nothing and keeps no host object alive.
struct ServedObjects {
    Settings* settings = nullptr;
    FileChooser* chooser = nullptr;
    long settingsCreations = 0;
    long chooserCreations = 0;
};

class ClassObject final : public IClassFactory, private CountedObject {
public:
    enum class Serves { Settings, Chooser };

    ClassObject(std::shared_ptr<ServedObjects> served, Serves serves) : served_(std::move(served)), serves_(serves) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!InlineIsEqualGUID(iid, IID_IUnknown) && !InlineIsEqualGUID(iid, IID_IClassFactory))
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown* object = nullptr;
        if (serves_ == Serves::Settings && served_->settings) {
            object = served_->settings->Get();
            ++served_->settingsCreations;
        } else if (serves_ == Serves::Chooser && served_->chooser) {
            object = served_->chooser->Get();
            ++served_->chooserCreations;
        }
        if (!object)
            return CO_E_SERVER_STOPPING;
        return object->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    std::shared_ptr<ServedObjects> served_;
    Serves serves_;
};

// Registers one class object; 0 when the class is not served or registration failed.
DWORD Register(REFCLSID clsid, std::shared_ptr<ServedObjects> served, ClassObject::Serves serves)
{
    ComPtr<IClassFactory> classObject(new ClassObject(std::move(served), serves));
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(clsid, classObject.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        return 0;
    return cookie;
}

}  // namespace

struct HostClassRegistration::State {
    std::shared_ptr<ServedObjects> served = std::make_shared<ServedObjects>();
    bool wantsSettings = false;
    bool wantsChooser = false;
    DWORD settingsCookie = 0;
    DWORD chooserCookie = 0;
};

HostClassRegistration::HostClassRegistration(Settings* settings, FileChooser* chooser)
    : state_(std::make_unique<State>())
{
    state_->served->settings = settings;
    state_->served->chooser = chooser;
    state_->wantsSettings = settings != nullptr;
    state_->wantsChooser = chooser != nullptr;
    if (settings)
        state_->settingsCookie = Register(CLSID_TolvarBankSettings, state_->served, ClassObject::Serves::Settings);
    if (chooser)
        state_->chooserCookie = Register(CLSID_TolvarFileChooser, state_->served, ClassObject::Serves::Chooser);
}

HostClassRegistration::~HostClassRegistration()
{
    if (state_->settingsCookie)
        CoRevokeClassObject(state_->settingsCookie);
    if (state_->chooserCookie)
        CoRevokeClassObject(state_->chooserCookie);
    state_->served->settings = nullptr;
    state_->served->chooser = nullptr;
}

long HostClassRegistration::SettingsCreations() const
{
    return state_->served->settingsCreations;
}

long HostClassRegistration::ChooserCreations() const
{
    return state_->served->chooserCreations;
}

bool HostClassRegistration::Registered() const
{
    return (!state_->wantsSettings || state_->settingsCookie) && (!state_->wantsChooser || state_->chooserCookie);
}

}  // namespace standin
