// Collects what the code under test writes to the debugger output while it lives.
// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text; a first vectored handler sees it
// before anyone else.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    const std::vector<std::string>& Texts() const { return texts_; }
    void Clear() { texts_.clear(); }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* exception);

    static DebugOutputCapture* current_;
    PVOID handler_ = nullptr;
    std::vector<std::string> texts_;
};
