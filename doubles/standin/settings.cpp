// The host settings object: bank configuration, file chooser settings and payment file defaults.
#include <algorithm>
#include <cstring>
#include <utility>

#include "standin/call_text.h"
#include "standin/host_object.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

// Sizes of the ANSI buffers the module hands over, as the contract fixes them.
constexpr size_t kConfigureBufferSize = 1024;
constexpr size_t kBankNameSize = 100;
constexpr size_t kFileNameSize = 1024;
constexpr size_t kExtensionSize = 4;
constexpr size_t kDirectorySize = 1024;
constexpr size_t kChooserHostDataSize = sizeof(FileChooserSettings::HostData);

// Zero-fills a buffer, then writes raw when given, else text with room for its terminator.
void FillBuffer(char* buffer, size_t size, const std::string& text, const std::vector<char>& raw)
{
    if (!buffer)
        return;
    std::memset(buffer, 0, size);
    if (!raw.empty())
        std::memcpy(buffer, raw.data(), std::min(raw.size(), size));
    else
        std::memcpy(buffer, text.data(), std::min(text.size(), size - 1));
}

std::vector<unsigned char> CopyBuffer(const char* buffer, size_t size)
{
    if (!buffer)
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    return std::vector<unsigned char>(bytes, bytes + size);
}

// The settings object reads its defaults from, and leaves what it received in, the Settings that
// made it; once that is gone the object still answers, with empty defaults.
struct SettingsLink {
    explicit SettingsLink(std::shared_ptr<CallLog> log) : self(std::move(log), "Settings", IID_ITolvarBankSettings) {}
    Behaviour self;
    Settings* owner = nullptr;
};

class SettingsObject final : public HostObject<ITolvarBankSettings> {
public:
    explicit SettingsObject(std::shared_ptr<SettingsLink> link) : link_(std::move(link)) {}

    STDMETHODIMP ConfigureBank(char* bankName, long options) override
    {
        const HRESULT hr = link_->self.Record(
            CallText("ConfigureBank", BufferText(bankName, kConfigureBufferSize) + ", " + std::to_string(options)));
        if (FAILED(hr))
            return hr;
        if (!bankName)
            return E_POINTER;
        if (Settings* owner = link_->owner) {
            owner->LastConfigureBuffer = CopyBuffer(bankName, kConfigureBufferSize);
            owner->LastConfigureValue = options;
        }
        return S_OK;
    }

    STDMETHODIMP GetFileChooserSettings(char* bankName, FileChooserSettings* settings) override
    {
        if (settings)
            std::memset(settings, 0, sizeof *settings);
        const HRESULT hr = link_->self.Record(CallText("GetFileChooserSettings", BufferText(bankName, kBankNameSize)));
        if (FAILED(hr))
            return hr;
        if (!bankName || !settings)
            return E_POINTER;
        if (Settings* owner = link_->owner) {
            owner->LastBankName = CopyBuffer(bankName, kBankNameSize);
            const std::vector<unsigned char>& hostData = owner->ChooserHostData;
            std::memcpy(settings->HostData, hostData.data(), std::min(hostData.size(), kChooserHostDataSize));
        }
        return S_OK;
    }

    STDMETHODIMP GetPaymentFileDefaults(char* bankName, char* defaultFileName, char* fileExtension,
                                        char* defaultDirectory) override
    {
        static const std::string none;
        static const std::vector<char> noRaw;
        Settings* owner = link_->owner;
        // The buffers are zero-filled before anything else, so a refusal leaves them empty.
        FillBuffer(defaultFileName, kFileNameSize, none, noRaw);
        FillBuffer(fileExtension, kExtensionSize, none, noRaw);
        FillBuffer(defaultDirectory, kDirectorySize, none, noRaw);
        const HRESULT hr = link_->self.Record(CallText("GetPaymentFileDefaults", BufferText(bankName, kBankNameSize)));
        if (FAILED(hr))
            return hr;
        if (!bankName || !defaultFileName || !fileExtension || !defaultDirectory)
            return E_POINTER;
        if (owner) {
            owner->LastBankName = CopyBuffer(bankName, kBankNameSize);
            FillBuffer(defaultFileName, kFileNameSize, owner->DefaultFileName, owner->RawFileName);
            FillBuffer(fileExtension, kExtensionSize, owner->FileExtension, owner->RawExtension);
            FillBuffer(defaultDirectory, kDirectorySize, owner->DefaultDirectory, owner->RawDirectory);
        }
        return S_OK;
    }

protected:
    bool PostsErrorInfo() const override { return link_->self.PostsErrorInfo(); }

private:
    std::shared_ptr<SettingsLink> link_;
};

}  // namespace

struct Settings::State : SettingsLink {
    using SettingsLink::SettingsLink;
};

Settings::Settings(std::shared_ptr<CallLog> log)
    : ChooserHostData(kChooserHostDataSize),
      state_(std::make_shared<State>(std::move(log))),
      settings_(MakeHostObject<SettingsObject>(state_))
{
    // A pattern without zero bytes, so a record passed on unread is easy to recognise.
    for (size_t i = 0; i < ChooserHostData.size(); ++i)
        ChooserHostData[i] = static_cast<unsigned char>(1 + i % 255);
    state_->owner = this;
}

Settings::~Settings()
{
    state_->owner = nullptr;
}

ITolvarBankSettings* Settings::Get() const
{
    return settings_.Get();
}

Behaviour& Settings::Self()
{
    return state_->self;
}

}  // namespace standin
