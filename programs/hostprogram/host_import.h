// One statement import as the host product runs it: the host's file chooser, served to the
// module, chooses the given file; the statement service's ImportStatement fills the host's
// statement; the host reads back what it received.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "hostprogram/host_session.h"
#include "modal/modal_driver.h"

namespace hostprogram {

// The two column-name lines a statement file may start with (letters in any case).
extern const char kStatementColumns[];
extern const char kQuotedStatementColumns[];
// The caption of the module's import messages.
extern const char kImportMessageCaption[];

// Whether the file's first line is a statement column-name line; otherwise why not. Throws
// InputError when the file cannot be read.
bool CheckStatementFile(const std::string& path, std::string* why);

// The module's message, as the user saw it.
struct ImportMessage {
    std::string Caption;
    std::string Text;
    bool Answered = false;  // OK was pressed on it
};

struct ImportOutcome {
    HRESULT Result = E_FAIL;
    std::string ErrorDescription;
    long Status = -1;
    // The host's statement as the module left it (its transactions, kept compactly).
    std::unique_ptr<standin::Statement> Statement;
    long Resets = 0;
    // What the module's file filter, handed to the chooser, says of the file.
    int FilterAnswer = 0;
    std::string FilterDescription;
    std::string FilterNotAsked;           // why the filter could not be asked, when it could not
    std::vector<ImportMessage> Messages;  // unattended runs only
};

// path is the file's full path, as the chooser gives it.
// unattended: the module's messages are answered (OK) and recorded instead of shown.
ImportOutcome RunImport(HostSession& session, const std::wstring& path, bool unattended = true);

}  // namespace hostprogram
