// The host file chooser: takes the settings record with the module's filter, "shows" itself by
// answering with the result and file name that the test or host program set.
#include <cstring>
#include <utility>

#include "standin/call_text.h"
#include "standin/host_object.h"
#include "standin/recorded_members.h"
#include "standin/standin_host.h"
#include "support/text_conversion.h"

namespace standin {

namespace {

// Room the chooser gives the filter for its description of a file type.
constexpr size_t kFilterDescriptionSize = MAX_PATH;

struct ChooserLink {
    explicit ChooserLink(std::shared_ptr<CallLog> log) : self(std::move(log), "Chooser", IID_ITolvarFileChooser)
    {
        std::memset(&settings, 0, sizeof settings);
    }
    Behaviour self;
    FileChooser* owner = nullptr;
    FileChooserSettings settings;
    bool hasSettings = false;
    std::wstring fileName;  // what get_FileName handed out last; the chooser owns it
};

class ChooserObject final : public HostObject<ITolvarFileChooser> {
public:
    explicit ChooserObject(std::shared_ptr<ChooserLink> link) : link_(std::move(link)) {}

    STDMETHODIMP SetSettings(FileChooserSettings* settings) override
    {
        const HRESULT hr = link_->self.Record("SetSettings");
        if (FAILED(hr))
            return hr;
        if (!settings)
            return E_POINTER;
        link_->settings = *settings;
        link_->hasSettings = true;
        return S_OK;
    }

    STDMETHODIMP get_Title(BSTR* title) override
    {
        return RecordedGetText(
            title, [&] { return link_->self.Record("get_Title"); },
            link_->owner ? link_->owner->Title : std::wstring());
    }

    STDMETHODIMP put_Title(BSTR title) override
    {
        const HRESULT hr = link_->self.Record(CallText("put_Title", BstrText(title)));
        if (SUCCEEDED(hr) && link_->owner)
            link_->owner->Title.assign(title ? title : L"", title ? SysStringLen(title) : 0);
        return hr;
    }

    STDMETHODIMP get_FileName(LPWSTR* fileName) override
    {
        return RecordedGet(
            fileName, [&] { return link_->self.Record("get_FileName"); },
            [&](LPWSTR& given) {
                link_->fileName = link_->owner ? link_->owner->FileName : std::wstring();
                given = &link_->fileName[0];
                return S_OK;
            });
    }

    // A refused Show leaves 1 in the result: nothing chosen.
    STDMETHODIMP Show(long* result) override
    {
        if (result)
            *result = 1;
        const HRESULT hr = link_->self.Record("Show");
        if (FAILED(hr))
            return hr;
        if (!result)
            return E_POINTER;
        *result = link_->owner ? link_->owner->ShowResult : 1;
        return S_OK;
    }

protected:
    bool PostsErrorInfo() const override { return link_->self.PostsErrorInfo(); }

private:
    std::shared_ptr<ChooserLink> link_;
};

}  // namespace

struct FileChooser::State : ChooserLink {
    using ChooserLink::ChooserLink;
};

FileChooser::FileChooser(std::shared_ptr<CallLog> log)
    : state_(std::make_shared<State>(std::move(log))), chooser_(MakeHostObject<ChooserObject>(state_))
{
    state_->owner = this;
}

FileChooser::~FileChooser()
{
    state_->owner = nullptr;
}

ITolvarFileChooser* FileChooser::Get() const
{
    return chooser_.Get();
}

Behaviour& FileChooser::Self()
{
    return state_->self;
}

TolvarFileFilter FileChooser::Filter() const
{
    return reinterpret_cast<TolvarFileFilter>(state_->settings.Filter);
}

const FileChooserSettings& FileChooser::LastSettings() const
{
    return state_->settings;
}

bool FileChooser::HasSettings() const
{
    return state_->hasSettings;
}

int FileChooser::AskFilter(const std::string& fileName, std::string* description) const
{
    if (description)
        description->clear();
    const TolvarFileFilter filter = Filter();
    if (!filter)
        return 0;
    char text[kFilterDescriptionSize] = {};
    const int accepted = filter(text, fileName.c_str());
    if (description)
        *description = BufferText(text, sizeof text);
    return accepted;
}

int FileChooser::AskFilter(const std::wstring& path, std::string* description, std::string* why) const
{
    if (description)
        description->clear();
    if (why)
        why->clear();
    std::string name;
    if (!ExactAnsiFromWide(path, &name)) {
        const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
        std::wstring shortPath(size, L'\0');
        const DWORD length = size ? GetShortPathNameW(path.c_str(), &shortPath[0], size) : 0;
        shortPath.resize(length < size ? length : 0);
        if (shortPath.empty()) {
            if (why)
                *why = "the file's name has characters the system's code page cannot hold, and the system gives no "
                       "short name for it";
            return 0;
        }
        if (!ExactAnsiFromWide(shortPath, &name)) {
            if (why)
                *why = "the file's name has characters the system's code page cannot hold, and so has its short name";
            return 0;
        }
    }
    if (name.size() >= MAX_PATH) {
        if (why)
            *why = "the file's name is longer than the filter takes (" + std::to_string(MAX_PATH - 1) + " bytes)";
        return 0;
    }
    return AskFilter(name, description);
}

}  // namespace standin
