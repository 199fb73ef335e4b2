#include "statements/statement_service.h"

#include <cstring>
#include <type_traits>

#include "TolvarEBanking.h"
#include "objects/bank.h"
#include "statements/balance_file.h"
#include "statements/transaction_record.h"

const char StatementFileDescription[40] = "Statement Transaction file (CSV format)";

static_assert(std::is_same_v<decltype(&StatementFileFilter), TolvarFileFilter>,
              "the filter must have the calling convention the host's chooser calls it with");

namespace {

Bstr ToBstr(const CString& text)
{
    Bstr result = Bstr::Attach(text.AllocSysString());
    if (!result.Get())
        Raise(E_OUTOFMEMORY);
    return result;
}

}  // namespace

bool ChooseStatementFile(CString& fileName)
{
    ComPtr<ITolvarFileChooser> chooser = CreateHostObject<ITolvarFileChooser>(CLSID_TolvarFileChooser);
    ComPtr<ITolvarBankSettings> settings = CreateHostObject<ITolvarBankSettings>(CLSID_TolvarBankSettings);

    char bankName[100];  // the host's fixed record
    FillBankName(bankName);
    fileName.Empty();

    FileChooserSettings chooserSettings = {};
    HostCall(settings, [&](ITolvarBankSettings* s) { return s->GetFileChooserSettings(bankName, &chooserSettings); });
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
            // The import ends quietly where it stands; what was added so far stays in the statement.
        }
    });
}

void CBankStatementService::RunImport(ITolvarBankStatement* statement)
{
    CString fileName;
    if (!ChooseStatementFile(fileName)) {
        Status = NoFileChosen;
        return;
    }

    // The host's statement is emptied only once the new one is known to be readable.
    CBBM2BalanceFile reader(fileName, CBBM2BalanceFile::ReadText);
    if (!reader.IsOpen()) {
        Status = FileNotReadable;
        return;
    }
    statement->Reset();
    statement->put_Balance(0);

    CBMLWTransactionRecord record;
    long sequence = 1;
    while (reader.ReadBalanceRecord(record)) {
        ComPtr<ITolvarBankTransaction> transaction;
        statement->AddTransaction(transaction.Put());
        if (!transaction)
            Raise(E_POINTER);

        Variant sequenceValue;
        V_VT(&sequenceValue) = VT_I4;
        V_I4(&sequenceValue) = sequence++;
        transaction->put_Sequence(&sequenceValue);
        transaction->put_Amount(record.GetAmount());
        transaction->put_Receipt(record.IsNegative() ? 0 : 1);
        transaction->put_Date(record.GetTransDate());

        Bstr details = ToBstr(record.GetDetails());
        transaction->put_Details(details.Get());
        Bstr chequeNumber = ToBstr(record.GetChequeNo());
        transaction->put_Reference(chequeNumber.Get());
        if (chequeNumber.Length() > 0)
            transaction->put_ChequeNumber(chequeNumber.Get());
    }
}
