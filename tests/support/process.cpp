#include "tests/support/process.h"

#include <string>

#include "tests/support/com_test.h"

namespace {

constexpr int kStartAttempts = 5;
constexpr DWORD kStartRetryMilliseconds = 500;

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs)
{
    ProcessResult result;
    wchar_t folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"out", 0, file);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return result;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    bool started = false;
    DWORD startError = 0;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        if (attempt > 0)
            Sleep(kStartRetryMilliseconds);
        std::wstring command = commandLine;
        started =
            CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process) != 0;
        if (!started)
            startError = GetLastError();
    }
    bool timedOut = false;
    if (started) {
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            timedOut = true;
            TerminateProcess(process.hProcess, STILL_ACTIVE);
            WaitForSingleObject(process.hProcess, 5000);
        }
        GetExitCodeProcess(process.hProcess, &result.ExitCode);
        if (timedOut)
            result.ExitCode = STILL_ACTIVE;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(output);

    HANDLE input =
        CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (input != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0)
            result.Output.append(buffer, read);
        CloseHandle(input);
    }
    DeleteFileW(file);
    if (!started)
        result.Output += "[could not start the program: error " + std::to_string(startError) + "]\n";
    if (timedOut)
        result.Output += "[ended: still running after " + std::to_string(timeoutMs) + " ms]\n";
    return result;
}

DWORD RegisterBuiltModule(const std::wstring& options)
{
    return RunProcess(L"regsvr32.exe /s " + options + L" \"" + BuildPath(L"TolvarBrenmarkLintrove.dll") + L"\"")
        .ExitCode;
}
