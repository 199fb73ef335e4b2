#include "hostprogram/host_program.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include "hostprogram/batch_csv.h"
#include "hostprogram/buffered_output.h"
#include "hostprogram/batch_generator.h"
#include "standin/call_text.h"
#include "hostprogram/csv_reader.h"
#include "hostprogram/host_export.h"
#include "hostprogram/host_import.h"
#include "hostprogram/program_text.h"
#include "hostprogram/report_table.h"

namespace hostprogram {

namespace {

const char kProgram[] = "brenmark_host";

const char kUsage[] =
    "Usage:\n"
    "  brenmark_host export BATCH.csv [options]     export a payment batch through the registered module\n"
    "  brenmark_host import STATEMENT.csv [options] import a statement file through the registered module\n"
    "  brenmark_host generate N [options]           write a synthetic payment batch of N payments\n"
    "\n"
    "Export options:\n"
    "  --sort-code CODE, --account NUMBER  the paying account (without either, the run has no account)\n"
    "  --rti                      the payments offer the host's RTI interface\n"
    "  --layout ledgerway|lintrove  the layout to choose in the options dialog\n"
    "  --debit-date YYYY-MM-DD    the debit date to set in the options dialog (Ledgerway)\n"
    "  --remittance yes|no        remittance advice in the options dialog (Ledgerway)\n"
    "  --output FILE              the payment file to name in the save dialog\n"
    "  --cancel-options           press Cancel in the options dialog\n"
    "  --cancel-save              press Cancel in the save dialog\n"
    "  --redirect yes|no          the answer to the \"Windows Redirect\" notice (default no)\n"
    "  --no-table                 leave out the table of payments\n"
    "Export and import options:\n"
    "  --unattended               answer the module's dialogs from the options (the default)\n"
    "  --interactive              show the dialogs to the user (needs a display)\n"
    "  --type-libraries DIR       the folder of the host's type libraries\n"
    "Generate options:\n"
    "  --invalid SHARE            share of invalid payments: 0 to 1, or a percentage (10%); default 0\n"
    "  --seed N                   the seed; the same seed gives the same file (default 1)\n"
    "  --output FILE              the file to write (default: standard output)\n"
    "  --sort-code CODE, --account NUMBER  the payer fields written (default 40-11-22, 87654321)\n"
    "\n"
    "Exit codes: 0 every payment passed (or the import succeeded), 1 some payments failed their\n"
    "checks, 2 errors.\n"
    "\n"
    "What the module's windows, result codes and messages mean for its users: docs/guide.md.\n";

// A mistake on the command line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Arguments {
    std::string Command;
    std::string Subject;  // the file or the count
    std::map<std::string, std::string> Values;
    std::set<std::string> Flags;

    bool Has(const std::string& name) const { return Values.count(name) || Flags.count(name); }
    std::string Value(const std::string& name, const std::string& otherwise = {}) const
    {
        auto found = Values.find(name);
        return found == Values.end() ? otherwise : found->second;
    }
};

struct KnownOption {
    const char* Name;
    bool TakesValue;
};

const KnownOption kExportOptions[] = {{"sort-code", true},    {"account", true},         {"rti", false},
                                      {"layout", true},       {"debit-date", true},      {"remittance", true},
                                      {"output", true},       {"cancel-options", false}, {"cancel-save", false},
                                      {"redirect", true},     {"no-table", false},       {"unattended", false},
                                      {"interactive", false}, {"type-libraries", true}};
const KnownOption kImportOptions[] = {{"unattended", false}, {"interactive", false}, {"type-libraries", true}};
const KnownOption kGenerateOptions[] = {
    {"invalid", true}, {"seed", true}, {"output", true}, {"sort-code", true}, {"account", true}};

template <size_t N>
Arguments Parse(const std::vector<std::string>& arguments, const KnownOption (&options)[N])
{
    Arguments parsed;
    parsed.Command = arguments[0];
    bool haveSubject = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.compare(0, 2, "--") != 0 || argument.size() == 2) {
            if (haveSubject)
                throw UsageError("one " + std::string(parsed.Command == "generate" ? "count" : "file") + " only: \"" +
                                 argument + "\" is one too many");
            parsed.Subject = argument;
            haveSubject = true;
            continue;
        }
        std::string name = argument.substr(2);
        std::string value;
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const KnownOption* known = nullptr;
        for (const KnownOption& candidate : options) {
            if (name == candidate.Name)
                known = &candidate;
        }
        if (!known)
            throw UsageError("--" + name + " is not an option of " + parsed.Command);
        if (parsed.Has(name))
            throw UsageError("--" + name + " is given twice");
        if (!known->TakesValue) {
            if (inlineValue)
                throw UsageError("--" + name + " takes no value");
            parsed.Flags.insert(name);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw UsageError("--" + name + " needs a value");
            value = arguments[++i];
        }
        parsed.Values[name] = value;
    }
    if (!haveSubject)
        throw UsageError(parsed.Command + " needs " +
                         (parsed.Command == "generate" ? "the number of payments" : std::string("a file")));
    return parsed;
}

bool ParseYesNo(const std::string& text, const std::string& option)
{
    if (text == "yes")
        return true;
    if (text == "no")
        return false;
    throw UsageError("--" + option + " is yes or no, not \"" + text + "\"");
}

SYSTEMTIME ParseDate(const std::string& text)
{
    int year = 0, month = 0, day = 0;
    char extra = 0;
    SYSTEMTIME date{};
    DATE check = 0;
    if (text.size() == 10 && std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &extra) == 3 &&
        year >= 1753 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        date.wYear = static_cast<WORD>(year);
        date.wMonth = static_cast<WORD>(month);
        date.wDay = static_cast<WORD>(day);
        // The round trip drops dates such as 31 April that the conversion would roll over.
        SYSTEMTIME back{};
        if (SystemTimeToVariantTime(&date, &check) && VariantTimeToSystemTime(check, &back) &&
            back.wYear == date.wYear && back.wMonth == date.wMonth && back.wDay == date.wDay)
            return date;
    }
    throw UsageError("--debit-date is a date written YYYY-MM-DD, not \"" + text + "\"");
}

std::wstring FullPath(const std::string& path)
{
    const std::wstring wide = Wide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
    full.resize(length < size ? length : 0);
    return full.empty() ? wide : full;
}

// The path by its short (8.3) name where the file system keeps one; "" when it cannot be had.
std::wstring ShortPath(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string StatusWords(long status)
{
    switch (status) {
    case 0:
        return "0 (written, all passed)";
    case 1:
        return "1 (written, some failed)";
    case 2:
        return "2 (not written)";
    case 3:
        return "3 (nothing written: empty batch or cancelled)";
    default:
        return std::to_string(status) + " (not a status the module gives)";
    }
}

std::string ResultLine(HRESULT result, const std::string& description)
{
    std::string line = "Result: " + HResultText(result);
    if (FAILED(result) && !description.empty())
        line += ": " + description;
    return line;
}

std::wstring TypeLibraryFolder(const Arguments& arguments)
{
    return FindTypeLibraryFolder(arguments.Has("type-libraries") ? FullPath(arguments.Value("type-libraries"))
                                                                 : std::wstring());
}

// Whether the run's dialogs are answered by the program; says so when the user asked otherwise.
bool Unattended(const Arguments& arguments, std::ostream& err)
{
    if (arguments.Has("unattended") && arguments.Has("interactive"))
        throw UsageError("--unattended and --interactive exclude each other");
    if (!arguments.Has("interactive"))
        return true;
    if (HasDisplay())
        return false;
    err << kProgram << ": no display: the dialogs are answered from the options\n";
    return true;
}

// The export the options ask for: the dialogs' answers, the proposed output file, the paying
// account and the batch, read and checked whole before the module sees any of it.
ExportRequest ReadExportRequest(const Arguments& arguments, std::ostream& err)
{
    ExportRequest request;
    DialogAnswers& answers = request.Answers;
    const bool unattended = Unattended(arguments, err);
    request.Unattended = unattended;

    if (arguments.Has("layout")) {
        const std::string layout = arguments.Value("layout");
        if (layout == "ledgerway")
            answers.Layout = Layout::Ledgerway;
        else if (layout == "lintrove")
            answers.Layout = Layout::Lintrove;
        else
            throw UsageError("--layout is ledgerway or lintrove, not \"" + layout + "\"");
    }
    if (arguments.Has("debit-date")) {
        answers.DebitDate = ParseDate(arguments.Value("debit-date"));
        answers.HasDebitDate = true;
    }
    if (arguments.Has("remittance"))
        answers.Remittance = ParseYesNo(arguments.Value("remittance"), "remittance") ? 1 : 0;
    if (arguments.Has("redirect"))
        answers.OpenRedirectFolder = ParseYesNo(arguments.Value("redirect"), "redirect");
    answers.CancelOptions = arguments.Has("cancel-options");
    answers.CancelSave = arguments.Has("cancel-save");
    const bool offersRti = arguments.Has("rti");
    if (offersRti && (arguments.Has("layout") || arguments.Has("debit-date") || arguments.Has("remittance") ||
                      answers.CancelOptions))
        err << kProgram << ": note: payments that offer RTI get no options dialog; its answers are not used\n";
    if (!unattended && (arguments.Has("layout") || arguments.Has("debit-date") || arguments.Has("remittance") ||
                        answers.CancelOptions || answers.CancelSave || arguments.Has("redirect")))
        err << kProgram << ": note: the dialogs are answered by the user; their options are not used\n";

    // The save dialog proposes the output file: the host settings object's defaults are its parts.
    std::wstring outputPath;
    if (arguments.Has("output")) {
        outputPath = FullPath(arguments.Value("output"));
        // The module's save dialog takes a path in any script; only the host's defaults are ANSI.
        answers.OutputPath = outputPath;
        if (outputPath.size() >= MAX_PATH)
            throw UsageError("--output: " + Utf8(outputPath) + " is longer than a Windows path may be (" +
                             std::to_string(MAX_PATH - 1) + " characters)");
        const size_t slash = outputPath.find_last_of(L"\\/");
        const std::wstring folder = slash == std::wstring::npos ? L"." : outputPath.substr(0, slash);
        const std::wstring name = slash == std::wstring::npos ? outputPath : outputPath.substr(slash + 1);
        if (name.empty() || IsFolder(outputPath))
            throw UsageError("--output: " + Utf8(outputPath) + " is a folder, not a file");
        if (!IsFolder(folder.size() == 2 ? folder + L"\\" : folder))
            throw UsageError("--output: the folder " + Utf8(folder) + " does not exist");
        answers.OutputExists = IsFile(outputPath);
        // A folder or name the code page cannot hold is proposed by its short name, or, without
        // one, as the current folder: the save dialog is given the whole path either way.
        std::string ansiFolder, ansiName;
        const std::wstring shownFolder = folder.size() == 2 ? folder + L"\\" : folder;
        if (!WideToAnsi(shownFolder, &ansiFolder) && !WideToAnsi(ShortPath(shownFolder), &ansiFolder))
            WideToAnsi(FullPath("."), &ansiFolder);
        if (!WideToAnsi(name, &ansiName))
            WideToAnsi(ShortPath(outputPath).substr(ShortPath(outputPath).find_last_of(L"\\") + 1), &ansiName);
        if (!ansiFolder.empty())
            request.DefaultDirectory = ansiFolder;
        if (!ansiName.empty())
            request.DefaultFileName = ansiName;
        const size_t dot = name.find_last_of(L'.');
        std::string extension;
        if (dot != std::wstring::npos)
            WideToAnsi(name.substr(dot + 1), &extension);
        request.Extension = extension.size() <= 3 ? extension : std::string();
    } else {
        if (unattended && !answers.CancelSave)
            throw UsageError("export needs --output FILE to answer the save dialog (or --cancel-save)");
        std::string folder;
        if (WideToAnsi(FullPath("."), &folder))
            request.DefaultDirectory = folder;
    }

    if (arguments.Has("sort-code") || arguments.Has("account")) {
        request.HasAccount = true;
        request.SortCode = Wide(arguments.Value("sort-code"));
        request.AccountNumber = Wide(arguments.Value("account"));
    }

    // The whole batch is read and checked before the module sees any of it.
    BatchDefaults defaults;
    defaults.PayerSortCode = request.SortCode;
    defaults.PayerAccountNumber = request.AccountNumber;
    defaults.OffersRti = offersRti;
    request.Payments = ReadPaymentBatch(arguments.Subject, defaults);
    if (request.Payments.size() > 0x7FFFFFFF)
        throw InputError(Located(arguments.Subject, 0, "", "more payments than a batch can count"));

    return request;
}

// How the payments of a run ended, from their result codes.
struct PaymentTally {
    long Passed = 0, Failed = 0, Untouched = 0;
};

PaymentTally TallyPayments(const ExportOutcome& outcome)
{
    PaymentTally tally;
    for (long code : outcome.Codes)
        ++(code < 0 ? tally.Untouched : code == 0 ? tally.Passed : tally.Failed);
    return tally;
}

// "Payments: N, P passed, F failed" and, when some were not reached, how many.
std::string PaymentCounts(const ExportOutcome& outcome, const PaymentTally& tally)
{
    std::string counts = "Payments: " + std::to_string(outcome.Codes.size()) + ", " + std::to_string(tally.Passed) +
                         " passed, " + std::to_string(tally.Failed) + " failed";
    if (tally.Untouched)
        counts += ", " + std::to_string(tally.Untouched) + " not reached";
    return counts;
}

// The run's report: the dialogs, the file, the result, and a line per payment.
void PrintExport(std::ostream& out, const Arguments& arguments, const ExportRequest& request,
                 const ExportOutcome& outcome, const PaymentTally& tally)
{
    const bool unattended = request.Unattended;
    out << "Batch: " << arguments.Subject << ", " << request.Payments.size()
        << (request.Payments.size() == 1 ? " payment" : " payments") << "\n";
    if (unattended) {
        out << "Dialogs:\n";
        if (outcome.Windows.empty())
            out << "  (none)\n";
        for (const SeenWindow& window : outcome.Windows) {
            out << "  \"" << window.Caption << "\"";
            if (!window.Text.empty())
                out << " \"" << window.Text << "\"";
            out << ": " << window.Answer << "\n";
        }
    }
    // Status 2 leaves no file: the module writes the whole batch or nothing.
    const bool written = SUCCEEDED(outcome.Result) && (outcome.Status == 0 || outcome.Status == 1);
    out << "Output file: " << (written && !outcome.ChosenPath.empty() ? outcome.ChosenPath : "none") << "\n";
    if (!outcome.RedirectedTo.empty())
        out << "Redirected to: " << outcome.RedirectedTo << "\n";
    out << ResultLine(outcome.Result, outcome.ErrorDescription) << "\n";
    out << "Status: "
        << (FAILED(outcome.Result) ? std::to_string(outcome.Status) + " (the run stopped with an error)"
                                   : StatusWords(outcome.Status))
        << "\n";

    out << PaymentCounts(outcome, tally) << "\n";

    if (!arguments.Has("no-table") && !request.Payments.empty()) {
        const Table table({"Payment", "Line", "Payee", "Amount", "Code", "Result text"},
                          {true, true, false, true, true, false});
        out << "\n";
        table.Print(out, request.Payments.size(), [&](size_t i, Table::Row& row) {
            const BatchPayment& payment = request.Payments[i];
            const long code = outcome.Codes[i];
            row[0] = std::to_string(i + 1);
            row[1] = std::to_string(payment.Line);
            row[2] = Utf8(payment.Data.PayeeAccountName);
            row[3] = FormatAmount(payment.Data.Amount);
            row[4] = code < 0 ? "-" : std::to_string(code);
            row[5] = code < 0 ? "(not reached)" : outcome.Texts[i].empty() ? "(no text)" : outcome.Texts[i];
        });
    }
}

// The exit code of the run, with a word on the error stream where the run went wrong.
int ExportExitCode(std::ostream& err, const ExportRequest& request, const ExportOutcome& outcome,
                   const PaymentTally& tally)
{
    const long failed = tally.Failed;
    if (outcome.UnexpectedWindows || outcome.Problems) {
        err << kProgram << ": the dialogs did not go as the options said:";
        for (const SeenWindow& window : outcome.Windows) {
            if (window.Trouble)
                err << " \"" << window.Caption << "\" " << window.Answer << ";";
        }
        err << "\n";
        return kExitError;
    }
    if (FAILED(outcome.Result) || outcome.Status == 2 || outcome.Status < 0 || outcome.Status > 3)
        return kExitError;
    if (outcome.Status == 3)
        return request.Payments.empty() ? kExitPassed : kExitError;
    if (outcome.Result == S_OK && outcome.Status == 0 && failed > 0)
        err << kProgram << ": warning: the run reported every payment passed, but " << failed
            << " have failing result codes\n";
    if (outcome.Result == S_FALSE || outcome.Status == 1 || failed > 0)
        return kExitSomeFailed;
    return kExitPassed;
}

int Export(const Arguments& arguments, std::ostream& out, std::ostream& err)
{
    const ExportRequest request = ReadExportRequest(arguments, err);
    HostSession session(TypeLibraryFolder(arguments));
    const ExportOutcome outcome = RunExport(session, request);
    const PaymentTally tally = TallyPayments(outcome);
    PrintExport(out, arguments, request, outcome, tally);
    return ExportExitCode(err, request, outcome, tally);
}

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

    out << "Statement file: " << Utf8(path) << "\n";
    out << "File filter: "
        << (outcome.FilterAnswer             ? "accepts it as \"" + outcome.FilterDescription + "\""
            : outcome.FilterNotAsked.empty() ? std::string("refuses it")
                                             : "not asked: " + outcome.FilterNotAsked)
        << "\n";
    if (unattended) {
        out << "Messages:";
        if (outcome.Messages.empty())
            out << " (none)";
        out << "\n";
        for (const ImportMessage& message : outcome.Messages) {
            out << "  \"" << message.Caption << "\" " << (message.Answered ? "answered OK" : "not answered: cancelled")
                << ":\n";
            std::string text = message.Text;
            for (size_t start = 0; start <= text.size();) {
                const size_t end = text.find('\n', start);
                out << "    " << text.substr(start, end == std::string::npos ? std::string::npos : end - start) << "\n";
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
        }
    }
    out << ResultLine(outcome.Result, outcome.ErrorDescription) << "\n";
    out << "Status: " << outcome.Status << (outcome.Status == 2 ? " (nothing imported)" : "") << "\n";
    out << "Statement: "
        << (outcome.Resets == 0
                ? "untouched"
                : "reset " + std::to_string(outcome.Resets) + (outcome.Resets == 1 ? " time" : " times"))
        << "\n";
    const long transactions = outcome.Statement ? outcome.Statement->KeptCount() : 0;
    out << "Transactions: " << transactions << "\n";
    if (transactions > 0) {
        const Table table({"Seq", "Date", "Amount", "Kind", "Details", "Reference", "Cheque"},
                          {true, false, true, false, false, false, false});
        out << "\n";
        table.Print(out, static_cast<size_t>(transactions), [&](size_t index, Table::Row& row) {
            const standin::TransactionData transaction = outcome.Statement->KeptTransaction(static_cast<long>(index));
            row[0] = transaction.SequenceType == VT_I4 ? std::to_string(transaction.Sequence)
                                                       : "VT " + std::to_string(transaction.SequenceType);
            row[1] = FormatDate(transaction.Date);
            row[2] = FormatReceivedAmount(transaction.Amount);
            row[3] = transaction.Receipt == 1 ? "receipt" : transaction.Receipt == 0 ? "payment" : "-";
            row[4] = Utf8(transaction.Details);
            row[5] = Utf8(transaction.Reference);
            row[6] = transaction.HasChequeNumber ? Utf8(transaction.ChequeNumber) : "";
        });
    }
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
            return Export(Parse(arguments, kExportOptions), out, err);
        if (command == "import")
            return Import(Parse(arguments, kImportOptions), out, err);
        if (command == "generate")
            return Generate(Parse(arguments, kGenerateOptions), out);
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

bool HasDisplay()
{
    USEROBJECTFLAGS flags{};
    if (GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        !(flags.dwFlags & WSF_VISIBLE))
        return false;
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return true;
    // Under Wine: its null graphics driver draws nowhere, and the others need a display server.
    wchar_t driver[64] = {};
    DWORD size = sizeof driver;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Graphics", RRF_RT_REG_SZ, nullptr, driver,
                     &size) == ERROR_SUCCESS &&
        lstrcmpiW(driver, L"null") == 0)
        return false;
    return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 1 ||
           GetEnvironmentVariableW(L"WAYLAND_DISPLAY", nullptr, 0) > 1;
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
