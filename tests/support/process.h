// Runs another Windows program (regsvr32, cscript, the sample host) and collects its output.
#pragma once

#include <windows.h>

#include <string>

struct ProcessResult {
    DWORD ExitCode = 0xFFFFFFFF;
    std::string Output;  // standard output and standard error together
};

// Runs the command line and waits (at most timeoutMs) for it to end.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 120000);

// Runs the system's regsvr32 silently on the built module ("/u" to unregister); returns its exit code.
DWORD RegisterBuiltModule(const std::wstring& options = L"");
