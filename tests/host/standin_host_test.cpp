// The stand-in host's objects: the calls they record, planned failures with their error
// information, QueryInterface, class registration, and that they go away when released.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "core/method_frame.h"
#include "standin/standin_host.h"
#include "tests/support/com_test.h"

using namespace standin;

namespace {

class StandinHostTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        liveAtStart_ = LiveObjects();
    }
    void TearDown() override
    {
        EXPECT_EQ(liveAtStart_, LiveObjects()) << "stand-in objects left alive";
        ComTest::TearDown();
    }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    long liveAtStart_ = 0;
};

std::vector<std::string> Calls(std::initializer_list<const char*> calls)
{
    return std::vector<std::string>(calls.begin(), calls.end());
}

PaymentData SamplePayment(const wchar_t* payeeSortCode, double amount)
{
    PaymentData payment;
    payment.Amount = amount;
    payment.PayeeSortCode = payeeSortCode;
    payment.PayeeAccountName = L"J SMITH";
    payment.Details = L"Invoice 1";
    return payment;
}

PaymentData GeneratedPayment(long index)
{
    PaymentData payment;
    payment.Amount = index + 0.5;
    payment.PayeeSortCode = L"401122";
    return payment;
}

ULONG ReferenceCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Payments

TEST_F(StandinHostTest, BatchRecordsItsCallsAndHandsOutPaymentsByIndex)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"40-11-22", 1234.5));
    batch.Add(SamplePayment(L"20-00-00", -12.5));

    long count = -1;
    EXPECT_EQ(S_OK, batch.Get()->get_Count(&count));
    EXPECT_EQ(2, count);

    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(1, payment.Put()));
    Bstr sortCode;
    EXPECT_EQ(S_OK, payment->get_PayeeSortCode(sortCode.Put()));
    EXPECT_STREQ(L"20-00-00", sortCode.Text());
    double amount = 0;
    EXPECT_EQ(S_OK, payment->get_Amount(&amount));
    EXPECT_EQ(-12.5, amount);
    Bstr name;
    EXPECT_EQ(S_OK, payment->get_PayeeAccountName(name.Put()));
    EXPECT_STREQ(L"J SMITH", name.Text());
    EXPECT_EQ(S_OK, payment->put_ResultCode(28));
    EXPECT_EQ(S_OK, payment->put_Details(Bstr(L"CAFÉ, 10%").Get()));

    EXPECT_EQ(Calls({"Payments.get_Count", "Payments.Item(1)", "Payment[1].get_PayeeSortCode", "Payment[1].get_Amount",
                     "Payment[1].get_PayeeAccountName", "Payment[1].put_ResultCode(28)",
                     "Payment[1].put_Details(CAFÉ, 10%)"}),
              log_->Calls())
        << log_->Text();
    EXPECT_EQ(28, batch.ResultCode(1));
    EXPECT_EQ(-1, batch.ResultCode(0));
    EXPECT_EQ(L"CAFÉ, 10%", batch.Listed(1).Details);
}

TEST_F(StandinHostTest, ItemOutsideTheBatchIsInvalidArgumentAndGivesNoPayment)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    ITolvarBankPayment* payment = reinterpret_cast<ITolvarBankPayment*>(1);
    EXPECT_EQ(E_INVALIDARG, batch.Get()->Item(1, &payment));
    EXPECT_EQ(nullptr, payment);
    payment = reinterpret_cast<ITolvarBankPayment*>(1);
    EXPECT_EQ(E_INVALIDARG, batch.Get()->Item(-1, &payment));
    EXPECT_EQ(nullptr, payment);
    EXPECT_EQ(E_POINTER, batch.Get()->Item(0, nullptr));
}

TEST_F(StandinHostTest, PaymentOffersRtiInterfaceOnlyWhenAskedTo)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    PaymentData rti = SamplePayment(L"401122", 2);
    rti.OffersRti = true;
    rti.IsRti = 1;
    rti.RtiReference = L"RTI0001";
    batch.Add(rti);

    ComPtr<ITolvarBankPayment> plain, withRti;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, plain.Put()));
    ASSERT_EQ(S_OK, batch.Get()->Item(1, withRti.Put()));
    log_->Clear();

    ComPtr<ITolvarBankPayment2> plain2;
    EXPECT_EQ(E_NOINTERFACE, plain->QueryInterface(IID_ITolvarBankPayment2, plain2.PutVoid()));
    EXPECT_FALSE(plain2);

    ComPtr<ITolvarBankPayment2> rti2;
    ASSERT_EQ(S_OK, withRti->QueryInterface(IID_ITolvarBankPayment2, rti2.PutVoid()));
    long isRti = 0;
    Bstr reference;
    EXPECT_EQ(S_OK, rti2->get_IsRti(&isRti));
    EXPECT_EQ(S_OK, rti2->get_RtiReference(reference.Put()));
    EXPECT_EQ(S_OK, rti2->put_ResultCode(0));
    EXPECT_EQ(1, isRti);
    EXPECT_STREQ(L"RTI0001", reference.Text());
    EXPECT_EQ(0, batch.ResultCode(1));

    EXPECT_EQ(Calls({"Payment[0].QueryInterface(ITolvarBankPayment2)", "Payment[1].QueryInterface(ITolvarBankPayment2)",
                     "Payment[1].get_IsRti", "Payment[1].get_RtiReference", "Payment[1].put_ResultCode(0)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, ObjectsAnswerIdentityDispatchAndTheirInterfaceOnly)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
    log_->Clear();

    ComPtr<IUnknown> viaBatch, viaPaymentsInterface;
    ASSERT_EQ(S_OK, batch.Get()->QueryInterface(IID_IUnknown, viaBatch.PutVoid()));
    ComPtr<ITolvarBankPayments> payments;
    ASSERT_EQ(S_OK, viaBatch->QueryInterface(IID_ITolvarBankPayments, payments.PutVoid()));
    ASSERT_EQ(S_OK, payments->QueryInterface(IID_IUnknown, viaPaymentsInterface.PutVoid()));
    EXPECT_EQ(viaBatch.Get(), viaPaymentsInterface.Get());
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, batch.Get()->QueryInterface(IID_IDispatch, dispatch.PutVoid()));
    UINT typeInfos = 9;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&typeInfos));
    EXPECT_EQ(0u, typeInfos);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, batch.Get()->QueryInterface(IID_ITolvarBankPayment, &other));
    EXPECT_EQ(nullptr, other);
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, payment->QueryInterface(IID_ITolvarBankStatement, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(E_POINTER, payment->QueryInterface(IID_IUnknown, nullptr));
    ComPtr<ITolvarBankPayment> again;
    EXPECT_EQ(S_OK, payment->QueryInterface(IID_ITolvarBankPayment, again.PutVoid()));
    EXPECT_TRUE(log_->Calls().empty()) << log_->Text();
}

TEST_F(StandinHostTest, FailingMemberReturnsItsResultAndPostsErrorInformation)
{
    PaymentBatch batch(log_);
    batch.Add(SamplePayment(L"401122", 1));
    batch.Add(SamplePayment(L"401122", 2));
    batch.Batch().FailOn("Item(1)", {E_ACCESSDENIED, L"Payment 2 is locked"});
    batch.Payment(0).FailOn("get_PayeeSortCode", {E_FAIL, L"No sort code"});

    ComPtr<ITolvarBankPayment> first, second;
    ASSERT_EQ(S_OK, batch.Get()->Item(0, first.Put()));
    EXPECT_EQ(E_ACCESSDENIED, batch.Get()->Item(1, second.Put()));
    EXPECT_FALSE(second);
    EXPECT_EQ(L"Payment 2 is locked", TakeErrorDescription());

    BSTR sortCode = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_FAIL, first->get_PayeeSortCode(&sortCode));
    EXPECT_EQ(nullptr, sortCode);
    EXPECT_EQ(L"Payment[0]", PeekErrorSource());
    EXPECT_EQ(L"No sort code", TakeErrorDescription());

    ComPtr<ISupportErrorInfo> support = first.As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayment));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
    ComPtr<ISupportErrorInfo> batchSupport = ComPtr<ITolvarBankPayments>(batch.Get()).As<ISupportErrorInfo>();
    ASSERT_TRUE(batchSupport);
    EXPECT_EQ(S_OK, batchSupport->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));

    // Other members and other payments still answer.
    double amount = 0;
    EXPECT_EQ(S_OK, first->get_Amount(&amount));
    EXPECT_EQ(S_OK, batch.Get()->Item(0, second.Put()));
    EXPECT_EQ(Calls({"Payments.Item(0)", "Payments.Item(1)", "Payment[0].get_PayeeSortCode", "Payment[0].get_Amount",
                     "Payments.Item(0)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, FailureWithoutDescriptionPostsNothingAndDeniesErrorInfoSupport)
{
    PaymentBatch batch(log_);
    batch.Batch().FailOn("get_Count", {E_UNEXPECTED, L""});
    long count = 7;
    EXPECT_EQ(E_UNEXPECTED, batch.Get()->get_Count(&count));
    EXPECT_EQ(0, count);
    EXPECT_FALSE(TakeHasErrorInfo());
    ComPtr<ISupportErrorInfo> support = ComPtr<ITolvarBankPayments>(batch.Get()).As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
}

TEST_F(StandinHostTest, GeneratedBatchKeepsOnlyResultCodesAndCanStopRecording)
{
    PaymentBatch batch(log_);
    batch.UseGenerator(1000000, GeneratedPayment);
    batch.RecordPaymentCalls(false);
    batch.Payment(999999).FailOn("get_Amount", {E_FAIL, L"Last one"});

    long count = 0;
    EXPECT_EQ(S_OK, batch.Get()->get_Count(&count));
    EXPECT_EQ(1000000, count);
    ComPtr<ITolvarBankPayment> payment;
    ASSERT_EQ(S_OK, batch.Get()->Item(123456, payment.Put()));
    double amount = 0;
    EXPECT_EQ(S_OK, payment->get_Amount(&amount));
    EXPECT_EQ(123456.5, amount);
    EXPECT_EQ(S_OK, payment->put_ResultCode(12));
    ASSERT_EQ(S_OK, batch.Get()->Item(999999, payment.Put()));
    EXPECT_EQ(E_FAIL, payment->get_Amount(&amount));
    EXPECT_EQ(L"Last one", TakeErrorDescription());

    EXPECT_EQ(12, batch.ResultCode(123456));
    EXPECT_EQ(-1, batch.ResultCode(123457));
    EXPECT_EQ(Calls({"Payments.get_Count"}), log_->Calls()) << log_->Text();
}

TEST_F(StandinHostTest, ContextGivesTheAccountAndRecordsItsCalls)
{
    PaymentContext context(L"40-11-22", L"87654321", log_);
    ComPtr<ITolvarBankAccount> account;
    ASSERT_EQ(S_OK, context.Get()->get_BankAccount(account.Put()));
    Bstr sortCode, number;
    EXPECT_EQ(S_OK, account->get_SortCode(sortCode.Put()));
    EXPECT_EQ(S_OK, account->get_AccountNumber(number.Put()));
    EXPECT_STREQ(L"40-11-22", sortCode.Text());
    EXPECT_STREQ(L"87654321", number.Text());
    EXPECT_EQ(Calls({"Context.get_BankAccount", "Account.get_SortCode", "Account.get_AccountNumber"}), log_->Calls())
        << log_->Text();

    context.Account().FailOn("get_SortCode", {E_FAIL, L"Account closed"});
    BSTR failed = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_FAIL, account->get_SortCode(&failed));
    EXPECT_EQ(nullptr, failed);
    EXPECT_EQ(L"Account closed", TakeErrorDescription());

    context.Context().FailOn("get_BankAccount", {E_FAIL, L""});
    ITolvarBankAccount* none = reinterpret_cast<ITolvarBankAccount*>(1);
    EXPECT_EQ(E_FAIL, context.Get()->get_BankAccount(&none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(StandinHostTest, ReleasedPaymentsGoAwayAndObjectsOutliveTheirOwnerWhileReferenced)
{
    ComPtr<ITolvarBankPayment> kept;
    {
        PaymentBatch batch(log_);
        batch.Add(SamplePayment(L"401122", 3));
        const long before = LiveObjects();
        {
            ComPtr<ITolvarBankPayment> payment;
            ASSERT_EQ(S_OK, batch.Get()->Item(0, payment.Put()));
            EXPECT_EQ(1u, ReferenceCount(payment.Get()));
            EXPECT_EQ(before + 1, LiveObjects());
        }
        EXPECT_EQ(before, LiveObjects());
        ASSERT_EQ(S_OK, batch.Get()->Item(0, kept.Put()));
    }
    double amount = 0;
    EXPECT_EQ(S_OK, kept->get_Amount(&amount));
    EXPECT_EQ(3, amount);
}

// ---------------------------------------------------------------------------------------------
// Statement

TEST_F(StandinHostTest, StatementRecordsTheImportAndKeepsWhatEachTransactionReceived)
{
    Statement statement(log_);
    EXPECT_EQ(S_OK, statement.Get()->Reset());
    EXPECT_EQ(S_OK, statement.Get()->put_Balance(0));
    for (long sequence = 1; sequence <= 2; ++sequence) {
        ComPtr<ITolvarBankTransaction> transaction;
        ASSERT_EQ(S_OK, statement.Get()->AddTransaction(transaction.Put()));
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_I4;
        V_I4(&value) = sequence;
        EXPECT_EQ(S_OK, transaction->put_Sequence(&value));
        EXPECT_EQ(S_OK, transaction->put_Amount(sequence == 1 ? -12.5 : 1234.5));
        EXPECT_EQ(S_OK, transaction->put_Receipt(sequence == 1 ? 0 : 1));
        EXPECT_EQ(S_OK, transaction->put_Date(45292.25));
        EXPECT_EQ(S_OK, transaction->put_Details(Bstr(sequence == 1 ? L"CARD PAYMENT" : L"SALARY").Get()));
        EXPECT_EQ(S_OK, transaction->put_Reference(Bstr(sequence == 1 ? L"" : L"000123").Get()));
        if (sequence == 2) {
            EXPECT_EQ(S_OK, transaction->put_ChequeNumber(Bstr(L"000123").Get()));
        }
    }

    EXPECT_EQ(Calls({"Statement.Reset", "Statement.put_Balance(0)", "Statement.AddTransaction",
                     "Transaction[1].put_Sequence(VT_I4 1)", "Transaction[1].put_Amount(-12.5)",
                     "Transaction[1].put_Receipt(0)", "Transaction[1].put_Date(45292.25)",
                     "Transaction[1].put_Details(CARD PAYMENT)", "Transaction[1].put_Reference()",
                     "Statement.AddTransaction", "Transaction[2].put_Sequence(VT_I4 2)",
                     "Transaction[2].put_Amount(1234.5)", "Transaction[2].put_Receipt(1)",
                     "Transaction[2].put_Date(45292.25)", "Transaction[2].put_Details(SALARY)",
                     "Transaction[2].put_Reference(000123)", "Transaction[2].put_ChequeNumber(000123)"}),
              log_->Calls())
        << log_->Text();

    ASSERT_EQ(2u, statement.Transactions().size());
    const TransactionData first = statement.Transactions()[0];
    EXPECT_EQ(VT_I4, first.SequenceType);
    EXPECT_EQ(1, first.Sequence);
    EXPECT_EQ(-12.5, first.Amount);
    EXPECT_EQ(0, first.Receipt);
    EXPECT_EQ(45292.25, first.Date);
    EXPECT_EQ(L"CARD PAYMENT", first.Details);
    EXPECT_EQ(L"", first.Reference);
    EXPECT_FALSE(first.HasChequeNumber);
    const TransactionData second = statement.Transactions()[1];
    EXPECT_EQ(2, second.Sequence);
    EXPECT_EQ(L"000123", second.ChequeNumber);
    EXPECT_TRUE(second.HasChequeNumber);
    EXPECT_EQ(1, statement.ResetCount());
    EXPECT_EQ(0, statement.Balance());
}

TEST_F(StandinHostTest, StatementResetEmptiesItAndTransactionsOfEarlierRunsWriteNowhere)
{
    Statement statement(log_);
    ComPtr<ITolvarBankTransaction> old;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(old.Put()));
    EXPECT_EQ(S_OK, statement.Get()->Reset());
    EXPECT_TRUE(statement.Transactions().empty());
    ComPtr<ITolvarBankTransaction> fresh;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(fresh.Put()));
    EXPECT_EQ(S_OK, old->put_Amount(99));
    EXPECT_EQ(S_OK, fresh->put_Amount(5));
    ASSERT_EQ(1u, statement.Transactions().size());
    EXPECT_EQ(5, statement.Transactions()[0].Amount);
    long count = 0;
    EXPECT_EQ(S_OK, statement.Get()->get_Count(&count));
    EXPECT_EQ(1, count);
}

TEST_F(StandinHostTest, KeptTransactionsShareOneRecordWhateverObjectWritesOrReadsThem)
{
    Statement statement(log_);
    ComPtr<ITolvarBankTransaction> added;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(added.Put()));
    ASSERT_EQ(S_OK, added->put_Details(Bstr(L"FIRST TEXT").Get()));
    ASSERT_EQ(S_OK, added->put_Amount(-7.25));

    // A second object for the same transaction, alive beside the first: each sees the other's puts.
    ComPtr<ITolvarBankTransaction> again;
    ASSERT_EQ(S_OK, statement.Get()->Item(0, again.Put()));
    Bstr details;
    ASSERT_EQ(S_OK, again->get_Details(details.Put()));
    EXPECT_STREQ(L"FIRST TEXT", details.Text());
    ASSERT_EQ(S_OK, again->put_Details(Bstr(L"Łódź — 2nd").Get()));
    ASSERT_EQ(S_OK, again->put_Reference(Bstr(L"").Get()));
    ASSERT_EQ(S_OK, added->get_Details(details.Put()));
    EXPECT_STREQ(L"Łódź — 2nd", details.Text());
    double amount = 0;
    ASSERT_EQ(S_OK, again->get_Amount(&amount));
    EXPECT_EQ(-7.25, amount);

    // Texts put again keep only the last; the one-at-a-time view gives the same as the whole copy.
    ASSERT_EQ(S_OK, added->put_Details(Bstr(std::wstring(3000, L'x').c_str()).Get()));
    ASSERT_EQ(1, statement.KeptCount());
    const TransactionData kept = statement.KeptTransaction(0);
    EXPECT_EQ(std::wstring(3000, L'x'), kept.Details);
    EXPECT_EQ(L"", kept.Reference);
    EXPECT_EQ(-7.25, kept.Amount);
    EXPECT_EQ(kept.Details, statement.Transactions()[0].Details);
    EXPECT_THROW(statement.KeptTransaction(1), std::out_of_range);

    // After Reset the earlier objects keep their own data and the statement none of it.
    ASSERT_EQ(S_OK, statement.Get()->Reset());
    ASSERT_EQ(S_OK, added->put_Details(Bstr(L"AFTER RESET").Get()));
    ASSERT_EQ(S_OK, added->get_Details(details.Put()));
    EXPECT_STREQ(L"AFTER RESET", details.Text());
    EXPECT_EQ(0, statement.KeptCount());
    EXPECT_TRUE(statement.Transactions().empty());
}

TEST_F(StandinHostTest, SequenceVariantsOfOtherTypesAreRecordedWithTheirType)
{
    Statement statement(log_);
    ComPtr<ITolvarBankTransaction> transaction;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(transaction.Put()));
    log_->Clear();
    Variant text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"17");
    EXPECT_EQ(S_OK, transaction->put_Sequence(&text));
    EXPECT_EQ(VT_BSTR, statement.Transactions()[0].SequenceType);
    EXPECT_EQ(17, statement.Transactions()[0].Sequence);
    Variant real;
    V_VT(&real) = VT_R8;
    V_R8(&real) = 2.5;
    EXPECT_EQ(S_OK, transaction->put_Sequence(&real));
    Variant empty;
    EXPECT_EQ(S_OK, transaction->put_Sequence(&empty));
    EXPECT_EQ(E_POINTER, transaction->put_Sequence(nullptr));
    EXPECT_EQ(Calls({"Transaction[1].put_Sequence(VT_BSTR 17)", "Transaction[1].put_Sequence(VT_R8 2.5)",
                     "Transaction[1].put_Sequence(VT_EMPTY)", "Transaction[1].put_Sequence(null)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, StatementAndTransactionFailuresPostErrorInformation)
{
    Statement statement(log_);
    statement.Self().FailOn("Reset", {E_ACCESSDENIED, L"Statement is locked"});
    statement.Transaction(2).FailOn("put_Amount", {E_FAIL, L"Amount refused"});
    EXPECT_EQ(E_ACCESSDENIED, statement.Get()->Reset());
    EXPECT_EQ(L"Statement is locked", TakeErrorDescription());
    EXPECT_EQ(0, statement.ResetCount());

    ComPtr<ITolvarBankTransaction> first, second;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(first.Put()));
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(second.Put()));
    EXPECT_EQ(S_OK, first->put_Amount(1));
    EXPECT_EQ(E_FAIL, second->put_Amount(2));
    EXPECT_EQ(L"Amount refused", TakeErrorDescription());
    EXPECT_EQ(0, statement.Transactions()[1].Amount);
    EXPECT_EQ(S_OK, second.As<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IID_ITolvarBankTransaction));
    EXPECT_EQ(S_FALSE, first.As<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IID_ITolvarBankTransaction));

    statement.Self().FailOn("AddTransaction", {E_OUTOFMEMORY, L""});
    ITolvarBankTransaction* none = reinterpret_cast<ITolvarBankTransaction*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, statement.Get()->AddTransaction(&none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(2, statement.TransactionCount());
}

TEST_F(StandinHostTest, LargeStatementCanRunWithoutRecordsOrKeptTransactions)
{
    Statement statement(log_);
    statement.RecordTransactionCalls(false);
    statement.KeepTransactions(false);
    EXPECT_EQ(S_OK, statement.Get()->Reset());
    for (int i = 0; i < 1000; ++i) {
        ComPtr<ITolvarBankTransaction> transaction;
        ASSERT_EQ(S_OK, statement.Get()->AddTransaction(transaction.Put()));
        EXPECT_EQ(S_OK, transaction->put_Amount(i));
        double amount = -1;
        EXPECT_EQ(S_OK, transaction->get_Amount(&amount));
        EXPECT_EQ(i, amount);
    }
    EXPECT_EQ(1000, statement.TransactionCount());
    EXPECT_TRUE(statement.Transactions().empty());
    EXPECT_EQ(Calls({"Statement.Reset"}), log_->Calls()) << log_->Text();
}

// ---------------------------------------------------------------------------------------------
// Settings object

namespace {

// The bank name buffer as the module hands it over: the name and zero bytes up to its size.
template <size_t Size>
struct NameBuffer {
    explicit NameBuffer(const char* name) { std::strncpy(bytes, name, Size - 1); }
    char bytes[Size] = {};
};

}  // namespace

TEST_F(StandinHostTest, SettingsFillTheDefaultBuffersWithinTheirSizes)
{
    Settings settings(log_);
    settings.DefaultFileName = "BACS.CSV";
    settings.FileExtension = "html";  // one character more than the buffer holds
    settings.DefaultDirectory = "C:\\Payments";
    NameBuffer<100> name("Brenmark Fenlow Online Plus");
    char fileName[1024 + 8], extension[4 + 8], directory[1024 + 8];
    std::memset(fileName, 'x', sizeof fileName);
    std::memset(extension, 'x', sizeof extension);
    std::memset(directory, 'x', sizeof directory);

    EXPECT_EQ(S_OK, settings.Get()->GetPaymentFileDefaults(name.bytes, fileName, extension, directory));
    EXPECT_STREQ("BACS.CSV", fileName);
    EXPECT_STREQ("htm", extension);
    EXPECT_STREQ("C:\\Payments", directory);
    // Zero-filled to the size and not a byte beyond.
    EXPECT_EQ(std::string(1024 - 8, '\0'), std::string(fileName + 8, 1024 - 8));
    EXPECT_EQ(std::string(8, 'x'), std::string(fileName + 1024, 8));
    EXPECT_EQ(std::string(8, 'x'), std::string(extension + 4, 8));
    EXPECT_EQ(std::string(8, 'x'), std::string(directory + 1024, 8));
    EXPECT_EQ(std::vector<unsigned char>(name.bytes, name.bytes + 100), settings.LastBankName);
    EXPECT_EQ(Calls({"Settings.GetPaymentFileDefaults(Brenmark Fenlow Online Plus)"}), log_->Calls()) << log_->Text();
}

TEST_F(StandinHostTest, SettingsCanHandOutUnterminatedBuffers)
{
    Settings settings(log_);
    settings.RawExtension = {'c', 's', 'v', 'x', 'y'};
    settings.RawFileName = std::vector<char>(1030, 'F');
    NameBuffer<100> name("Brenmark Fenlow Online Plus");
    char fileName[1024 + 1], extension[4 + 1], directory[1024];
    fileName[1024] = extension[4] = '#';
    EXPECT_EQ(S_OK, settings.Get()->GetPaymentFileDefaults(name.bytes, fileName, extension, directory));
    EXPECT_EQ("csvx#", std::string(extension, 5));
    EXPECT_EQ(std::string(1024, 'F') + "#", std::string(fileName, 1025));
    EXPECT_STREQ("C:\\", directory);
}

TEST_F(StandinHostTest, RefusedDefaultsLeaveEmptyBuffersAndErrorInformation)
{
    Settings settings(log_);
    settings.Self().FailOn("GetPaymentFileDefaults", {E_ACCESSDENIED, L"Settings are locked"});
    NameBuffer<100> name("Brenmark Fenlow Online Plus");
    char fileName[1024], extension[4], directory[1024];
    std::memset(fileName, 'x', sizeof fileName);
    std::memset(extension, 'x', sizeof extension);
    std::memset(directory, 'x', sizeof directory);
    EXPECT_EQ(E_ACCESSDENIED, settings.Get()->GetPaymentFileDefaults(name.bytes, fileName, extension, directory));
    EXPECT_EQ(std::string(1024, '\0'), std::string(fileName, 1024));
    EXPECT_EQ(std::string(4, '\0'), std::string(extension, 4));
    EXPECT_EQ(std::string(1024, '\0'), std::string(directory, 1024));
    EXPECT_EQ(L"Settings", PeekErrorSource());
    EXPECT_EQ(L"Settings are locked", TakeErrorDescription());
    ComPtr<ISupportErrorInfo> support = ComPtr<ITolvarBankSettings>(settings.Get()).As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_ITolvarBankSettings));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_ITolvarFileChooser));
}

TEST_F(StandinHostTest, SettingsConfigureBankAndFillTheWholeChooserRecord)
{
    Settings settings(log_);
    NameBuffer<1024> configureName("Brenmark Fenlow Online Plus");
    EXPECT_EQ(S_OK, settings.Get()->ConfigureBank(configureName.bytes, 3));
    EXPECT_EQ(std::vector<unsigned char>(configureName.bytes, configureName.bytes + 1024),
              settings.LastConfigureBuffer);
    EXPECT_EQ(3, settings.LastConfigureValue);

    NameBuffer<100> name("Brenmark Fenlow Online Plus");
    FileChooserSettings record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(S_OK, settings.Get()->GetFileChooserSettings(name.bytes, &record));
    EXPECT_EQ(0, record.Filter);
    EXPECT_EQ(0, std::memcmp(settings.ChooserHostData.data(), record.HostData, sizeof record.HostData));
    EXPECT_EQ(1, record.HostData[0]);
    EXPECT_EQ(396u, settings.ChooserHostData.size());

    EXPECT_EQ(Calls({"Settings.ConfigureBank(Brenmark Fenlow Online Plus, 3)",
                     "Settings.GetFileChooserSettings(Brenmark Fenlow Online Plus)"}),
              log_->Calls())
        << log_->Text();

    settings.Self().FailOn("GetFileChooserSettings", {E_FAIL, L""});
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(E_FAIL, settings.Get()->GetFileChooserSettings(name.bytes, &record));
    const FileChooserSettings zero = {};
    EXPECT_EQ(0, std::memcmp(&zero, &record, sizeof record));
}

// ---------------------------------------------------------------------------------------------
// File chooser

namespace {

int AcceptStatements(char* description, const char* fileName)
{
    if (std::strcmp(fileName, "statement.csv") != 0)
        return 0;
    std::strcpy(description, "Statement Transaction file (CSV format)");
    return 1;
}

}  // namespace

TEST_F(StandinHostTest, ChooserKeepsTheRecordAndAsksItsFilter)
{
    FileChooser chooser(log_);
    std::string description = "stale";
    EXPECT_EQ(nullptr, chooser.Filter());
    EXPECT_EQ(0, chooser.AskFilter("statement.csv", &description));
    EXPECT_EQ("", description);

    FileChooserSettings record = {};
    record.Filter = reinterpret_cast<LONG_PTR>(&AcceptStatements);
    record.HostData[395] = 0x5A;
    EXPECT_EQ(S_OK, chooser.Get()->SetSettings(&record));
    EXPECT_TRUE(chooser.HasSettings());
    EXPECT_EQ(&AcceptStatements, chooser.Filter());
    EXPECT_EQ(0x5A, chooser.LastSettings().HostData[395]);

    EXPECT_EQ(1, chooser.AskFilter("statement.csv", &description));
    EXPECT_EQ("Statement Transaction file (CSV format)", description);
    EXPECT_EQ(0, chooser.AskFilter("other.csv", &description));
    EXPECT_EQ("", description);
    EXPECT_EQ(Calls({"Chooser.SetSettings"}), log_->Calls()) << log_->Text();
}

TEST_F(StandinHostTest, ChooserShowsItsResultAndOwnsTheFileName)
{
    FileChooser chooser(log_);
    chooser.ShowResult = 0;
    chooser.FileName = L"C:\\Bank\\statement.csv";
    EXPECT_EQ(S_OK, chooser.Get()->put_Title(Bstr(L"Choose a statement").Get()));
    long result = -1;
    EXPECT_EQ(S_OK, chooser.Get()->Show(&result));
    EXPECT_EQ(0, result);
    LPWSTR fileName = nullptr;
    EXPECT_EQ(S_OK, chooser.Get()->get_FileName(&fileName));
    ASSERT_NE(nullptr, fileName);
    EXPECT_STREQ(L"C:\\Bank\\statement.csv", fileName);
    EXPECT_EQ(L"Choose a statement", chooser.Title);

    chooser.ShowResult = 2;
    EXPECT_EQ(S_OK, chooser.Get()->Show(&result));
    EXPECT_EQ(2, result);

    chooser.Self().FailOn("Show", {E_FAIL, L"No desktop"});
    result = 0;
    EXPECT_EQ(E_FAIL, chooser.Get()->Show(&result));
    EXPECT_EQ(1, result);
    EXPECT_EQ(L"No desktop", TakeErrorDescription());
    chooser.Self().FailOn("get_FileName", {E_FAIL, L""});
    fileName = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_FAIL, chooser.Get()->get_FileName(&fileName));
    EXPECT_EQ(nullptr, fileName);

    EXPECT_EQ(Calls({"Chooser.put_Title(Choose a statement)", "Chooser.Show", "Chooser.get_FileName", "Chooser.Show",
                     "Chooser.Show", "Chooser.get_FileName"}),
              log_->Calls())
        << log_->Text();
}

// ---------------------------------------------------------------------------------------------
// Class registration

TEST_F(StandinHostTest, RegisteredClassesAreReachedOverEveryServerContextWithOleRun)
{
    Settings settings(log_);
    FileChooser chooser(log_);
    {
        HostClassRegistration registration(&settings, &chooser);
        ASSERT_TRUE(registration.Registered());

        ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TolvarBankSettings, nullptr, 0x17, IID_IUnknown, unknown.PutVoid()));
        EXPECT_EQ(S_OK, OleRun(unknown.Get()));
        ComPtr<ITolvarBankSettings> created = unknown.As<ITolvarBankSettings>();
        ASSERT_TRUE(created);
        EXPECT_EQ(settings.Get(), created.Get());
        unknown.Reset();

        ComPtr<ITolvarFileChooser> createdChooser;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TolvarFileChooser, nullptr, 0x17, IID_ITolvarFileChooser,
                                         createdChooser.PutVoid()));
        EXPECT_EQ(chooser.Get(), createdChooser.Get());
        EXPECT_EQ(1, registration.SettingsCreations());
        EXPECT_EQ(1, registration.ChooserCreations());
        // Only the two host objects themselves and their class objects are alive.
        EXPECT_EQ(liveAtStart_ + 4, LiveObjects());
    }

    ComPtr<IUnknown> unknown;
    EXPECT_NE(S_OK, CoCreateInstance(CLSID_TolvarBankSettings, nullptr, 0x17, IID_IUnknown, unknown.PutVoid()));
    EXPECT_FALSE(unknown);
    EXPECT_NE(S_OK, CoCreateInstance(CLSID_TolvarFileChooser, nullptr, 0x17, IID_IUnknown, unknown.PutVoid()));
    EXPECT_TRUE(log_->Calls().empty()) << log_->Text();
    // The class objects are gone with the registration; the host objects stay with their owners.
    EXPECT_EQ(liveAtStart_ + 2, LiveObjects());
    EXPECT_EQ(1u, ReferenceCount(settings.Get()));
    EXPECT_EQ(1u, ReferenceCount(chooser.Get()));
}

TEST_F(StandinHostTest, ClassNotGivenToTheRegistrationIsNotServed)
{
    Settings settings(log_);
    HostClassRegistration registration(&settings, nullptr);
    ASSERT_TRUE(registration.Registered());
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_TolvarFileChooser, nullptr, 0x17, IID_IUnknown, unknown.PutVoid()));
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_TolvarBankSettings, nullptr, 0x17, IID_IUnknown, unknown.PutVoid()));
}

TEST_F(StandinHostTest, ModuleCreatesRegisteredHostObjectsAndReadsTheirErrorInformation)
{
    Settings settings(log_);
    FileChooser chooser(log_);
    {
        HostClassRegistration registration(&settings, &chooser);
        ComPtr<ITolvarBankSettings> created = CreateHostObject<ITolvarBankSettings>(CLSID_TolvarBankSettings);
        ASSERT_TRUE(created);
        ComPtr<ITolvarFileChooser> createdChooser = CreateHostObject<ITolvarFileChooser>(CLSID_TolvarFileChooser);
        ASSERT_TRUE(createdChooser);

        settings.Self().FailOn("ConfigureBank", {E_ACCESSDENIED, L"Bank not licensed"});
        char name[1024] = "Brenmark Fenlow Online Plus";
        try {
            HostCall(created, [&](ITolvarBankSettings* s) { return s->ConfigureBank(name, 3); });
            ADD_FAILURE() << "the refused call was not raised";
        } catch (const HostCallFailure& failure) {
            EXPECT_EQ(E_ACCESSDENIED, failure.Result);
            ASSERT_TRUE(failure.Info);
            Bstr description;
            failure.Info->GetDescription(description.Put());
            EXPECT_STREQ(L"Bank not licensed", description.Text());
            GUID iid = GUID_NULL;
            failure.Info->GetGUID(&iid);
            EXPECT_TRUE(InlineIsEqualGUID(IID_ITolvarBankSettings, iid));
        }
    }
    EXPECT_FALSE(CreateHostObject<ITolvarBankSettings>(CLSID_TolvarBankSettings));
    EXPECT_EQ(Calls({"Settings.ConfigureBank(Brenmark Fenlow Online Plus, 3)"}), log_->Calls()) << log_->Text();
}

// ---------------------------------------------------------------------------------------------
// Call records

TEST_F(StandinHostTest, NumbersAreRecordedInTheirShortestExactForm)
{
    Statement statement(log_);
    ComPtr<ITolvarBankTransaction> transaction;
    ASSERT_EQ(S_OK, statement.Get()->AddTransaction(transaction.Put()));
    log_->Clear();
    for (double amount : {1234.5, 0.0, -12.5, 0.1, 1000000.0, 1e-07, 0.1 + 0.2, -99999999.99})
        transaction->put_Amount(amount);
    EXPECT_EQ(Calls({"Transaction[1].put_Amount(1234.5)", "Transaction[1].put_Amount(0)",
                     "Transaction[1].put_Amount(-12.5)", "Transaction[1].put_Amount(0.1)",
                     "Transaction[1].put_Amount(1000000)", "Transaction[1].put_Amount(1e-07)",
                     "Transaction[1].put_Amount(0.30000000000000004)", "Transaction[1].put_Amount(-99999999.99)"}),
              log_->Calls())
        << log_->Text();
}

TEST_F(StandinHostTest, PlannedFailureByMemberNameCoversEveryArgumentUnlessOneIsNamed)
{
    PaymentBatch batch(log_);
    for (int i = 0; i < 3; ++i)
        batch.Add(SamplePayment(L"401122", i));
    batch.Batch().FailOn("Item", {E_FAIL, L"Any item"});
    batch.Batch().FailOn("Item(2)", {E_ABORT, L"Item two"});
    ComPtr<ITolvarBankPayment> payment;
    EXPECT_EQ(E_FAIL, batch.Get()->Item(0, payment.Put()));
    EXPECT_EQ(L"Any item", TakeErrorDescription());
    EXPECT_EQ(E_ABORT, batch.Get()->Item(2, payment.Put()));
    EXPECT_EQ(L"Item two", TakeErrorDescription());
    // Replanned without a description, the batch no longer claims error information.
    batch.Batch().FailOn("Item", {E_FAIL, L""});
    batch.Batch().FailOn("Item(2)", {E_ABORT, L""});
    EXPECT_EQ(S_FALSE, ComPtr<ITolvarBankPayments>(batch.Get())
                           .As<ISupportErrorInfo>()
                           ->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
    batch.Batch().ClearFailures();
    EXPECT_EQ(S_OK, batch.Get()->Item(1, payment.Put()));
    EXPECT_EQ(S_FALSE, ComPtr<ITolvarBankPayments>(batch.Get())
                           .As<ISupportErrorInfo>()
                           ->InterfaceSupportsErrorInfo(IID_ITolvarBankPayments));
}
