// The libraries the module loads while it runs come from the system folder only: every LoadLibrary
// the module imports is watched through its import table while the host drives both layouts'
// exports (the options dialog loads the common controls) and an import.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "standin/import_patch.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"

namespace {

struct Load {
    std::wstring Name;
    DWORD Flags = 0;
};

// The loads seen while a watch is on; one test thread makes them all.
std::vector<Load>* seen = nullptr;

using LoadA = HMODULE(WINAPI*)(LPCSTR);
using LoadW = HMODULE(WINAPI*)(LPCWSTR);
using LoadExA = HMODULE(WINAPI*)(LPCSTR, HANDLE, DWORD);
using LoadExW = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);

void Note(const std::wstring& name, DWORD flags)
{
    if (seen)
        seen->push_back({name, flags});
}

std::wstring FromAnsi(LPCSTR name)
{
    std::wstring wide;
    for (const char* c = name; c && *c; ++c)
        wide.push_back(static_cast<unsigned char>(*c));
    return wide;
}

HMODULE WINAPI WatchedLoadA(LPCSTR name)
{
    Note(FromAnsi(name), 0);
    return LoadLibraryA(name);
}

HMODULE WINAPI WatchedLoadW(LPCWSTR name)
{
    Note(name ? name : L"", 0);
    return LoadLibraryW(name);
}

HMODULE WINAPI WatchedLoadExA(LPCSTR name, HANDLE file, DWORD flags)
{
    Note(FromAnsi(name), flags);
    return LoadLibraryExA(name, file, flags);
}

HMODULE WINAPI WatchedLoadExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    Note(name ? name : L"", flags);
    return LoadLibraryExW(name, file, flags);
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Whether the loader takes the library from the system folder only, wherever the host runs.
bool FromSystemFolder(const Load& load)
{
    if (load.Flags & LOAD_LIBRARY_SEARCH_SYSTEM32)
        return true;
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring folder = Lower(std::wstring(system, length)) + L"\\";
    return Lower(load.Name).compare(0, folder.size(), folder) == 0 &&
           load.Name.find(L'\\', folder.size()) == std::wstring::npos;
}

class LibraryLoadsTest : public RegisteredBankTest {};

TEST_F(LibraryLoadsTest, EveryLibraryTheModuleLoadsComesFromTheSystemFolder)
{
    CreateBank();
    HMODULE module = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(*reinterpret_cast<void**>(payments_.Get())), &module));

    std::vector<std::unique_ptr<standin::ImportPatch>> patches;
    const struct {
        const char* Name;
        void* Watch;
    } functions[] = {{"LoadLibraryA", reinterpret_cast<void*>(&WatchedLoadA)},
                     {"LoadLibraryW", reinterpret_cast<void*>(&WatchedLoadW)},
                     {"LoadLibraryExA", reinterpret_cast<void*>(&WatchedLoadExA)},
                     {"LoadLibraryExW", reinterpret_cast<void*>(&WatchedLoadExW)}};
    for (const auto& function : functions)
        patches.push_back(
            std::make_unique<standin::ImportPatch>(module, "kernel32.dll", function.Name, function.Watch));
    std::vector<Load> loads;
    seen = &loads;

    for (ExportLayout layout : {ExportLayout::Lintrove, ExportLayout::Ledgerway}) {
        standin::PaymentBatch batch;
        standin::PaymentData payment;
        payment.PayeeSortCode = L"12-34-56";
        payment.PayeeAccountNumber = L"12345678";
        payment.PayeeAccountName = L"J. Smith";
        payment.PayeeBacsReference = L"7";
        payment.Amount = 3;
        batch.Add(payment);
        standin::PaymentContext context(L"40-11-22", L"87654321");
        const ModuleRun run = Export(batch, context.Get(), layout);
        EXPECT_TRUE(SUCCEEDED(run.Result)) << std::hex << run.Result;
        EXPECT_FALSE(run.WindowTrouble);
    }
    const std::string statement = folder_ + "\\statement.csv";
    WriteBytes(statement, "Date,Amount,Details\r\n01/12/2026,10.00,Rent\r\n");
    standin::Statement imported;
    Import(imported, statement);
    DeleteFileA(statement.c_str());
    seen = nullptr;

    // The options dialog's common controls at least; each one by its place in the system folder.
    EXPECT_FALSE(loads.empty());
    bool commonControls = false;
    for (const Load& load : loads) {
        EXPECT_TRUE(FromSystemFolder(load))
            << "loaded by \"" << std::string(load.Name.begin(), load.Name.end()) << "\" with flags " << load.Flags;
        commonControls = commonControls || Lower(load.Name).find(L"comctl32.dll") != std::wstring::npos;
    }
    EXPECT_TRUE(commonControls);
    // The watch was on: the module imports the loader's functions by name.
    bool watched = false;
    for (const auto& patch : patches)
        watched = watched || patch->Installed();
    EXPECT_TRUE(watched);
}

}  // namespace
