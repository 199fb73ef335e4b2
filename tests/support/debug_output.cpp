#include "tests/support/debug_output.h"

DebugOutputCapture* DebugOutputCapture::current_ = nullptr;

DebugOutputCapture::DebugOutputCapture()
{
    current_ = this;
    handler_ = AddVectoredExceptionHandler(1, &DebugOutputCapture::Handler);
}

DebugOutputCapture::~DebugOutputCapture()
{
    RemoveVectoredExceptionHandler(handler_);
    current_ = nullptr;
}

LONG CALLBACK DebugOutputCapture::Handler(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (current_ && record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
        current_->texts_.emplace_back(text, length > 0 ? length - 1 : 0);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
