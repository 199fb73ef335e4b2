#include "hostprogram/command_line.h"

#include <cstdio>

#include "hostprogram/host_session.h"
#include "hostprogram/program_text.h"

namespace hostprogram {

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
    "  --debit-date-answer yes|no  the answer when the module asks \"Debit Date\" about a date the bank\n"
    "                             cannot use: yes takes the date it offers, no keeps the date (default no)\n"
    "  --today YYYY-MM-DD         the day the module takes for today (its opening debit date follows)\n"
    "  --remittance yes|no        remittance advice in the options dialog (Ledgerway)\n"
    "  --output FILE              the payment file to name in the save dialog\n"
    "  --cancel-options           press Cancel in the options dialog\n"
    "  --cancel-save              press Cancel in the save dialog\n"
    "  --redirect yes|no          the answer to the \"Windows Redirect\" notice (default no)\n"
    "  --summary save|cancel      the answer to the \"Payment Summary\" (default save); its text is printed\n"
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

namespace {

struct KnownOption {
    const char* Name;
    bool TakesValue;
};

const KnownOption kExportOptions[] = {{"sort-code", true},
                                      {"account", true},
                                      {"rti", false},
                                      {"layout", true},
                                      {"debit-date", true},
                                      {"remittance", true},
                                      {"debit-date-answer", true},
                                      {"today", true},
                                      {"output", true},
                                      {"cancel-options", false},
                                      {"cancel-save", false},
                                      {"redirect", true},
                                      {"summary", true},
                                      {"no-table", false},
                                      {"unattended", false},
                                      {"interactive", false},
                                      {"type-libraries", true}};
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

}  // namespace

Arguments ParseExportArguments(const std::vector<std::string>& arguments)
{
    return Parse(arguments, kExportOptions);
}

Arguments ParseImportArguments(const std::vector<std::string>& arguments)
{
    return Parse(arguments, kImportOptions);
}

Arguments ParseGenerateArguments(const std::vector<std::string>& arguments)
{
    return Parse(arguments, kGenerateOptions);
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

std::wstring TypeLibraryFolder(const Arguments& arguments)
{
    return FindTypeLibraryFolder(arguments.Has("type-libraries") ? FullPath(arguments.Value("type-libraries"))
                                                                 : std::wstring());
}

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

}  // namespace hostprogram
