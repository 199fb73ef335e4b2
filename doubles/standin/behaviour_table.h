// The behaviours of the many like objects of one stand-in, such as a batch's payments or a
// statement's transactions: keyed by number, named "Prefix[number]" in the call log, each made on
// first use. With recording off, a call looks only at objects already given a behaviour (to fail
// them), so large runs build no call texts.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "standin/standin_host.h"

namespace standin {

class BehaviourTable {
public:
    BehaviourTable(std::shared_ptr<CallLog> log, std::string prefix, const IID& iid)
        : log_(std::move(log)), prefix_(std::move(prefix)), iid_(iid)
    {
    }

    Behaviour& At(long number);
    bool PostsErrorInfo(long number) const;
    // Records "Prefix[number].member" or "Prefix[number].member(argument)" and answers S_OK or the
    // planned failure.
    HRESULT OnCall(long number, const char* member, const std::string* argument = nullptr);
    bool Recording() const { return recording_; }
    void SetRecording(bool on);

private:
    std::shared_ptr<CallLog> log_;
    std::string prefix_;
    IID iid_;
    std::map<long, Behaviour> behaviours_;
    bool recording_ = true;
};

}  // namespace standin
