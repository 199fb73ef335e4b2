// The bank's reconciliation service: imports a bank statement file into the host's statement.
#pragma once

#include <string>

#include "core/com_object.h"
#include "TolvarBrenmarkLintrove.h"
#include "core/bank_service_impl.h"

class CBankStatementService : public Implements<IBankServiceImpl<IBankStatementService>, IBankStatementService,
                                                ITolvarBankStatementService, IDispatch, ISupportErrorInfo> {
public:
    // Outcomes of ImportStatement left in Status. FileNotReadable also stands for a damaged file
    // and for a statement that the host would not take whole: in each case nothing was imported.
    enum : long { ImportRan = 0, NoFileChosen = 1, FileNotReadable = 2 };

    CBankStatementService() { DisplayName = Bstr(L"Bank Reconciliation Service"); }

    STDMETHODIMP GetResultText(long code, BSTR* text) override;
    STDMETHODIMP ImportStatement(IUnknown* options, ITolvarBankStatement* statement) override;

private:
    // Chooses, checks and adds. A failure on the way is told to the user and leaves the status that
    // says how far the import came; only memory running out while the user is told is raised.
    void RunImport(ITolvarBankStatement* statement);
};

// Lets the user choose a statement file through the host's file chooser; false when none was
// chosen. The name is the chooser's own, wide: it may hold characters of any script.
bool ChooseStatementFile(std::wstring& fileName);

// The host's file chooser asks this about each candidate: 1, with the file type's description
// written, for a file whose first line names the statement columns; 0 otherwise.
int __cdecl StatementFileFilter(char* description, const char* fileName);

// The description StatementFileFilter writes, terminator included in its size.
extern const char StatementFileDescription[40];
