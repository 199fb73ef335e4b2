// Helpers for the statement tests: statement files written byte for byte, and the module's
// debugger output read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/debug_output.h"
#include "tests/support/files.h"

// A statement file in the temporary folder holding exactly the given bytes; removed at the end.
class TempStatementFile : public TemporaryFile {
public:
    explicit TempStatementFile(const std::string& contents, const std::string& suffix = ".csv")
        : TemporaryFile(contents, suffix)
    {
    }
};
