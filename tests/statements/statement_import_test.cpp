// Statement import runs against the stand-in host: the file choice through the host's chooser, the
// calls on the host's statement and transactions, the outcomes in Status.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "modal/modal_driver.h"
#include "standin/standin_host.h"
#include "statements/statement_service.h"
#include "statements/statement_source.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/com_test.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kPlainNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo";
const char kQuotedNames[] = R"("TransDate","ValueDate","InToday","Amount","Details","TransCode","RFR","ChequeNo")";
const char kBankName[] = "Brenmark Fenlow Online Plus";

// The calls of the log that begin with prefix.
std::vector<std::string> CallsOf(const CallLog& log, const std::string& prefix)
{
    std::vector<std::string> calls;
    for (const std::string& call : log.Calls())
        if (call.compare(0, prefix.size(), prefix) == 0)
            calls.push_back(call);
    return calls;
}

}  // namespace

class StatementImportTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        registration_ = std::make_unique<standin::HostClassRegistration>(&settings_, &chooser_);
        service_ = MakeObject<CBankStatementService>();
    }
    void TearDown() override
    {
        service_.Reset();
        registration_.reset();
        ComTest::TearDown();
    }

    // Chooses the given file in the host's chooser and runs the import.
    HRESULT Import(const std::string& fileName)
    {
        chooser_.FileName = Wide(fileName);
        chooser_.ShowResult = 0;
        return service_->ImportStatement(nullptr, statement_.Get());
    }
    long Status()
    {
        long status = -1;
        EXPECT_EQ(S_OK, service_->get_Status(&status));
        return status;
    }
    std::vector<std::string> StatementCalls() const { return CallsOf(*log_, "Statement."); }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    standin::Statement statement_{log_};
    standin::Settings settings_{log_};
    standin::FileChooser chooser_{log_};
    std::unique_ptr<standin::HostClassRegistration> registration_;
    ComPtr<CBankStatementService> service_;
    // No message of the module's may wait on the screen: one that no test expects is cancelled.
    modal::ModalDriver driver_;
};

TEST_F(StatementImportTest, ThreeTransactionsAreAddedInFileOrder)
{
    TempStatementFile file(std::string(kPlainNames) + "\n" +
                           "2019-03-01,2019-03-02,Y,10.5,\"FIRST\",CR,R1,\n"
                           "2019-03-02,2019-03-03,Y,-20,\"SECOND\",DEB,R2,\n"
                           "2019-03-03,2019-03-04,Y,30,\"THIRD\",CR,R3,\n");
    ASSERT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(0, Status());

    EXPECT_THAT(StatementCalls(), ElementsAre("Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction",
                                              "Statement.AddTransaction", "Statement.AddTransaction"));
    const auto& transactions = statement_.Transactions();
    ASSERT_EQ(3u, transactions.size());
    const wchar_t* details[] = {L"FIRST", L"SECOND", L"THIRD"};
    for (long i = 0; i < 3; ++i) {
        EXPECT_EQ(VT_I4, transactions[i].SequenceType);
        EXPECT_EQ(i + 1, transactions[i].Sequence);
        EXPECT_EQ(details[i], transactions[i].Details);
        EXPECT_EQ(43525 + i, transactions[i].Date);
    }
    EXPECT_EQ(1, statement_.ResetCount());
    EXPECT_EQ(0, statement_.Balance());
}

TEST_F(StatementImportTest, EachTransactionGetsItsValuesInOrder)
{
    TempStatementFile file(std::string(kQuotedNames) + "\n" +
                           R"("2019-03-31","2019-04-01","Y",-12.50,"CARD PAYMENT","DEB","REF1","000123")" + "\n" +
                           R"("2019-04-02","2019-04-02","N",0,"NOTHING","CR","REF2","")" + "\n" +
                           R"("2019-04-03","2019-04-03","N","7.25","QUOTED AMOUNT","CR","REF3",)" + "\n");
    ASSERT_EQ(S_OK, Import(file.Path()));

    EXPECT_THAT(CallsOf(*log_, "Transaction[1]."),
                ElementsAre("Transaction[1].put_Sequence(VT_I4 1)", "Transaction[1].put_Amount(-12.5)",
                            "Transaction[1].put_Receipt(0)", "Transaction[1].put_Date(43555)",
                            "Transaction[1].put_Details(CARD PAYMENT)", "Transaction[1].put_Reference(000123)",
                            "Transaction[1].put_ChequeNumber(000123)"));
    // No cheque number: the reference is still given, empty.
    EXPECT_THAT(CallsOf(*log_, "Transaction[2]."),
                ElementsAre("Transaction[2].put_Sequence(VT_I4 2)", "Transaction[2].put_Amount(0)",
                            "Transaction[2].put_Receipt(1)", "Transaction[2].put_Date(43557)",
                            "Transaction[2].put_Details(NOTHING)", "Transaction[2].put_Reference()"));
    EXPECT_THAT(CallsOf(*log_, "Transaction[3]."),
                ElementsAre("Transaction[3].put_Sequence(VT_I4 3)", "Transaction[3].put_Amount(7.25)",
                            "Transaction[3].put_Receipt(1)", "Transaction[3].put_Date(43558)",
                            "Transaction[3].put_Details(QUOTED AMOUNT)", "Transaction[3].put_Reference()"));

    const auto& transactions = statement_.Transactions();
    ASSERT_EQ(3u, transactions.size());
    EXPECT_EQ(-12.5, transactions[0].Amount);
    EXPECT_EQ(0, transactions[0].Receipt);
    EXPECT_EQ(L"000123", transactions[0].Reference);
    EXPECT_TRUE(transactions[0].HasChequeNumber);
    EXPECT_EQ(L"000123", transactions[0].ChequeNumber);
    EXPECT_EQ(1, transactions[1].Receipt);
    EXPECT_EQ(L"", transactions[1].Reference);
    EXPECT_FALSE(transactions[1].HasChequeNumber);
    EXPECT_EQ(7.25, transactions[2].Amount);
}

TEST_F(StatementImportTest, TextsReachTheHostInTheirOwnCharacters)
{
    // "Café £5" in the Western European code page.
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,5,\"Caf\xE9 \xA3"
                                                      "5\",CR,R,\xA3"
                                                      "1\n");
    if (GetACP() != 1252)
        GTEST_SKIP() << "needs the Western European code page";
    ASSERT_EQ(S_OK, Import(file.Path()));
    ASSERT_EQ(1u, statement_.Transactions().size());
    EXPECT_EQ(L"Caf\u00e9 \u00a35", statement_.Transactions()[0].Details);
    EXPECT_EQ(L"\u00a31", statement_.Transactions()[0].ChequeNumber);
}

TEST_F(StatementImportTest, CancelledChoiceLeavesTheStatementAlone)
{
    ASSERT_EQ(S_OK, service_->put_Status(7));
    chooser_.ShowResult = 1;
    chooser_.FileName = L"C:\\ignored.csv";
    EXPECT_EQ(S_OK, service_->ImportStatement(nullptr, statement_.Get()));
    EXPECT_EQ(1, Status());
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_EQ(0, statement_.ResetCount());

    // The next run, with a file chosen, starts over at 0.
    TempStatementFile file(std::string(kPlainNames) + "\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(0, Status());
    EXPECT_THAT(StatementCalls(), ElementsAre("Statement.Reset", "Statement.put_Balance(0)"));
}

TEST_F(StatementImportTest, TheChooserIsPreparedThroughTheHostSettings)
{
    TempStatementFile file(std::string(kPlainNames) + "\n");
    ASSERT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(1, registration_->SettingsCreations());
    EXPECT_EQ(1, registration_->ChooserCreations());

    std::vector<unsigned char> expectedName(100, 0);
    std::memcpy(expectedName.data(), kBankName, sizeof kBankName - 1);
    EXPECT_EQ(expectedName, settings_.LastBankName);
    EXPECT_EQ(&StatementFileFilter, chooser_.Filter());

    // The settings come first, the choice last; the statement only after it.
    std::vector<std::string> calls = CallsOf(*log_, "Settings.");
    std::vector<std::string> chooserCalls = CallsOf(*log_, "Chooser.");
    calls.insert(calls.end(), chooserCalls.begin(), chooserCalls.end());
    EXPECT_THAT(calls, ElementsAre(std::string("Settings.GetFileChooserSettings(") + kBankName + ")",
                                   "Chooser.SetSettings", "Chooser.Show", "Chooser.get_FileName"));
    EXPECT_EQ("Statement.Reset", log_->Calls()[4]);
}

TEST_F(StatementImportTest, FailingSettingsEndTheRunQuietly)
{
    ASSERT_EQ(S_OK, service_->put_Status(7));
    settings_.Self().FailOn("GetFileChooserSettings", {E_FAIL, L"settings are broken"});
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(1, Status());  // no file was chosen; not "the import ran"
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_THAT(CallsOf(*log_, "Chooser."), IsEmpty());
    EXPECT_FALSE(TakeHasErrorInfo());
}

TEST_F(StatementImportTest, FailingChooserSettingsEndTheRunQuietly)
{
    ASSERT_EQ(S_OK, service_->put_Status(7));
    chooser_.Self().FailOn("SetSettings", {E_ACCESSDENIED, L""});
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(1, Status());  // no file was chosen; not "the import ran"
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_THAT(CallsOf(*log_, "Chooser.Show"), IsEmpty());
}

TEST_F(StatementImportTest, MissingHostClassesEndTheRunQuietly)
{
    registration_ = std::make_unique<standin::HostClassRegistration>(&settings_, nullptr);
    EXPECT_EQ(S_OK, service_->ImportStatement(nullptr, statement_.Get()));
    EXPECT_EQ(1, Status());  // no file was chosen; not "the import ran"
    EXPECT_THAT(StatementCalls(), IsEmpty());

    registration_ = std::make_unique<standin::HostClassRegistration>(nullptr, &chooser_);
    EXPECT_EQ(S_OK, service_->ImportStatement(nullptr, statement_.Get()));
    EXPECT_EQ(1, Status());  // no file was chosen; not "the import ran"
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_THAT(CallsOf(*log_, "Chooser."), IsEmpty());
}

TEST_F(StatementImportTest, VanishedFileLeavesTheStatementAloneAndIsNamed)
{
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    file.Remove();
    driver_.On("Statement Import").Press(IDOK);
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(2, Status());
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_EQ(0, statement_.ResetCount());
    EXPECT_FALSE(TakeHasErrorInfo());
    ASSERT_EQ(1u, driver_.Windows().size()) << driver_.Summary();
    EXPECT_EQ("The statement file cannot be read:\n" + file.Path() +
                  "\n\nThe file is not there: it may have been moved, renamed or deleted, or its folder may not be "
                  "available.\n\nNothing was imported; the statement is unchanged.",
              driver_.Windows()[0].Text);
    EXPECT_EQ(0, driver_.UnexpectedCount());
}

TEST_F(StatementImportTest, BlankFirstTransactionLineIsPassedOver)
{
    TempStatementFile file(std::string(kPlainNames) + "\n\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(0, Status());
    EXPECT_THAT(StatementCalls(),
                ElementsAre("Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction"));
    EXPECT_EQ(1, statement_.Transactions().at(0).Sequence);
    EXPECT_TRUE(driver_.Windows().empty()) << driver_.Summary();
}

TEST_F(StatementImportTest, FileStaysOpenToReadersAndWritersWhileItIsRead)
{
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    // The host statement's first call comes while the module holds the file.
    DWORD writeOpenError = 1, readOpenError = 1;
    statement_.Self().OnCall("Reset", [&] {
        if (statement_.ResetCount() > 0)
            return;
        HANDLE writer =
            CreateFileA(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        writeOpenError = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        HANDLE reader = CreateFileA(file.Path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        readOpenError = reader == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
    });
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(0u, writeOpenError);
    EXPECT_EQ(0u, readOpenError);
    EXPECT_EQ(0, Status());
    EXPECT_EQ(1, statement_.TransactionCount());
}

TEST_F(StatementImportTest, LongLineDoesNotDropTheTransactionsAfterIt)
{
    const std::string details(1500, 'L');
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-01,2019-03-01,Y,1,\"" + details +
                           "\",C,R,1\n2019-03-02,2019-03-02,Y,2,SHORT,C,R,2\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    const auto& transactions = statement_.Transactions();
    ASSERT_EQ(2u, transactions.size());
    EXPECT_EQ(Wide(details), transactions[0].Details);
    EXPECT_EQ(L"SHORT", transactions[1].Details);
    EXPECT_EQ(2, transactions[1].Sequence);
}

TEST_F(StatementImportTest, FailingResetOrBalanceDoesNotStopTheImport)
{
    statement_.Self().FailOn("Reset", {E_FAIL, L"cannot reset"});
    statement_.Self().FailOn("put_Balance", {E_FAIL, L""});
    TempStatementFile file(std::string(kPlainNames) +
                           "\n2019-03-01,2019-03-01,Y,1,ONE,C,R,1\n2019-03-02,2019-03-02,Y,2,TWO,C,R,2\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(0, Status());
    ASSERT_EQ(2, statement_.TransactionCount());
    EXPECT_EQ(L"1", statement_.Transactions()[0].ChequeNumber);
    EXPECT_EQ(L"TWO", statement_.Transactions()[1].Details);
    EXPECT_TRUE(driver_.Windows().empty()) << driver_.Summary();
}

TEST_F(StatementImportTest, StatementGivingNoTransactionIsEmptiedAgain)
{
    statement_.Self().FailOn("AddTransaction", {E_OUTOFMEMORY, L""});
    driver_.On("Statement Import").Press(IDOK);
    TempStatementFile file(std::string(kPlainNames) +
                           "\n2019-03-01,2019-03-01,Y,1,ONE,C,R,1\n2019-03-02,2019-03-02,Y,2,TWO,C,R,2\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(2, Status());
    EXPECT_THAT(StatementCalls(), ElementsAre("Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction",
                                              "Statement.Reset"));
    EXPECT_FALSE(TakeHasErrorInfo());
    ASSERT_EQ(1u, driver_.Windows().size()) << driver_.Summary();
    EXPECT_EQ("The accounting program refused transaction 1 of the statement file " + file.Path() +
                  " (line 2) when it was given a new transaction: error 0x8007000E.\n\nNothing was imported; the "
                  "statement was emptied again.",
              driver_.Windows()[0].Text);
    EXPECT_EQ(0, driver_.UnexpectedCount());
}

TEST_F(StatementImportTest, RefusalSaysWhatBecameOfTheStatementWhenItCannotBeEmptiedAgain)
{
    // The first Reset goes through; the one after the refusal does not.
    statement_.Transaction(2).FailOn("put_Details", {E_FAIL, L"details refused"});
    bool firstReset = true;
    statement_.Self().OnCall("Reset", [&] {
        if (!firstReset)
            statement_.Self().FailOn("Reset", {E_ACCESSDENIED, L""});
        firstReset = false;
    });
    driver_.On("Statement Import").Press(IDOK);
    TempStatementFile file(std::string(kPlainNames) +
                           "\n2019-03-01,2019-03-01,Y,1,ONE,C,R,1\n2019-03-02,2019-03-02,Y,2,TWO,C,R,2\n");
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(2, Status());
    ASSERT_EQ(1u, driver_.Windows().size()) << driver_.Summary();
    EXPECT_THAT(driver_.Windows()[0].Text,
                ::testing::EndsWith("The statement could not be emptied again (error 0x80070005): it still holds the "
                                    "2 transactions added from this file. Remove them before importing the file "
                                    "again."));
}

// Failures that are no refusal by the host: each is told by the step it stopped, and only a
// failure while adding empties the statement again. The stand-in raises them from inside its own
// calls, where the module's code would meet them (memory running out while a transaction is given,
// the file failing under the adding pass).
TEST_F(StatementImportTest, FailuresThatAreNoRefusalAreToldByTheStepTheyStopped)
{
    TempStatementFile file(std::string(kPlainNames) +
                           "\n2019-03-01,2019-03-01,Y,1,ONE,C,R,1\n2019-03-02,2019-03-02,Y,2,TWO,C,R,2\n");
    const std::string emptied = "\n\nNothing was imported; the statement was emptied again.";
    struct Case {
        const char* What;
        std::function<void()> Raise;
        std::string Message;
    };
    const Case cases[] = {
        {"memory runs out", [] { throw std::bad_alloc(); },
         "The statement file " + file.Path() +
             " could not be imported: the import failed at transaction 2 (line 3), and the system may be short of "
             "memory." +
             emptied},
        {"the file fails",
         [] {
             throw StatementFileError{StatementFileProblem::InUse, ERROR_SHARING_VIOLATION};
         },
         "The statement file " + file.Path() +
             " could not be read to its end (line 3). Another program has the file open and lets no other program "
             "read it. Close the file in that program, then import it again." +
             emptied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        log_->Clear();
        const size_t windowsBefore = driver_.Windows().size();
        statement_.Transaction(2).OnCall("put_Details", c.Raise);
        driver_.On("Statement Import").Press(IDOK);
        EXPECT_EQ(S_OK, Import(file.Path()));
        EXPECT_EQ(2, Status());
        EXPECT_EQ(0, statement_.TransactionCount());
        EXPECT_EQ("Statement.Reset", StatementCalls().back());
        ASSERT_EQ(windowsBefore + 1, driver_.Windows().size()) << driver_.Summary();
        EXPECT_EQ(c.Message, driver_.Windows().back().Text);
    }
    statement_.Transaction(2).OnCall("put_Details", [] {});

    // Memory running out before a file is chosen ends the run quietly.
    log_->Clear();
    const size_t windowsBefore = driver_.Windows().size();
    chooser_.Self().OnCall("Show", [] { throw std::bad_alloc(); });
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(1, Status());
    EXPECT_THAT(StatementCalls(), IsEmpty());
    EXPECT_EQ(windowsBefore, driver_.Windows().size()) << driver_.Summary();
    EXPECT_EQ(0, driver_.UnexpectedCount());
}

TEST_F(StatementImportTest, RefusalGoesToTheDebuggerOutputToo)
{
    driver_.On("Statement Import").Press(IDOK);
    TempStatementFile file(std::string(kPlainNames) + "\n2019-03-01,2019-03-01,Y,12.50CR,ONE,C,R,1\n");
    DebugOutputCapture output;
    EXPECT_EQ(S_OK, Import(file.Path()));
    EXPECT_EQ(2, Status());
    ASSERT_EQ(1u, driver_.Windows().size()) << driver_.Summary();
    const std::string message = driver_.Windows()[0].Text;
    EXPECT_THAT(message, ::testing::HasSubstr("Line 2, column Amount: found \"12.50CR\""));
    bool found = false;
    for (const std::string& text : output.Texts())
        found = found || text == message;
    EXPECT_TRUE(found) << "the debugger output lacks the message";
    EXPECT_THAT(StatementCalls(), IsEmpty());
}

TEST_F(StatementImportTest, NullStatementIsRefusedBeforeTheChoice)
{
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), service_->ImportStatement(nullptr, nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
    EXPECT_EQ(0, registration_->ChooserCreations());
    EXPECT_THAT(log_->Calls(), IsEmpty());
}

TEST_F(StatementImportTest, FilterRecognisesStatementFiles)
{
    TempStatementFile file(std::string(kQuotedNames) + "\n");
    ASSERT_EQ(S_OK, Import(file.Path()));
    ASSERT_EQ(&StatementFileFilter, chooser_.Filter());

    TempStatementFile small(
        "transdate,valuedate,intoday,amount,details,transcode,rfr,chequeno\n2019-03-31,2019-04-01,Y,5,D,C,R,N\n");
    TempStatementFile ninthColumn(std::string(kPlainNames) + ",Extra\n");
    TempStatementFile empty("");
    TempStatementFile missing("");
    missing.Remove();

    std::string description;
    EXPECT_EQ(1, chooser_.AskFilter(small.Path(), &description));
    EXPECT_EQ("Statement Transaction file (CSV format)", description);
    for (const TempStatementFile* rejected : {&ninthColumn, &empty, &missing}) {
        EXPECT_EQ(0, chooser_.AskFilter(rejected->Path(), &description)) << rejected->Path();
        EXPECT_EQ("", description);
    }
}

TEST_F(StatementImportTest, FilterWritesExactlyTheDescription)
{
    TempStatementFile file(std::string(kPlainNames) + "\n");
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(1, StatementFileFilter(buffer, file.Path().c_str()));
    EXPECT_STREQ("Statement Transaction file (CSV format)", buffer);
    EXPECT_EQ(39u, std::strlen(buffer));
    for (size_t i = 40; i < sizeof buffer; ++i)
        EXPECT_EQ('x', buffer[i]) << i;

    std::memset(buffer, 'x', sizeof buffer);
    TempStatementFile other("not,a,statement\n");
    EXPECT_EQ(0, StatementFileFilter(buffer, other.Path().c_str()));
    EXPECT_EQ(0, StatementFileFilter(buffer, nullptr));
    EXPECT_EQ(0, StatementFileFilter(nullptr, file.Path().c_str()));
    for (char c : buffer)
        ASSERT_EQ('x', c);
}

TEST_F(StatementImportTest, GetResultText)
{
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), service_->GetResultText(3, nullptr));
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());

    BSTR text = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(S_OK, service_->GetResultText(3, &text));
    EXPECT_EQ(reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234)), text);
}
