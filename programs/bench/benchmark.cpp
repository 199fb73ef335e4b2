// Benchmarks of the registered module driven by the stand-in host. Each measurement runs in a process
// of its own, so that the peak working set it reports belongs to that run alone:
//
//   brenmark_benchmark setup                                    registers the host's type libraries
//   brenmark_benchmark check WORKDIR                            the floors make the module's calls and bytes
//   brenmark_benchmark profile WORKDIR [N]                      the module's allocations per item
//   brenmark_benchmark export lintrove|ledgerway N WORKDIR [REPEATS [allvalid|history|history-off]]
//   brenmark_benchmark import N WORKDIR [REPEATS]
//   brenmark_benchmark host-call N STATEMENT [REPEATS]           the import call as the sample host makes it
//
// Each measurement's RESULT, CHECK or PROFILE lines: bench/measurements.h.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/measurements.h"
#include "bench/module_runs.h"
#include "support/text_conversion.h"

using namespace bench;

namespace {

int Setup()
{
    Apartment apartment;
    const char* build = std::getenv("BRENMARK_BUILD_DIR");
    if (!build)
        Fail("BRENMARK_BUILD_DIR is not set");
    for (const char* name : {"TolvarEBanking.tlb", "TolvarBankPayments.tlb", "TolvarBankReconciliation.tlb"}) {
        const std::wstring path = WideFromAnsi(WindowsPath(std::string(build) + "/generated/" + name));
        ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Put())))
            Fail(std::string("could not register ") + name);
    }
    return 0;
}

long Count(const char* text)
{
    char* end = nullptr;
    const long count = std::strtol(text, &end, 10);
    if (!end || *end || count < 1)
        Fail(std::string("not a count: ") + text);
    return count;
}

int Usage()
{
    std::fprintf(
        stderr,
        "usage: brenmark_benchmark setup\n"
        "       brenmark_benchmark check WORKDIR\n"
        "       brenmark_benchmark profile WORKDIR [N]\n"
        "       brenmark_benchmark export lintrove|ledgerway N WORKDIR [REPEATS [allvalid|history|history-off]]\n"
        "       brenmark_benchmark import N WORKDIR [REPEATS]\n"
        "       brenmark_benchmark host-call N STATEMENT [REPEATS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 4096);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "setup" && argc == 2)
        return Setup();
    if (command == "check" && argc == 3)
        return Check(WindowsPath(argv[2]));
    if (command == "profile" && (argc == 3 || argc == 4))
        return Profile(WindowsPath(argv[2]), argc == 4 ? Count(argv[3]) : 10000);
    if (command == "export" && argc >= 5 && argc <= 7) {
        const std::string layout = argv[2];
        const std::string kindName = argc == 7 ? argv[6] : "";
        const ExportKind kind = kindName == "allvalid"      ? ExportKind::AllValid
                                : kindName == "history"     ? ExportKind::History
                                : kindName == "history-off" ? ExportKind::HistoryOff
                                                            : ExportKind::Mixed;
        if ((layout != "lintrove" && layout != "ledgerway") || (argc == 7 && kind == ExportKind::Mixed))
            return Usage();
        return MeasureExport(layout == "ledgerway" ? Layout::Ledgerway : Layout::Lintrove, Count(argv[3]),
                             WindowsPath(argv[4]), argc >= 6 ? static_cast<int>(Count(argv[5])) : 1, kind);
    }
    if (command == "host-call" && (argc == 4 || argc == 5))
        return MeasureHostCall(Count(argv[2]), WindowsPath(argv[3]), argc == 5 ? static_cast<int>(Count(argv[4])) : 1);
    if (command == "import" && (argc == 4 || argc == 5))
        return MeasureImport(Count(argv[2]), WindowsPath(argv[3]), argc == 5 ? static_cast<int>(Count(argv[4])) : 1);
    return Usage();
}
