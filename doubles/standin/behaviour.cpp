#include <tuple>

#include "standin/behaviour_table.h"
#include "standin/call_text.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

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

void Behaviour::FailOn(const std::string& member, Failure failure)
{
    failures_[member] = std::move(failure);
}

bool Behaviour::PostsErrorInfo() const
{
    for (const auto& planned : failures_) {
        if (!planned.second.Description.empty())
            return true;
    }
    return false;
}

HRESULT Behaviour::Record(const std::string& call) const
{
    if (recording_)
        log_->Add(name_ + "." + call);
    return Check(call);
}

void Behaviour::OnCall(const std::string& member, std::function<void()> action)
{
    actions_[member] = std::move(action);
}

// The entry for the call itself, or else for its member without arguments.
template <class Map>
typename Map::const_iterator FindPlanned(const Map& planned, const std::string& call)
{
    auto found = planned.find(call);
    if (found == planned.end()) {
        const size_t open = call.find('(');
        if (open != std::string::npos)
            found = planned.find(call.substr(0, open));
    }
    return found;
}

HRESULT Behaviour::Check(const std::string& call) const
{
    if (!actions_.empty()) {
        const auto action = FindPlanned(actions_, call);
        if (action != actions_.end())
            action->second();
    }
    if (failures_.empty())
        return S_OK;
    const auto planned = FindPlanned(failures_, call);
    if (planned == failures_.end())
        return S_OK;
    const Failure& failure = planned->second;
    if (!failure.Description.empty())
        PostErrorInfo(iid_, name_, failure.Description);
    return failure.Result;
}

Behaviour& BehaviourTable::At(long number)
{
    auto found = behaviours_.find(number);
    if (found == behaviours_.end()) {
        found = behaviours_
                    .emplace(std::piecewise_construct, std::forward_as_tuple(number),
                             std::forward_as_tuple(log_, prefix_ + "[" + std::to_string(number) + "]", iid_))
                    .first;
        found->second.SetRecording(recording_);
    }
    return found->second;
}

bool BehaviourTable::PostsErrorInfo(long number) const
{
    auto found = behaviours_.find(number);
    return found != behaviours_.end() && found->second.PostsErrorInfo();
}

HRESULT BehaviourTable::OnCall(long number, const char* member, const std::string* argument)
{
    Behaviour* behaviour = nullptr;
    if (recording_) {
        behaviour = &At(number);
    } else {
        auto found = behaviours_.find(number);
        if (found == behaviours_.end())
            return S_OK;
        behaviour = &found->second;
    }
    return behaviour->Record(argument ? CallText(member, *argument) : std::string(member));
}

void BehaviourTable::SetRecording(bool on)
{
    recording_ = on;
    for (auto& entry : behaviours_)
        entry.second.SetRecording(on);
}

}  // namespace standin
