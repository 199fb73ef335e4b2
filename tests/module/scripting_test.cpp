// A real scripting client against the registered module: late binding through IDispatch, For Each
// over the services, and the module's error number and description in Err.
#include <gtest/gtest.h>

#include "tests/support/com_test.h"
#include "tests/support/process.h"

class ScriptingTest : public ComTest {};

TEST_F(ScriptingTest, VBScriptWalksTheBank)
{
    ASSERT_EQ(0u, RegisterBuiltModule());
    ProcessResult run = RunProcess(L"cscript.exe //nologo \"" + SourcePath(L"tests/scripts/bank.vbs") + L"\"");
    std::string output;
    for (char c : run.Output) {
        if (c != '\r')
            output += c;
    }
    EXPECT_EQ(0u, run.ExitCode) << output;
    EXPECT_EQ("Name=Brenmark Fenlow Online Plus\n"
              "Version=1\n"
              "Status=0\n"
              "Count=2\n"
              "Service=Bank Payment Service Status=0\n"
              "Service=Bank Reconciliation Service Status=0\n"
              "ByName=Bank Reconciliation Service\n"
              "ByIndex=Bank Payment Service\n"
              // VBScript shows a control-facility code 0x800AFFFC as its low word.
              "BadIndex=FFFC Invalid argument\n"
              "BadName=FFFC Invalid argument\n",
              output);
}
