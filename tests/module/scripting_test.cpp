// Real scripting clients against the registered module: late binding through IDispatch, walking
// the services (VBScript's For Each, JScript's Enumerator), and the module's error number and
// description as each engine shows them.
#include <gtest/gtest.h>

#include "tests/support/com_test.h"
#include "tests/support/process.h"

class ScriptingTest : public ComTest {
protected:
    // The script's printed lines, without carriage returns.
    std::string RunScript(const wchar_t* script)
    {
        ProcessResult run = RunProcess(L"cscript.exe //nologo \"" + SourcePath(script) + L"\"");
        std::string output;
        for (char c : run.Output) {
            if (c != '\r')
                output += c;
        }
        EXPECT_EQ(0u, run.ExitCode) << output;
        return output;
    }
};

TEST_F(ScriptingTest, VBScriptWalksTheBank)
{
    ASSERT_EQ(0u, RegisterBuiltModule());
    const std::string output = RunScript(L"tests/scripts/bank.vbs");
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

// JScript asks for _NewEnum as a method call; the module answers it as the property get.
TEST_F(ScriptingTest, JScriptEnumeratesTheServices)
{
    ASSERT_EQ(0u, RegisterBuiltModule());
    EXPECT_EQ("Name=Brenmark Fenlow Online Plus\n"
              "Count=2\n"
              "Service=Bank Payment Service Status=0\n"
              "Service=Bank Reconciliation Service Status=0\n"
              "ByName=Bank Reconciliation Service\n"
              "ByIndex=Bank Payment Service\n"
              "BadIndex=800afffc Invalid argument\n"
              "End\n",
              RunScript(L"tests/scripts/bank.js"));
}
