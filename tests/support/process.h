// Runs another Windows program (regsvr32, cscript, the sample host) and collects its output.
#pragma once

#include <windows.h>

#include <string>

struct ProcessResult {
    DWORD ExitCode = 0xFFFFFFFF;
    std::string Output;  // standard output and standard error together; why it did not start or end
};

// Runs the command line and waits (at most timeoutMs) for it to end. A program that could not be
// started is tried again a few times (Wine now and then refuses a start while it is busy); one that
// started is never run twice. One still running at the timeout is ended, with STILL_ACTIVE as its
// exit code.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 120000);

// Runs the system's regsvr32 silently on the built module ("/u" to unregister); returns its exit code.
DWORD RegisterBuiltModule(const std::wstring& options = L"");
