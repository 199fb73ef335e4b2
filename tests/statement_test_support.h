// Helpers for the statement tests: statement files written byte for byte, and the module's
// debugger output read back.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

// A file in the temporary folder holding exactly the given bytes; removed again at the end.
class TempStatementFile {
public:
    explicit TempStatementFile(const std::string& contents, const std::string& suffix = ".csv")
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        static int counter = 0;
        path_ = std::string(folder) + "statement_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + suffix;
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    ~TempStatementFile() { DeleteFileA(path_.c_str()); }
    TempStatementFile(const TempStatementFile&) = delete;
    TempStatementFile& operator=(const TempStatementFile&) = delete;

    const std::string& Path() const { return path_; }
    void Remove() const { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

// Collects what the code under test writes with OutputDebugStringA while it lives: the platform
// raises every such text as a debug-print exception, which a first vectored handler sees.
class DebugOutputCapture {
public:
    DebugOutputCapture()
    {
        current_ = this;
        handler_ = AddVectoredExceptionHandler(1, &DebugOutputCapture::Handler);
    }
    ~DebugOutputCapture()
    {
        RemoveVectoredExceptionHandler(handler_);
        current_ = nullptr;
    }
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    const std::vector<std::string>& Texts() const { return texts_; }
    void Clear() { texts_.clear(); }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (current_ && record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2)
            current_->texts_.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static inline DebugOutputCapture* current_ = nullptr;
    PVOID handler_ = nullptr;
    std::vector<std::string> texts_;
};
