// The record of calls that the stand-in host's objects receive, in order, with their arguments.
#pragma once

#include <string>
#include <vector>

class CallLog {
public:
    void Add(std::string call) { calls_.push_back(std::move(call)); }
    const std::vector<std::string>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }
    // The calls joined by newlines, for readable test failures.
    std::string Text() const;

private:
    std::vector<std::string> calls_;
};
