#include "samplehost/standin_host.h"

#include <atomic>

#include "samplehost/host_object.h"

namespace standin {

namespace {

std::atomic<long> liveObjects{0};

void PostErrorInfo(const IID& iid, const std::string& source, const std::wstring& description)
{
    ComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(creator.Put())))
        return;
    const std::wstring wideSource(source.begin(), source.end());
    creator->SetGUID(iid);
    creator->SetSource(const_cast<LPOLESTR>(wideSource.c_str()));
    creator->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    if (ComPtr<IErrorInfo> info = creator.As<IErrorInfo>())
        SetErrorInfo(0, info.Get());
}

}  // namespace

long LiveObjects()
{
    return liveObjects.load();
}

void CountLiveObject(int change)
{
    liveObjects += change;
}

void Behaviour::FailOn(const std::string& member, Failure failure)
{
    if (!failure.Description.empty())
        postsErrorInfo_ = true;
    failures_[member] = std::move(failure);
}

HRESULT Behaviour::Record(const std::string& call) const
{
    if (recording_)
        log_->Add(name_ + "." + call);
    return Check(call);
}

HRESULT Behaviour::Check(const std::string& call) const
{
    if (failures_.empty())
        return S_OK;
    auto planned = failures_.find(call);
    if (planned == failures_.end()) {
        const size_t open = call.find('(');
        if (open != std::string::npos)
            planned = failures_.find(call.substr(0, open));
    }
    if (planned == failures_.end())
        return S_OK;
    const Failure& failure = planned->second;
    if (!failure.Description.empty())
        PostErrorInfo(iid_, name_, failure.Description);
    return failure.Result;
}

}  // namespace standin
