#include "hostprogram/export_command.h"

#include "hostprogram/batch_csv.h"
#include "hostprogram/csv_reader.h"
#include "hostprogram/host_export.h"
#include "hostprogram/program_text.h"
#include "hostprogram/report.h"

namespace hostprogram {

namespace {

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
    if (arguments.Has("debit-date-answer"))
        answers.TakeOfferedDebitDate = ParseYesNo(arguments.Value("debit-date-answer"), "debit-date-answer");
    if (arguments.Has("today")) {
        request.Today = arguments.Value("today");
        try {
            ParseDate(request.Today);
        } catch (const UsageError&) {
            throw UsageError("--today is a date written YYYY-MM-DD, not \"" + request.Today + "\"");
        }
    }
    if (arguments.Has("remittance"))
        answers.Remittance = ParseYesNo(arguments.Value("remittance"), "remittance") ? 1 : 0;
    if (arguments.Has("redirect"))
        answers.OpenRedirectFolder = ParseYesNo(arguments.Value("redirect"), "redirect");
    answers.CancelOptions = arguments.Has("cancel-options");
    answers.CancelSave = arguments.Has("cancel-save");
    if (arguments.Has("summary")) {
        const std::string summary = arguments.Value("summary");
        if (summary != "save" && summary != "cancel")
            throw UsageError("--summary is save or cancel, not \"" + summary + "\"");
        answers.CancelSummary = summary == "cancel";
    }
    const bool offersRti = arguments.Has("rti");
    if (offersRti && (arguments.Has("layout") || arguments.Has("debit-date") || arguments.Has("remittance") ||
                      answers.CancelOptions))
        err << kProgram << ": note: payments that offer RTI get no options dialog; its answers are not used\n";
    if (!unattended &&
        (arguments.Has("layout") || arguments.Has("debit-date") || arguments.Has("remittance") ||
         answers.CancelOptions || answers.CancelSave || arguments.Has("redirect") || arguments.Has("summary")))
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

}  // namespace

int ExportCommand(const Arguments& arguments, std::ostream& out, std::ostream& err)
{
    const ExportRequest request = ReadExportRequest(arguments, err);
    HostSession session(TypeLibraryFolder(arguments));
    const ExportOutcome outcome = RunExport(session, request);
    const PaymentTally tally = TallyPayments(outcome);
    PrintExport(out, arguments.Subject, !arguments.Has("no-table"), request, outcome, tally);
    return ExportExitCode(err, request, outcome, tally);
}

}  // namespace hostprogram
