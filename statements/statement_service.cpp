#include "statements/statement_service.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>

#include "TolvarEBanking.h"
#include "core/bank_identity.h"
#include "statements/transaction_record.h"
#include "support/platform.h"

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
std::wstring ToWide(const char* text, int length, StatementEncoding encoding)
{
    if (length <= 0)
        return std::wstring();
    const bool utf8 = encoding == StatementEncoding::Utf8;
    const int wideLength =
        utf8 ? platform::Utf8ToWide(text, length, nullptr, 0) : platform::AnsiToWide(text, length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    if (wideLength > 0) {
        if (utf8)
            platform::Utf8ToWide(text, length, &wide[0], wideLength);
        else
            platform::AnsiToWide(text, length, &wide[0], wideLength);
    }
    return wide;
}

std::wstring ToWide(const std::string& text, StatementEncoding encoding = StatementEncoding::Ansi)
{
    return ToWide(text.data(), static_cast<int>(text.size()), encoding);
}

Bstr ToBstr(const CString& text, StatementEncoding encoding)
{
    Bstr result;
    if (encoding == StatementEncoding::Ansi) {
        result = Bstr::Attach(text.AllocSysString());
    } else {
        const std::wstring wide = ToWide(text, text.GetLength(), encoding);
        result = Bstr::Attach(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    }
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
void Tell(const std::wstring& message)
{
    OutputDebugStringW(message.c_str());
    MessageBoxW(GetActiveWindow(), message.c_str(), kMessageCaption, MB_ICONERROR | MB_OK);
}

std::wstring RefusalMessage(const CString& fileName, const StatementFileCheck& check)
{
    std::wstring text = L"The statement file cannot be imported:\n" + ToWide(std::string(fileName)) + L"\n\n";
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

// A host call on a transaction that failed, or a transaction the statement did not give.
struct TransactionRefused {
    const wchar_t* Step;
    HRESULT Result;
};

void Check(HRESULT hr, const wchar_t* step)
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

}  // namespace

bool ChooseStatementFile(CString& fileName)
{
    ComPtr<ITolvarFileChooser> chooser = CreateHostObject<ITolvarFileChooser>(CLSID_TolvarFileChooser);
    BankSettingsCall<100> settings;  // the host reads the bank name from 100 bytes
    static_assert(sizeof settings.BankName == 100, "the host reads the bank name from 100 bytes");
    fileName.Empty();

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
    fileName = static_cast<const platform::WideChar*>(chosen);
    return true;
}

int __cdecl StatementFileFilter(char* description, const char* fileName)
{
    // Called by the host's chooser, outside any method frame: nothing may escape.
    try {
        if (!description || !fileName)
            return 0;
        CBBM2BalanceFile reader;
        if (reader.Open(fileName, CBBM2BalanceFile::ReadText) != 1 || reader.HasValidHeader() != 1)
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
        Status = ImportRan;
        try {
            RunImport(statement);
        } catch (...) {
            // The import ends quietly where it stands, its status saying how far it came.
        }
    });
}

void CBankStatementService::RunImport(ITolvarBankStatement* statement)
{
    // Until a file is chosen, and then until its every transaction is in, a failure on the way
    // (a host call that fails, memory running out) leaves the status that says so.
    Status = NoFileChosen;
    CString fileName;
    if (!ChooseStatementFile(fileName))
        return;
    Status = FileNotReadable;

    // Every line is checked before the host's statement is touched; while both passes read the
    // file, nobody may change it.
    CBBM2BalanceFile reader(fileName, CBBM2BalanceFile::ReadText, CBBM2BalanceFile::Sharing::ReadersOnly);
    if (!reader.IsOpen()) {
        Status = FileNotReadable;
        return;
    }
    const StatementFileCheck check = reader.CheckTransactions();
    if (check.Damaged) {
        Status = FileNotReadable;
        Tell(RefusalMessage(fileName, check));
        return;
    }

    statement->Reset();
    statement->put_Balance(0);
    long sequence = 1;
    try {
        AddTransactions(statement, reader, check, sequence);
        Status = ImportRan;
    } catch (const TransactionRefused& refused) {
        const std::wstring description = HostDescription();
        statement->Reset();
        Status = FileNotReadable;
        Tell(L"The accounting program refused transaction " + Number(sequence) + L" of the statement file " +
             ToWide(std::string(fileName)) + L" (line " + Number(reader.LineNumber()) + L") when it was given " +
             refused.Step + L": error " + HexResult(refused.Result) +
             (description.empty() ? L"" : L" (" + description + L")") +
             L".\n\nNothing was imported; the statement was emptied again.");
    } catch (...) {
        statement->Reset();
        Status = FileNotReadable;
        Tell(L"The statement file " + ToWide(std::string(fileName)) +
             L" could not be imported: the import failed at "
             L"transaction " +
             Number(sequence) + L" (line " + Number(reader.LineNumber()) +
             L"), and the system may be short of memory.\n\nNothing was imported; the statement was emptied again.");
    }
}

void CBankStatementService::AddTransactions(ITolvarBankStatement* statement, CBBM2BalanceFile& reader,
                                            const StatementFileCheck& check, long& sequence)
{
    CBMLWTransactionRecord record;
    for (; sequence <= check.Transactions; ++sequence) {
        // The checked file cannot change under us; a read that still fails is an error of its own.
        if (!reader.ReadBalanceRecord(record))
            Raise(E_UNEXPECTED);

        ComPtr<ITolvarBankTransaction> transaction;
        Check(statement->AddTransaction(transaction.Put()), L"a new transaction");
        if (!transaction)
            Check(E_POINTER, L"a new transaction");

        Variant sequenceValue;
        V_VT(&sequenceValue) = VT_I4;
        V_I4(&sequenceValue) = sequence;
        Check(transaction->put_Sequence(&sequenceValue), L"its sequence number");
        Check(transaction->put_Amount(record.GetAmount()), L"its amount");
        Check(transaction->put_Receipt(record.IsNegative() ? 0 : 1), L"its receipt flag");
        Check(transaction->put_Date(record.GetTransDate()), L"its date");

        Bstr details = ToBstr(record.GetDetails(), check.Encoding);
        Check(transaction->put_Details(details.Get()), L"its details");
        Bstr chequeNumber = ToBstr(record.GetChequeNo(), check.Encoding);
        Check(transaction->put_Reference(chequeNumber.Get()), L"its reference");
        if (chequeNumber.Length() > 0)
            Check(transaction->put_ChequeNumber(chequeNumber.Get()), L"its cheque number");
    }
}
