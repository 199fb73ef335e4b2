#include "hostprogram/host_program.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "hostprogram/batch_csv.h"
#include "hostprogram/batch_generator.h"
#include "hostprogram/buffered_output.h"
#include "hostprogram/command_line.h"
#include "hostprogram/csv_reader.h"
#include "hostprogram/export_command.h"
#include "hostprogram/host_import.h"
#include "hostprogram/program_text.h"
#include "hostprogram/report.h"

namespace hostprogram {

namespace {

int Import(const Arguments& arguments, std::ostream& out, std::ostream& err)
{
    // The module's only windows here are its messages about a file it refuses.
    const bool unattended = Unattended(arguments, err);
    const std::wstring path = FullPath(arguments.Subject);
    std::string why;
    if (!CheckStatementFile(arguments.Subject, &why))
        throw InputError(Located(arguments.Subject, 1, "", "not a statement file: " + why));

    HostSession session(TypeLibraryFolder(arguments));
    const ImportOutcome outcome = RunImport(session, path, unattended);

    PrintImport(out, path, unattended, outcome);
    if (FAILED(outcome.Result) || outcome.Status != 0)
        return kExitError;
    if (outcome.Resets == 0) {
        err << kProgram << ": the module did not import the file: the statement was never reset\n";
        return kExitError;
    }
    return kExitPassed;
}

int Generate(const Arguments& arguments, std::ostream& out)
{
    GeneratorOptions options;
    const std::string& count = arguments.Subject;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(count.c_str(), &end, 10);
    if (count.empty() || count[0] == '-' || count[0] == '+' || *end || errno == ERANGE || parsed > 0x7FFFFFFF)
        throw UsageError("generate needs a number of payments from 0 to 2147483647, not \"" + count + "\"");
    options.Count = static_cast<long>(parsed);

    if (arguments.Has("invalid")) {
        std::string share = arguments.Value("invalid");
        const bool percent = !share.empty() && share.back() == '%';
        if (percent)
            share.pop_back();
        double value = 0;
        if (!ParseAmount(share, &value) || value < 0 || value > (percent ? 100 : 1))
            throw UsageError("--invalid is a share from 0 to 1 or a percentage from 0% to 100%, not \"" +
                             arguments.Value("invalid") + "\"");
        options.InvalidShare = percent ? value / 100 : value;
    }
    if (arguments.Has("seed")) {
        const std::string seed = arguments.Value("seed");
        errno = 0;
        const unsigned long long value = std::strtoull(seed.c_str(), &end, 10);
        if (seed.empty() || seed[0] == '-' || seed[0] == '+' || *end || errno == ERANGE)
            throw UsageError("--seed is a whole number from 0, not \"" + seed + "\"");
        options.Seed = value;
    }
    for (const char* name : {"sort-code", "account"}) {
        const std::string value = arguments.Value(name);
        if (value.find_first_of(",\"\r\n") != std::string::npos)
            throw UsageError(std::string("--") + name + " may not hold commas, quotes or line ends");
    }
    options.PayerSortCode = arguments.Value("sort-code", options.PayerSortCode);
    options.PayerAccountNumber = arguments.Value("account", options.PayerAccountNumber);

    if (!arguments.Has("output")) {
        WriteSyntheticBatch(out, options);
        return out ? kExitPassed : kExitError;
    }
    const std::string output = arguments.Value("output");
    std::ofstream file(std::filesystem::path(Wide(output)), std::ios::binary | std::ios::trunc);
    if (!file)
        throw InputError(Located(output, 0, "", "cannot be written"));
    const long invalid = WriteSyntheticBatch(file, options);
    file.close();
    if (!file)
        throw InputError(Located(output, 0, "", "could not be written in full"));
    out << "Wrote " << options.Count << (options.Count == 1 ? " payment" : " payments") << " (" << invalid
        << " invalid) to " << output << "\n";
    return kExitPassed;
}

}  // namespace

int RunHostProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    try {
        if (arguments.empty() || arguments[0] == "help" || arguments[0] == "--help" || arguments[0] == "-h") {
            (arguments.empty() ? err : out) << kUsage;
            return arguments.empty() ? kExitError : kExitPassed;
        }
        const std::string& command = arguments[0];
        if (command == "export")
            return ExportCommand(ParseExportArguments(arguments), out, err);
        if (command == "import")
            return Import(ParseImportArguments(arguments), out, err);
        if (command == "generate")
            return Generate(ParseGenerateArguments(arguments), out);
        throw UsageError("\"" + command + "\" is not a command: export, import or generate");
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << "\n(" << kProgram << " help lists the commands and options)\n";
    } catch (const InputError& error) {
        err << kProgram << ": " << error.what() << "\n";
    } catch (const HostError& error) {
        err << kProgram << ": " << error.what() << "\n";
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << "\n";
    }
    return kExitError;
}

int RunFromCommandLine()
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(Utf8(wide[i]));
    if (wide)
        LocalFree(wide);
    // Texts are printed as UTF-8 with plain line feeds, the same in a console, a pipe or a file.
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The report goes out through one buffer; the error stream empties it first, so that notes
    // and warnings keep their place among the report's lines.
    BufferedOutput buffer(stdout);
    std::ostream out(&buffer);
    std::cerr.tie(&out);
    const int code = RunHostProgram(arguments, out, std::cerr);
    out.flush();
    std::cerr.tie(nullptr);
    std::cerr.flush();
    return code;
}

}  // namespace hostprogram
