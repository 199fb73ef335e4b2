// Puts every window the module can show a user on the screen, one after the other, so that
// scripts/screenshots can take a picture of each; the module is the registered DLL, driven as the
// host product drives it (the stand-in host objects, answered through real window messages).
//     show_module_windows FOLDER STATEMENT.csv
// When a window is drawn, FOLDER\window ("NAME left top right bottom") is written; the window is
// answered as a user would answer it once that file has been removed. STATEMENT.csv is a damaged
// statement file, for the import's refusal. Exit code 0 when every window came and went as planned.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hostprogram/host_session.h"
#include "modal/modal_driver.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"
#include "payments/payment_resources.h"
#include "standin/standin_host.h"

namespace {

const char kInvalidPathCaption[] = "Invalid default path";
const char kChangesCaption[] = "Changes have been made";
const char kRedirectCaption[] = "Windows Redirect";
const char kStatementCaption[] = "Statement Import";
const char kNotWrittenCaption[] = "Payment Export";

// How long the script may take over one picture before the program gives up on it.
constexpr DWORD kPictureTimeout = 60000;

std::string handOver;  // FOLDER\window
std::vector<std::string> problems;

void Problem(const std::string& text)
{
    problems.push_back(text);
    std::fprintf(stderr, "show_module_windows: %s\n", text.c_str());
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The windows keep painting while the program waits: Wine brings a window's drawing to the display
// from its message loop.
void Pump(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

// Hands the window to the script and waits until its picture is taken.
void HandOver(HWND window, const std::string& name)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(700);
    RECT rect{};
    GetWindowRect(window, &rect);
    // Written aside and renamed, so that the script never reads half a line.
    const std::string partial = handOver + ".part";
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        Problem("cannot write " + partial);
        return;
    }
    std::fprintf(file, "%s %ld %ld %ld %ld\n", name.c_str(), rect.left, rect.top, rect.right, rect.bottom);
    std::fclose(file);
    if (!MoveFileExA(partial.c_str(), handOver.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Problem("cannot hand over " + name);
        return;
    }
    const DWORD start = GetTickCount();
    while (Exists(handOver)) {
        if (GetTickCount() - start > kPictureTimeout) {
            DeleteFileA(handOver.c_str());
            Problem("no picture was taken of " + name);
            return;
        }
        Pump(50);
    }
}

modal::Script& Picture(modal::Script& script, const char* name)
{
    return script.Run([name](HWND window, modal::WindowRecord&) { HandOver(window, name); });
}

std::string KnownFolder(int folder)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)))
        throw hostprogram::HostError("a system folder cannot be found");
    return path;
}

// A file that another program has open and shares with nobody, for as long as the holder lives.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD access)
        : handle_(CreateFileA(path.c_str(), access, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            throw hostprogram::HostError("cannot hold " + path + " open");
    }
    ~HeldFile() { CloseHandle(handle_); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE handle_;
};

// The windows came as planned and the run ended with the expected Status.
void CheckRun(const modal::ModalDriver& driver, const char* run, long status, long expected)
{
    if (status != expected)
        Problem(std::string(run) + ": Status " + std::to_string(status) + ", not " + std::to_string(expected));
    if (driver.UnexpectedCount() != 0 || !driver.UnusedScripts().empty())
        Problem(std::string(run) + ": the windows did not come as planned:\n" + driver.Summary());
    for (const modal::WindowRecord& record : driver.Windows()) {
        for (const std::string& problem : record.Problems)
            Problem(std::string(run) + ": " + record.Caption + ": " + problem);
    }
}

standin::PaymentData Payment(const wchar_t* sortCode, const wchar_t* account, const wchar_t* name, double amount,
                             const wchar_t* reference)
{
    standin::PaymentData payment;
    payment.PayerSortCode = L"40-11-22";
    payment.PayerAccountNumber = L"87654321";
    payment.PayerAccountName = L"Harbour Joinery Ltd";
    payment.PayeeSortCode = sortCode;
    payment.PayeeAccountNumber = account;
    payment.PayeeAccountName = name;
    payment.Amount = amount;
    payment.PayeeBacsReference = reference;
    return payment;
}

// The host's defaults for the save dialog: payments.csv in the folder.
void ProposePaymentFile(hostprogram::HostSession& session, const std::string& folder)
{
    standin::Settings& settings = session.Settings();
    settings.DefaultDirectory = folder;
    settings.DefaultFileName = "payments.csv";
    settings.FileExtension = "csv";
}

long ExportStatus(hostprogram::HostSession& session, standin::PaymentBatch& batch)
{
    standin::PaymentContext context(L"40-11-22", L"87654321");
    ComPtr<ITolvarBankPaymentService> service = session.PaymentService();
    const HRESULT result = service->ExportPayments(batch.Get(), context.Get());
    if (FAILED(result))
        Problem("the export failed with " + std::to_string(static_cast<unsigned long>(result)));
    long status = -1;
    service->get_Status(&status);
    return status;
}

// A first use for the paying account: the options dialog offers the Ledgerway layout; the user
// picks a debit date, tries the Lintrove layout, cancels and thinks better of it, and saves in the
// payments folder.
void PaymentRun(hostprogram::HostSession& session)
{
    const std::string folder = "C:\\Payments";
    const std::string path = folder + "\\payments.csv";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(path.c_str());

    ProposePaymentFile(session, folder);
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"31926819", L"Alder Timber Supplies", 1250, L"4471"));
    batch.Add(Payment(L"30-96-26", L"44170621", L"M. Okafor", 86.4, L"2211"));

    // Made on 10 December 2026, so that 14 December is a date the bank can use.
    SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-10");
    SYSTEMTIME debitDate{2026, 12, 1, 14, 0, 0, 0, 0};
    modal::ModalDriver driver;
    modal::Script& options = driver.On(modal::kOptionsCaption);
    options.SetDate(IDC_DEBIT_DATE, debitDate);
    Picture(options, "options-ledgerway");
    options.Click(IDC_LINTROVE_LAYOUT);
    Picture(options, "options-lintrove");
    options.Press(IDCANCEL).Click(IDC_LEDGERWAY_LAYOUT).Press(IDOK);
    Picture(driver.On(kChangesCaption), "changes-question").Press(IDNO);
    Picture(driver.OnNext(), "save-dialog").Press(IDOK);
    driver.On(modal::kSummaryCaption).Press(IDOK);

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "payment run", status, 0);
    if (!Exists(path))
        Problem("payment run: no payment file at " + path);
}

// A protected folder refuses a user without administrator rights to create the payment file: the
// module saves it in the user's VirtualStore and says so. The folder is one that refuses every
// file (scripts/screenshots makes it so).
void RedirectRun(hostprogram::HostSession& session)
{
    const std::string folder = "C:\\Program Files\\Harbour Payments";
    const HANDLE probe = CreateFileA((folder + "\\probe.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const DWORD refused = probe == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    if (refused != ERROR_ACCESS_DENIED) {
        Problem("redirect run: " + folder + " does not refuse new files with access denied");
        return;
    }
    const std::string store = KnownFolder(CSIDL_LOCAL_APPDATA) + "\\virtualstore\\Program Files\\Harbour Payments";
    SHCreateDirectoryExA(nullptr, store.c_str(), nullptr);
    DeleteFileA((store + "\\payments.csv").c_str());

    ProposePaymentFile(session, folder);
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"31926819", L"Alder Timber Supplies", 1250, L"4471"));

    modal::ModalDriver driver;
    driver.On(modal::kOptionsCaption).Press(IDOK);
    driver.OnNext().Press(IDOK);  // the save dialog
    driver.On(modal::kSummaryCaption).Press(IDOK);
    Picture(driver.On(kRedirectCaption), "redirect-notice").Press(IDNO);

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "redirect run", status, 0);
    if (!Exists(store + "\\payments.csv"))
        Problem("redirect run: no payment file in " + store);
}

// Made on Thursday 10 December 2026, the file is to be debited on Christmas Day: the module names
// the day and offers Tuesday 29 December, which the user takes.
void DebitDateRun(hostprogram::HostSession& session)
{
    SetEnvironmentVariableA("BRENMARK_TODAY", "2026-12-10");
    const std::string folder = "C:\\Christmas Payments";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "\\payments.csv").c_str());
    ProposePaymentFile(session, folder);
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"31926819", L"Alder Timber Supplies", 1250, L"4471"));

    const SYSTEMTIME christmas{2026, 12, 5, 25, 0, 0, 0, 0};
    modal::ModalDriver driver;
    driver.On(modal::kOptionsCaption).Click(IDC_LEDGERWAY_LAYOUT).SetDate(IDC_DEBIT_DATE, christmas).Press(IDOK);
    Picture(driver.On(modal::kDebitDateCaption), "debit-date-question").Press(IDYES);
    driver.OnNext().Press(IDOK);
    driver.On(modal::kSummaryCaption).Press(IDOK);

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "debit date run", status, 0);
    SetEnvironmentVariableA("BRENMARK_TODAY", nullptr);
}

// The host's default payment folder is gone: the module says so and proposes its root folder.
// The next batch for the same paying account: one payee's account number changed since the last
// run, a new payee, and a known account under another name. The Payment Summary lists them.
void SummaryRun(hostprogram::HostSession& session)
{
    const std::string folder = "C:\\Payments\\December";
    CreateDirectoryA("C:\\Payments", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "\\payments.csv").c_str());
    ProposePaymentFile(session, folder);
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"55012346", L"Alder Timber Supplies", 980, L"4502"));
    batch.Add(Payment(L"30-96-26", L"44170621", L"M. Okafor", 92.15, L"2230"));
    batch.Add(Payment(L"30-96-26", L"44170621", L"Okafor Consulting", 410, L"2231"));
    batch.Add(Payment(L"60-16-13", L"70872490", L"Brightwater Haulage", 1575.5, L"9001"));

    modal::ModalDriver driver;
    driver.On(modal::kOptionsCaption).Press(IDOK);
    driver.OnNext().Press(IDOK);  // the save dialog
    Picture(driver.On(modal::kSummaryCaption), "payment-summary").Press(IDOK);

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "summary run", status, 0);
}

void MissingFolderRun(hostprogram::HostSession& session)
{
    ProposePaymentFile(session, "C:\\Payments\\Archive 2025");
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"31926819", L"Alder Timber Supplies", 1250, L"4471"));

    modal::ModalDriver driver;
    Picture(driver.On(kInvalidPathCaption), "invalid-default-path").Press(IDOK);
    driver.On(modal::kOptionsCaption).Press(IDCANCEL);
    driver.OnNext().Press(IDCANCEL);

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "missing folder run", status, 3);
}

// The chosen payment file, last week's, is held by another program: the module says where and
// why, and the new file is written nowhere.
void NotWrittenRun(hostprogram::HostSession& session)
{
    const std::string folder = "C:\\Payments\\Held";
    const std::string path = folder + "\\payments.csv";
    CreateDirectoryA("C:\\Payments", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const HeldFile held(path, GENERIC_WRITE);

    ProposePaymentFile(session, folder);
    standin::PaymentBatch batch;
    batch.Add(Payment(L"20-45-77", L"31926819", L"Alder Timber Supplies", 1250, L"4471"));

    modal::ModalDriver driver;
    driver.On(modal::kOptionsCaption).Press(IDOK);
    Picture(driver.On(kNotWrittenCaption), "payment-not-written").Press(IDOK);
    driver.OnNext().Press(IDOK);  // the save dialog
    driver.On(modal::kSummaryCaption).Press(IDOK);
    driver.OnNext().Press(IDYES);  // its question before it replaces the file

    const long status = ExportStatus(session, batch);
    CheckRun(driver, "file not written run", status, 2);
}

// Imports the chosen file, which the module must refuse with its picture taken, the statement not
// touched.
void RefusedImport(hostprogram::HostSession& session, const wchar_t* chosen, const char* picture, const char* run)
{
    session.Chooser().ShowResult = 0;
    session.Chooser().FileName = chosen;
    modal::ModalDriver driver;
    Picture(driver.On(kStatementCaption), picture).Press(IDOK);
    standin::Statement statement;
    ComPtr<ITolvarBankStatementService> service = session.StatementService();
    service->ImportStatement(nullptr, statement.Get());
    long status = -1;
    service->get_Status(&status);
    CheckRun(driver, run, status, 2);
    if (statement.ResetCount() != 0)
        Problem(std::string(run) + ": the statement was reset");
}

// A statement file that another program holds without sharing cannot be read: the module says
// which file and why.
void UnreadableStatementRun(hostprogram::HostSession& session)
{
    CreateDirectoryA("C:\\Statements", nullptr);
    const HeldFile held("C:\\Statements\\march.csv", GENERIC_READ | GENERIC_WRITE);
    RefusedImport(session, L"C:\\Statements\\march.csv", "statement-unreadable", "unreadable statement run");
}

// A damaged statement file is refused whole, with the line and the column.
void StatementRun(hostprogram::HostSession& session, const std::string& damaged)
{
    CreateDirectoryA("C:\\Statements", nullptr);
    if (!CopyFileA(damaged.c_str(), "C:\\Statements\\statement-april.csv", FALSE))
        throw hostprogram::HostError("cannot copy " + damaged);
    RefusedImport(session, L"C:\\Statements\\statement-april.csv", "statement-refused", "statement run");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: show_module_windows FOLDER STATEMENT.csv\n");
        return 2;
    }
    handOver = std::string(argv[1]) + "\\window";
    try {
        hostprogram::HostSession session(hostprogram::FindTypeLibraryFolder(std::wstring()));
        // The account's layout choice from an earlier run would change the first picture.
        DeleteFileA((KnownFolder(CSIDL_COMMON_APPDATA) + "\\TOLVAR\\Tolvar EBanking\\BANKSERV.INI").c_str());
        // Payees remembered from an earlier run would change the summary's picture.
        DeleteFileA((KnownFolder(CSIDL_COMMON_APPDATA) + "\\TOLVAR\\Tolvar EBanking\\PAYEEHISTORY.TXT").c_str());
        PaymentRun(session);
        SummaryRun(session);
        RedirectRun(session);
        DebitDateRun(session);
        MissingFolderRun(session);
        NotWrittenRun(session);
        StatementRun(session, argv[2]);
        UnreadableStatementRun(session);
    } catch (const std::exception& error) {
        Problem(error.what());
    }
    return problems.empty() ? 0 : 1;
}
