// The sample host's command line: the commands' options, their values checked and read, and
// whether a run's dialogs are answered by the program or by the user.
#pragma once

#include <windows.h>

#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace hostprogram {

// The program's exit codes (host_program.h says when each is given).
enum ExitCode { kExitPassed = 0, kExitSomeFailed = 1, kExitError = 2 };

extern const char kProgram[];
extern const char kUsage[];

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

// The arguments of a command (the first argument), checked against that command's options.
// Throw UsageError.
Arguments ParseExportArguments(const std::vector<std::string>& arguments);
Arguments ParseImportArguments(const std::vector<std::string>& arguments);
Arguments ParseGenerateArguments(const std::vector<std::string>& arguments);

// Option values. Throw UsageError naming the option.
bool ParseYesNo(const std::string& text, const std::string& option);
SYSTEMTIME ParseDate(const std::string& text);

std::wstring FullPath(const std::string& path);
// The path by its short (8.3) name where the file system keeps one; "" when it cannot be had.
std::wstring ShortPath(const std::wstring& path);
bool IsFolder(const std::wstring& path);
bool IsFile(const std::wstring& path);

// The folder of the host's type libraries the options name, or the one found by default.
std::wstring TypeLibraryFolder(const Arguments& arguments);

// Whether the run's dialogs are answered by the program; says so when the user asked otherwise.
bool Unattended(const Arguments& arguments, std::ostream& err);

// Whether someone can see windows here: a visible window station, and under Wine a graphics
// driver other than its null driver with a display to draw on.
bool HasDisplay();

}  // namespace hostprogram
