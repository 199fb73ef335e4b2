#include "statements/statement_service.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "TolvarEBanking.h"
#include "core/bank_identity.h"
#include "statements/balance_file.h"
#include "statements/transaction_record.h"
#include "support/text_conversion.h"

const char StatementFileDescription[40] = "Statement Transaction file (CSV format)";

static_assert(std::is_same_v<decltype(&StatementFileFilter), TolvarFileFilter>,
              "the filter must have the calling convention the host's chooser calls it with");
// The host's records as the host lays them out: the filter first, then the host's own bytes; 400
// bytes in all in the 32-bit product (the filter member is pointer-sized).
static_assert(offsetof(FileChooserSettings, Filter) == 0, "the filter is the record's first member");
static_assert(offsetof(FileChooserSettings, HostData) == sizeof(void*), "the host's bytes follow the filter");
static_assert(sizeof(void*) != 4 || sizeof(FileChooserSettings) == 400, "400 bytes on 32-bit Windows");
static_assert(sizeof(void*) != 8 || sizeof(FileChooserSettings) == 408, "404 bytes padded to 408 on 64-bit Windows");

namespace {

const wchar_t kMessageCaption[] = L"Statement Import";

// The file's own texts in wide characters, read in the file's encoding.
std::wstring ToWide(std::string_view text, StatementEncoding encoding = StatementEncoding::Ansi)
{
    return encoding == StatementEncoding::Utf8 ? WideFromUtf8(text) : WideFromAnsi(text);
}

// Characters that make a text read differently from what it holds, in the host's statement and
// wherever the host shows it: the control characters (C0, DEL and C1, as Unicode code points, so
// after the file's encoding is read) and the bidirectional embeddings, overrides and isolates.
bool IsUntrustedCharacter(wchar_t character)
{
    const unsigned long code = static_cast<unsigned long>(character);
    return code <= 0x1F || (code >= 0x7F && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// A text of the file as the host gets it: read in the file's encoding, each untrusted character
// one space.
Bstr ToBstr(const CString& text, StatementEncoding encoding)
{
    std::wstring wide = ToWide({text, static_cast<size_t>(text.GetLength())}, encoding);
    for (wchar_t& character : wide) {
        if (IsUntrustedCharacter(character))
            character = L' ';
    }
    Bstr result = Bstr::Attach(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    if (!result.Get())
        Raise(E_OUTOFMEMORY);
    return result;
}

std::wstring Number(long value)
{
    return std::to_wstring(value);
}

std::wstring HexResult(HRESULT hr)
{
    wchar_t text[16];
    swprintf(text, sizeof text / sizeof text[0], L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Shown to the user and written to the debugger output, the same text.
void ShowImportMessage(const std::wstring& message)
{
    OutputDebugStringW(message.c_str());
    MessageBoxW(GetActiveWindow(), message.c_str(), kMessageCaption, MB_ICONERROR | MB_OK);
}

std::wstring RefusalMessage(const std::wstring& fileName, const StatementFileCheck& check)
{
    std::wstring text = L"The statement file cannot be imported:\n" + fileName + L"\n\n";
    if (check.Utf16) {
        return text + L"The file is saved as Unicode (UTF-16) text, which the import does not read. Save it as CSV "
                      L"(comma delimited) or CSV UTF-8 and import it again.\n\nNothing was imported; the statement is "
                      L"unchanged.";
    }
    text += L"Line " + Number(check.Line);
    if (!check.Damage.Column.empty())
        text += L", column " + ToWide(check.Damage.Column);
    text += L": found \"" + ToWide(check.Damage.Found, check.Encoding) + L"\"; expected " +
            ToWide(check.Damage.Expected) + L".\n\nNothing was imported; the statement is unchanged. ";
    if (check.FurtherDamagedLines == 0)
        text += L"No other line is damaged.";
    else if (check.FurtherDamagedLines == 1)
        text += L"1 more line is damaged.";
    else
        text += Number(check.FurtherDamagedLines) + L" more lines are damaged.";
    return text;
}

// The system's own words for an error code, without the line end it ends with.
std::wstring SystemText(unsigned long code)
{
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), 0, text, sizeof text / sizeof text[0], nullptr);
    std::wstring result(text, length < sizeof text / sizeof text[0] ? length : 0);
    while (!result.empty() &&
           (result.back() == L'\n' || result.back() == L'\r' || result.back() == L'.' || result.back() == L' '))
        result.pop_back();
    return result;
}

// Why a file cannot be read, in plain words.
std::wstring ProblemText(const StatementFileError& error)
{
    switch (error.Problem) {
    case StatementFileProblem::NotFound:
        return L"The file is not there: it may have been moved, renamed or deleted, or its folder may not be "
               L"available.";
    case StatementFileProblem::InUse:
        return L"Another program has the file open and lets no other program read it. Close the file in that "
               L"program, then import it again.";
    case StatementFileProblem::NoAccess:
        return L"You do not have permission to read the file.";
    case StatementFileProblem::Other:
        break;
    }
    const std::wstring system = SystemText(error.SystemCode);
    return L"Windows could not read the file" + (system.empty() ? std::wstring() : L": " + system) + L" (error " +
           Number(static_cast<long>(error.SystemCode)) + L").";
}

const wchar_t kStatementUnchanged[] = L"Nothing was imported; the statement is unchanged.";

std::wstring CannotReadMessage(const std::wstring& fileName, const StatementFileError& error)
{
    return L"The statement file cannot be read:\n" + fileName + L"\n\n" + ProblemText(error) + L"\n\n" +
           kStatementUnchanged;
}

std::wstring ShortOfMemoryMessage(const std::wstring& fileName)
{
    return L"The statement file " + fileName + L" could not be imported: the system may be short of memory.\n\n" +
           kStatementUnchanged;
}

// The check found a damaged line, or text the import does not read: the check says which.
struct FileDamaged {};

// The file read differently on the pass that added the transactions than on the check.
struct FileChanged {};

// One import as it goes: what its steps share, and what the message about a failure names.
struct ImportRun {
    enum class Step { Choosing, Checking, Adding };

    explicit ImportRun(ITolvarBankStatement* statement) : Statement(statement) {}

    ITolvarBankStatement* Statement;
    Step At = Step::Choosing;
    std::wstring FileName;
    CBBM2BalanceFile Reader;
    StatementFileCheck Check;
    long Sequence = 1;  // the number of the transaction being added
    long Added = 0;     // transactions the statement gave, and so holds
};

// Empties the statement again after a run that failed half-way, and says what became of it:
// the host may refuse, and then the user must know what it still holds.
std::wstring EmptyAgain(ITolvarBankStatement* statement, long added)
{
    const HRESULT hr = statement->Reset();
    if (SUCCEEDED(hr))
        return L"Nothing was imported; the statement was emptied again.";
    if (added == 0)
        return L"Nothing was imported; no transaction was added to the statement.";
    return L"The statement could not be emptied again (error " + HexResult(hr) + L"): it still holds the " +
           (added == 1 ? std::wstring(L"1 transaction") : Number(added) + L" transactions") +
           L" added from this file. Remove them before importing the file again.";
}

// A host call on a transaction that failed, or a transaction the statement did not give.
struct TransactionRefused {
    const wchar_t* Step;
    HRESULT Result;
};

void RequireHostAccepted(HRESULT hr, const wchar_t* step)
{
    if (FAILED(hr))
        throw TransactionRefused{step, hr};
}

// The host's own words on its last failure, when it gave any.
std::wstring HostDescription()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return std::wstring();
    Bstr description;
    if (FAILED(info->GetDescription(description.Put())) || description.Length() == 0)
        return std::wstring();
    return std::wstring(description.Get(), description.Length());
}

// Every line is checked before the host's statement is touched. Others may write the file
// meanwhile (a spreadsheet holds it so): the adding pass must then see the bytes the check saw.
void CheckFile(ImportRun& run)
{
    run.At = ImportRun::Step::Checking;
    run.Reader.Open(OpenStatementFile(run.FileName.c_str()));
    run.Check = run.Reader.CheckTransactions();
    if (run.Check.Damaged)
        throw FileDamaged();
}

// The record's values to the host's new transaction, in the order the host expects them.
void GiveTransaction(ITolvarBankTransaction* transaction, const CBMLWTransactionRecord& record, long sequence,
                     StatementEncoding encoding)
{
    Variant sequenceValue;
    V_VT(&sequenceValue) = VT_I4;
    V_I4(&sequenceValue) = sequence;
    RequireHostAccepted(transaction->put_Sequence(&sequenceValue), L"its sequence number");
    RequireHostAccepted(transaction->put_Amount(record.GetAmount()), L"its amount");
    RequireHostAccepted(transaction->put_Receipt(record.IsNegative() ? 0 : 1), L"its receipt flag");
    RequireHostAccepted(transaction->put_Date(record.GetTransDate()), L"its date");

    Bstr details = ToBstr(record.GetDetails(), encoding);
    RequireHostAccepted(transaction->put_Details(details.Get()), L"its details");
    Bstr chequeNumber = ToBstr(record.GetChequeNo(), encoding);
    RequireHostAccepted(transaction->put_Reference(chequeNumber.Get()), L"its reference");
    if (chequeNumber.Length() > 0)
        RequireHostAccepted(transaction->put_ChequeNumber(chequeNumber.Get()), L"its cheque number");
}

// Adds the checked file's transactions, and raises when the file turns out to have changed since
// the check.
void AddTransactions(ImportRun& run)
{
    run.At = ImportRun::Step::Adding;
    CBMLWTransactionRecord record;
    for (;; ++run.Sequence) {
        switch (run.Reader.ReadTransaction(record)) {
        case StatementRead::Record:
            if (run.Sequence > run.Check.Transactions)
                throw FileChanged();
            break;
        case StatementRead::End:
            // The last transaction is in; the bytes after it still count.
            if (run.Sequence - 1 != run.Check.Transactions || !run.Reader.SameBytesAsChecked())
                throw FileChanged();
            return;
        case StatementRead::Damaged:
            throw FileChanged();
        }

        ComPtr<ITolvarBankTransaction> transaction;
        RequireHostAccepted(run.Statement->AddTransaction(transaction.Put()), L"a new transaction");
        if (!transaction)
            RequireHostAccepted(E_POINTER, L"a new transaction");
        ++run.Added;
        GiveTransaction(transaction.Get(), record, run.Sequence, run.Check.Encoding);
    }
}

// The messages of a failure while adding: each empties the statement again first and ends saying
// what became of it.
std::wstring RefusedMessage(ImportRun& run, const TransactionRefused& refused)
{
    // The host's words are read first: emptying the statement may replace them.
    const std::wstring description = HostDescription();
    const std::wstring emptied = EmptyAgain(run.Statement, run.Added);
    return L"The accounting program refused transaction " + Number(run.Sequence) + L" of the statement file " +
           run.FileName + L" (line " + Number(run.Reader.LineNumber()) + L") when it was given " + refused.Step +
           L": error " + HexResult(refused.Result) + (description.empty() ? L"" : L" (" + description + L")") +
           L".\n\n" + emptied;
}

std::wstring ChangedMessage(ImportRun& run)
{
    const std::wstring emptied = EmptyAgain(run.Statement, run.Added);
    return L"The statement file " + run.FileName +
           L" changed while it was being imported: another program wrote to it after it had been checked.\n\n" +
           emptied + L" Import the file again once that program has saved it.";
}

std::wstring NotReadToEndMessage(ImportRun& run, const StatementFileError& error)
{
    const std::wstring emptied = EmptyAgain(run.Statement, run.Added);
    return L"The statement file " + run.FileName + L" could not be read to its end (line " +
           Number(run.Reader.LineNumber()) + L"). " + ProblemText(error) + L"\n\n" + emptied;
}

std::wstring FailedAtTransactionMessage(ImportRun& run)
{
    const std::wstring emptied = EmptyAgain(run.Statement, run.Added);
    return L"The statement file " + run.FileName + L" could not be imported: the import failed at transaction " +
           Number(run.Sequence) + L" (line " + Number(run.Reader.LineNumber()) +
           L"), and the system may be short of memory.\n\n" + emptied;
}

// What the user is told about the failure being handled, the one place an import failure is
// turned into words: it raises the failure again to learn its kind. Empty when the import ends
// quietly: before a file is chosen, and on a check that fails for a reason with no words here.
std::wstring ImportFailureMessage(ImportRun& run)
{
    using Step = ImportRun::Step;
    if (run.At == Step::Choosing)
        return std::wstring();
    try {
        throw;
    } catch (const FileDamaged&) {
        return RefusalMessage(run.FileName, run.Check);
    } catch (const TransactionRefused& refused) {
        return RefusedMessage(run, refused);
    } catch (const FileChanged&) {
        return ChangedMessage(run);
    } catch (const StatementFileError& error) {
        return run.At == Step::Checking ? CannotReadMessage(run.FileName, error) : NotReadToEndMessage(run, error);
    } catch (const std::bad_alloc&) {
        return run.At == Step::Checking ? ShortOfMemoryMessage(run.FileName) : FailedAtTransactionMessage(run);
    } catch (...) {
        return run.At == Step::Checking ? std::wstring() : FailedAtTransactionMessage(run);
    }
}

}  // namespace

bool ChooseStatementFile(std::wstring& fileName)
{
    ComPtr<ITolvarFileChooser> chooser = CreateHostObject<ITolvarFileChooser>(CLSID_TolvarFileChooser);
    auto settings = CreateHostSettings<100>();  // the host reads the bank name from 100 bytes
    static_assert(sizeof settings.BankName == 100, "the host reads the bank name from 100 bytes");
    fileName.clear();

    FileChooserSettings chooserSettings = {};
    HostCall(settings.Host,
             [&](ITolvarBankSettings* s) { return s->GetFileChooserSettings(settings.BankName, &chooserSettings); });
    chooserSettings.Filter = reinterpret_cast<LONG_PTR>(&StatementFileFilter);
    HostCall(chooser, [&](ITolvarFileChooser* c) { return c->SetSettings(&chooserSettings); });

    // Neither answer is checked: a chooser that says nothing counts as cancelled.
    long shown = 1;
    chooser->Show(&shown);
    // The chooser keeps the text it hands out: it is copied at once and never freed here.
    LPWSTR chosen = nullptr;
    chooser->get_FileName(&chosen);
    if (shown != 0)
        return false;
    fileName = chosen ? chosen : L"";
    return true;
}

int __cdecl StatementFileFilter(char* description, const char* fileName)
{
    // Called by the host's chooser, outside any method frame: nothing may escape.
    try {
        if (!description || !fileName)
            return 0;
        // A file that cannot be opened or read is no statement file.
        CBBM2BalanceFile reader;
        reader.Open(OpenStatementFile(WideFromAnsi(fileName).c_str()));
        if (!reader.HasValidHeader())
            return 0;
        std::memcpy(description, StatementFileDescription, sizeof StatementFileDescription);
        return 1;
    } catch (...) {
        return 0;
    }
}

STDMETHODIMP CBankStatementService::GetResultText(long, BSTR* text)
{
    // The statement service has no texts of its own: the out value is left as it is.
    return MethodFrame([&] { RequirePointer(text); });
}

STDMETHODIMP CBankStatementService::ImportStatement(IUnknown*, ITolvarBankStatement* statement)
{
    return MethodFrame([&] {
        // Refused before the user is asked for a file that could go nowhere.
        RequirePointer(statement);
        RunImport(statement);
    });
}

void CBankStatementService::RunImport(ITolvarBankStatement* statement)
{
    // Until a file is chosen, and then until its every transaction is in, a failure on the way
    // (a host call that fails, memory running out) leaves the status that says so.
    Status = NoFileChosen;
    ImportRun run(statement);
    try {
        if (!ChooseStatementFile(run.FileName))
            return;
        Status = FileNotReadable;
        CheckFile(run);
        // The statement starts empty; neither answer is checked: a host that refuses still gets the
        // transactions.
        statement->Reset();
        statement->put_Balance(0);
        AddTransactions(run);
        Status = ImportRan;
    } catch (...) {
        // The import ends where it stands, its status saying how far it came.
        const std::wstring message = ImportFailureMessage(run);
        if (!message.empty())
            ShowImportMessage(message);
    }
}
