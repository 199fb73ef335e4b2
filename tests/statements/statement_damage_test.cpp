// Statement files through the registered module, as the host meets them: a damaged file is refused
// whole with one message naming the line, the statement untouched; blank lines and empty rows are
// passed over; UK dates, signs, blanks and the file's encoding are read right; a statement that the
// host will not take whole is emptied again.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <vector>

#include "TolvarBankReconciliation.h"
#include "TolvarEBanking.h"
#include "modal/modal_driver.h"
#include "standin/standin_host.h"
#include "tests/statements/statement_test_support.h"
#include "support/text_conversion.h"
#include "tests/support/com_test.h"
#include "tests/support/process.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const char kNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo";
const char kCaption[] = "Statement Import";

// A good transaction line whose details name it.
std::string Line(const std::string& details, const std::string& amount = "1.00")
{
    return "2019-03-31,2019-04-01,Y," + amount + "," + details + ",DEB,REF,";
}

}  // namespace

class StatementDamageTest : public ComTest {
protected:
    static void SetUpTestSuite() { registered_ = RegisterBuiltModule() == 0; }

    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_TRUE(registered_) << "regsvr32 could not register the built module";
        registration_ = std::make_unique<standin::HostClassRegistration>(&settings_, &chooser_);

        CLSID bankClass{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"TolvarBrenmarkLintrove.Bank", &bankClass));
        ComPtr<ITolvarBank> bank;
        ASSERT_EQ(S_OK, CoCreateInstance(bankClass, nullptr, CLSCTX_INPROC_SERVER, IID_ITolvarBank, bank.PutVoid()));
        ComPtr<ITolvarBankServices> services;
        ASSERT_EQ(S_OK, bank->get_Services(services.Put()));
        Variant name;
        V_VT(&name) = VT_BSTR;
        V_BSTR(&name) = SysAllocString(L"Bank Reconciliation Service");
        ComPtr<ITolvarBankService> service;
        ASSERT_EQ(S_OK, services->Item(name.Get(), service.Put()));
        service_ = service.As<ITolvarBankStatementService>();
        ASSERT_TRUE(service_);
    }
    void TearDown() override
    {
        service_.Reset();
        registration_.reset();
        ComTest::TearDown();
    }

    // Imports the file with a driver that presses OK on the module's message; gives the messages.
    std::vector<std::string> Import(const std::string& contents, standin::Statement& statement,
                                    HRESULT* result = nullptr)
    {
        TempStatementFile file(contents);
        return ImportPath(file.Path(), statement, result);
    }
    std::vector<std::string> Import(const std::string& contents) { return Import(contents, statement_); }

    std::vector<std::string> ImportPath(const std::string& path, standin::Statement& statement,
                                        HRESULT* result = nullptr)
    {
        lastPath_ = path;
        chooser_.FileName = Wide(path);
        chooser_.ShowResult = 0;
        modal::ModalDriver driver;
        driver.On(kCaption).Press(IDOK);
        const HRESULT hr = service_->ImportStatement(nullptr, statement.Get());
        if (result)
            *result = hr;
        else
            EXPECT_EQ(S_OK, hr);
        std::vector<std::string> texts;
        for (const modal::WindowRecord& window : driver.Windows()) {
            EXPECT_EQ(kCaption, window.Caption) << driver.Summary();
            EXPECT_TRUE(window.Scripted && window.Closed) << driver.Summary();
            EXPECT_EQ(1, window.Icons) << "the message shows the error icon";
            texts.push_back(window.Text);
        }
        return texts;
    }

    long Status()
    {
        long status = -1;
        EXPECT_EQ(S_OK, service_->get_Status(&status));
        return status;
    }

    // The file is refused: one message naming the file, the line and the text found, Status 2 and
    // not one call on the statement.
    void ExpectRefused(const std::string& contents, long line, const std::string& found,
                       const std::string& column = std::string(), const char* file = __builtin_FILE(),
                       int callerLine = __builtin_LINE())
    {
        ::testing::ScopedTrace caller(file, callerLine, "called from here");
        SCOPED_TRACE(contents.substr(0, 200));
        log_->Clear();
        const std::vector<std::string> messages = Import(contents);
        ASSERT_EQ(1u, messages.size());
        const std::string& message = messages[0];
        EXPECT_THAT(message, HasSubstr(lastPath_));
        EXPECT_THAT(message, HasSubstr("Line " + std::to_string(line) + (column.empty() ? ":" : ", column " + column)));
        EXPECT_THAT(message, HasSubstr("found \"" + found + "\""));
        EXPECT_THAT(message, HasSubstr("Nothing was imported"));
        EXPECT_EQ(2, Status());
        EXPECT_THAT(log_->Calls(), ::testing::Not(::testing::Contains(::testing::StartsWith("Statement."))));
        EXPECT_EQ(0, statement_.ResetCount());
    }

    // Details of the statement's transactions, as UTF-8.
    std::vector<std::string> Details(const standin::Statement& statement) const
    {
        std::vector<std::string> details;
        for (const standin::TransactionData& transaction : statement.Transactions())
            details.push_back(Utf8FromWide(transaction.Details));
        return details;
    }

    static bool registered_;
    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    standin::Statement statement_{log_};
    standin::Settings settings_{log_};
    standin::FileChooser chooser_{log_};
    std::unique_ptr<standin::HostClassRegistration> registration_;
    ComPtr<ITolvarBankStatementService> service_;
    std::string lastPath_;
};

bool StatementDamageTest::registered_ = false;

TEST_F(StatementDamageTest, BlankLinesAndEmptyRowsArePassedOverWhereverTheyStand)
{
    const std::string contents = std::string(kNames) + "\n\n" + Line("ONE") + "\n   \n\t \n" + Line("TWO") +
                                 "\r\n,,,,,,,\n" + ",,,,,,,,\n" + Line("THREE") + ",\n\n";
    EXPECT_THAT(Import(contents), IsEmpty());
    EXPECT_EQ(0, Status());
    EXPECT_THAT(Details(statement_), ElementsAre("ONE", "TWO", "THREE"));
    for (long i = 0; i < 3; ++i)
        EXPECT_EQ(i + 1, statement_.Transactions()[i].Sequence);
}

TEST_F(StatementDamageTest, LinesWithTooFewFieldsAreRefused)
{
    const std::string names = std::string(kNames) + "\n";
    ExpectRefused(names + Line("ONE") + "\n2019-03-31,2019-04-01,Y,5.00,MISSING A COMMA,DEB REF,\n", 3,
                  "2019-03-31,2019-04-01,Y,5.00,MISSING A COMMA,DEB REF,");
    ExpectRefused(names + "2019-03-31,2019-04-01,Y,5.00,\"OPEN QUOTE,DEB,REF,\n" + Line("TWO") + "\n", 2,
                  "2019-03-31,2019-04-01,Y,5.00,\"OPEN QUOTE,DEB,REF,");
    ExpectRefused(names + Line("ONE") + "\n" + Line("TWO") + "\nTotal,,,2.00\n", 4, "Total,,,2.00");
    ExpectRefused(names + ",,,,,,\n", 2, ",,,,,,");
}

TEST_F(StatementDamageTest, DataAfterTheEighthColumnIsRefused)
{
    ExpectRefused(std::string(kNames) + "\n2019-03-31,2019-04-01,Y,1,250.00,RENT,SO,R1,000123\n", 2, "000123",
                  "9 (after ChequeNo)");
    // The same amount with no cheque number leaves the ninth field empty: still refused, whole.
    ExpectRefused(std::string(kNames) + "\n" + Line("ONE") + "\n2019-03-31,2019-04-01,Y,-1,250.00,RENT,SO,R1,\n", 3,
                  "-1,250.00", "Amount");
    // An empty ninth field, a trailing comma, is fine.
    EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE") + ",\n" + Line("TWO") + ",,\n"), IsEmpty());
    EXPECT_THAT(Details(statement_), ElementsAre("ONE", "TWO"));
}

TEST_F(StatementDamageTest, NulByteIsRefused)
{
    ExpectRefused(std::string(kNames) + "\n" + Line("ONE") + "\n" + Line(std::string("T\0WO", 4)) + "\n", 3, "T<NUL>WO",
                  "Details");
}

TEST_F(StatementDamageTest, DatesThatAreNoDaysAreRefused)
{
    const std::string names = std::string(kNames) + "\n";
    const char* dates[] = {"",           "2019-03-31 10:00", "31/03/19",   "19-03-31",      "2019-02-30",
                           "31/02/2019", "2019/03/31",       "31.03.2019", "March 31 2019", "2019-003-31"};
    for (const char* date : dates)
        ExpectRefused(names + Line("ONE") + "\n" + date + ",2019-04-01,Y,1.00,D,C,R,\n", 3, date, "TransDate");
}

TEST_F(StatementDamageTest, AmountsThatAreNoPlainSumsAreRefused)
{
    const std::string names = std::string(kNames) + "\n";
    const std::string amounts[] = {"",
                                   "\xA3"
                                   "12.50",
                                   "12.50CR",
                                   "nan",
                                   "inf",
                                   "12.50-",
                                   "12.50 DR",
                                   "\"1,234.56\"",
                                   "(12.50)",
                                   "1e3",
                                   "1.234",
                                   "1e400",
                                   "0x10",
                                   "1234567890123.00",
                                   std::string(400, '9'),
                                   "-",
                                   ".",
                                   "+-1",
                                   "1 000.00"};
    for (const std::string& amount : amounts) {
        const std::string shown = amount.size() > 80 ? amount.substr(0, 80) + "..." : amount;
        ExpectRefused(names + "2019-03-31,2019-04-01,Y," + amount + ",D,C,R,\n", 2, shown, "Amount");
    }
}

TEST_F(StatementDamageTest, FirstLineThatIsNoColumnNameLineIsRefused)
{
    // Typed into the chooser by name, the file never met the filter.
    ExpectRefused(Line("ONE") + "\n" + Line("TWO") + "\n", 1, Line("ONE"));
    ExpectRefused("", 1, "");
}

TEST_F(StatementDamageTest, Utf16FileIsRefusedWithItsReason)
{
    std::string contents = "\xFF\xFE";
    for (char c : std::string(kNames) + "\r\n" + Line("ONE") + "\r\n")
        contents += std::string(1, c) + '\0';
    const std::vector<std::string> messages = Import(contents);
    ASSERT_EQ(1u, messages.size());
    EXPECT_THAT(messages[0], HasSubstr("UTF-16"));
    EXPECT_EQ(2, Status());
    EXPECT_EQ(0, statement_.ResetCount());
    EXPECT_EQ(0, statement_.TransactionCount());
}

TEST_F(StatementDamageTest, ByteThatIsNoUtf8InAFileMarkedUtf8IsRefused)
{
    ExpectRefused("\xEF\xBB\xBF" + std::string(kNames) + "\n" + Line("CAF\xC3\x89") + "\n" + Line("CAF\xC9") + "\n", 3,
                  "CAF?", "Details");
}

TEST_F(StatementDamageTest, SeveralDamagedLinesGiveTheFirstAndTheCountOfTheRest)
{
    const std::string contents = std::string(kNames) + "\n" + Line("ONE") + "\n" + Line("TWO", "12.50CR") + "\n" +
                                 Line("THREE") + "\n" + Line("FOUR", "") + "\nTotal,3\n" + Line("SIX", "x") + "\n";
    ExpectRefused(contents, 3, "12.50CR", "Amount");
    EXPECT_THAT(Import(contents)[0], HasSubstr("3 more lines are damaged."));
    EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE", "x") + "\n" + Line("TWO", "y") + "\n")[0],
                HasSubstr("1 more line is damaged."));
    EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE", "x") + "\n")[0],
                HasSubstr("No other line is damaged."));
}

TEST_F(StatementDamageTest, GoodFileImportsRightAfterARefusedOne)
{
    ExpectRefused(std::string(kNames) + "\n" + Line("ONE", "") + "\n", 2, "", "Amount");
    EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE") + "\n" + Line("TWO") + "\n"), IsEmpty());
    EXPECT_EQ(0, Status());
    EXPECT_EQ(1, statement_.ResetCount());
    EXPECT_THAT(Details(statement_), ElementsAre("ONE", "TWO"));
}

TEST_F(StatementDamageTest, UkDatesSignsAndBlanksAreRead)
{
    const std::string contents = std::string(kNames) + "\n" +
                                 "1/3/2019,,Y,+12.50,PLUS,C,R,\n"
                                 "31/03/2019,31/03/2019,Y,  -7.25  ,BLANKS,C,R,\n"
                                 "\" 2019-3-1 \",2019-03-01,Y,\" 1250.5 \",QUOTED,C,R,\n"
                                 "2019-03-31,2019-04-01,Y,\"-0.01\",CENT,C,R,\n";
    EXPECT_THAT(Import(contents), IsEmpty());
    EXPECT_EQ(0, Status());
    const auto& transactions = statement_.Transactions();
    ASSERT_EQ(4u, transactions.size());
    EXPECT_EQ(43525, transactions[0].Date);  // 1 March 2019
    EXPECT_EQ(12.5, transactions[0].Amount);
    EXPECT_EQ(1, transactions[0].Receipt);
    EXPECT_EQ(43555, transactions[1].Date);  // 31 March 2019
    EXPECT_EQ(-7.25, transactions[1].Amount);
    EXPECT_EQ(0, transactions[1].Receipt);
    EXPECT_EQ(43525, transactions[2].Date);
    EXPECT_EQ(1250.5, transactions[2].Amount);
    EXPECT_EQ(-0.01, transactions[3].Amount);
    EXPECT_EQ(0, transactions[3].Receipt);
}

TEST_F(StatementDamageTest, Utf8FilesReachTheHostAsWritten)
{
    const std::string texts = Line("CAF\xC3\x89 \xC2\xA3"
                                   "5") +
                              "\n" +
                              Line("\xE2\x82\xAC"
                                   "12") +
                              "\n";
    for (const std::string& mark : {std::string("\xEF\xBB\xBF"), std::string()}) {
        standin::Statement statement;
        EXPECT_THAT(Import(mark + kNames + "\n" + texts, statement), IsEmpty());
        EXPECT_EQ(0, Status());
        ASSERT_EQ(2, statement.TransactionCount()) << "mark: " << mark.size();
        EXPECT_EQ(L"CAF\u00c9 \u00a35", statement.Transactions()[0].Details);
        EXPECT_EQ(L"\u20ac12", statement.Transactions()[1].Details);
    }
}

TEST_F(StatementDamageTest, AnsiFilesKeepTheirCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "needs the Western European code page";
    EXPECT_THAT(Import(std::string(kNames) + "\n" +
                       Line("CAF\xC9 \xA3"
                            "5") +
                       "\n"),
                IsEmpty());
    ASSERT_EQ(1, statement_.TransactionCount());
    EXPECT_EQ(L"CAF\u00c9 \u00a35", statement_.Transactions()[0].Details);
}

TEST_F(StatementDamageTest, CtrlZIsAnOrdinaryByte)
{
    EXPECT_THAT(Import(std::string(kNames) + "\n" +
                       Line("BEFORE\x1A"
                            "AFTER") +
                       "\n" + Line("NEXT") + "\n"),
                IsEmpty());
    EXPECT_EQ(0, Status());
    ASSERT_EQ(2, statement_.TransactionCount());
    // It ends neither the line nor the file; like any control character it reaches the host as a space.
    EXPECT_EQ(L"BEFORE AFTER", statement_.Transactions()[0].Details);
    EXPECT_EQ(L"NEXT", statement_.Transactions()[1].Details);
}

TEST_F(StatementDamageTest, RefusedTransactionEmptiesTheStatementAgain)
{
    const std::string contents =
        std::string(kNames) + "\n" + Line("ONE") + "\n" + Line("TWO") + "\n" + Line("THREE") + "\n";
    struct Case {
        std::string Member;
        long Transaction;  // 0: the statement's own member
        HRESULT Result;
    };
    const Case cases[] = {
        {"AddTransaction", 0, E_FAIL},
        {"put_Amount", 2, E_OUTOFMEMORY},
        {"put_Details", 3, static_cast<HRESULT>(0x80040201)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Member);
        log_->Clear();
        standin::Statement statement(log_);
        if (c.Transaction == 0)
            statement.Self().FailOn(c.Member, {c.Result, L"the statement is full"});
        else
            statement.Transaction(c.Transaction).FailOn(c.Member, {c.Result, L""});
        const std::vector<std::string> messages = Import(contents, statement);
        ASSERT_EQ(1u, messages.size());
        const long refused = c.Transaction == 0 ? 1 : c.Transaction;
        EXPECT_THAT(messages[0], HasSubstr("refused transaction " + std::to_string(refused)));
        EXPECT_THAT(messages[0], HasSubstr("line " + std::to_string(refused + 1)));
        char hex[16];
        sprintf(hex, "0x%08lX", static_cast<unsigned long>(c.Result));
        EXPECT_THAT(messages[0], HasSubstr(hex));
        if (c.Transaction == 0) {
            EXPECT_THAT(messages[0], HasSubstr("the statement is full"));
        }
        EXPECT_EQ(2, Status());
        EXPECT_EQ(2, statement.ResetCount());
        EXPECT_EQ(0, statement.TransactionCount());
        EXPECT_EQ("Statement.Reset", log_->Calls().back());
    }
}

TEST_F(StatementDamageTest, MillionLineFileImportsAndOneDamagedLineNearItsEndRefusesIt)
{
    const long lines = 1000000;
    const long damagedLine = lines - 3;  // counted from the first transaction line
    std::string contents = std::string(kNames) + "\n";
    std::string damagedContents;
    contents.reserve(static_cast<size_t>(lines) * 48);
    for (long i = 1; i <= lines; ++i) {
        if (i == damagedLine)
            damagedContents = contents + "2019-03-31,2019-04-01,Y,12.50CR,D,C,R,\n";
        contents += "2019-03-31,2019-04-01,Y,-" + std::to_string(i % 1000) + ".25,D" + std::to_string(i) + ",C,R,\n";
        if (i > damagedLine)
            damagedContents += contents.substr(contents.rfind('\n', contents.size() - 2) + 1);
    }

    standin::Statement good;
    good.RecordTransactionCalls(false);
    good.KeepTransactions(false);
    EXPECT_THAT(Import(contents, good), IsEmpty());
    EXPECT_EQ(0, Status());
    EXPECT_EQ(lines, good.TransactionCount());

    standin::Statement untouched;
    untouched.RecordTransactionCalls(false);
    untouched.KeepTransactions(false);
    const std::vector<std::string> messages = Import(damagedContents, untouched);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(2, Status());
    EXPECT_EQ(0, untouched.ResetCount());
    EXPECT_EQ(0, untouched.TransactionCount());
    EXPECT_THAT(messages[0], HasSubstr("Line " + std::to_string(damagedLine + 1) + ", column Amount"));
}

TEST_F(StatementDamageTest, ChooserThatCannotBeSetUpIsNoFileChosen)
{
    // The host's set-up of its chooser fails: the user was never asked, nothing was imported, and
    // the status says so instead of saying the import ran.
    for (const char* member : {"GetFileChooserSettings"}) {
        settings_.Self().FailOn(member, {E_FAIL, L"no chooser settings"});
        EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE") + "\n"), IsEmpty());
        settings_.Self().ClearFailures();
        EXPECT_EQ(1, Status()) << member;
        EXPECT_EQ(0, statement_.ResetCount());
        EXPECT_EQ(0, statement_.TransactionCount());
    }
    chooser_.Self().FailOn("SetSettings", {E_OUTOFMEMORY, L""});
    EXPECT_THAT(Import(std::string(kNames) + "\n" + Line("ONE") + "\n"), IsEmpty());
    chooser_.Self().ClearFailures();
    EXPECT_EQ(1, Status());
    EXPECT_EQ(0, statement_.ResetCount());
}
