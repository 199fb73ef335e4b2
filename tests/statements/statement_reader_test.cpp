// The statement reader over byte sources that misbehave: reads that fail, memory that runs out,
// bytes that change between the check and the reading, reads cut at any size.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "statements/balance_file.h"

namespace {

const char kColumnNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\n";

std::string File(int transactions)
{
    std::string text = kColumnNames;
    for (int i = 1; i <= transactions; ++i)
        text += "2019-03-0" + std::to_string(i % 9 + 1) + ",2019-04-01,Y," + std::to_string(i) + ".25,LINE " +
                std::to_string(i) + ",DEB,REF,\r\n";
    return text;
}

// Bytes of a string the test may change, handed out at most chunk bytes per read; the read after
// failAfter bytes fails, and so may the rewind.
class TestSource final : public StatementByteSource {
public:
    TestSource(std::string* bytes, size_t chunk) : bytes_(bytes), chunk_(chunk) {}

    size_t Read(char* buffer, size_t size) override
    {
        if (position_ >= failAfter)
            throw StatementFileError{StatementFileProblem::Other, 23};
        if (position_ >= outOfMemoryAfter)
            throw std::bad_alloc();
        size_t taken = bytes_->size() > position_ ? bytes_->size() - position_ : 0;
        taken = taken < size ? taken : size;
        taken = taken < chunk_ ? taken : chunk_;
        std::memcpy(buffer, bytes_->data() + position_, taken);
        position_ += taken;
        return taken;
    }
    void Rewind() override
    {
        if (failRewind)
            throw StatementFileError{StatementFileProblem::Other, 25};
        position_ = 0;
    }

    size_t failAfter = static_cast<size_t>(-1);
    size_t outOfMemoryAfter = static_cast<size_t>(-1);
    bool failRewind = false;

private:
    std::string* bytes_;
    size_t chunk_;
    size_t position_ = 0;
};

// Opens a reader on the bytes; gives the source so that the test can change its behaviour.
TestSource* OpenOn(CBBM2BalanceFile& reader, std::string* bytes, size_t chunk = 1 << 20)
{
    auto source = std::make_unique<TestSource>(bytes, chunk);
    TestSource* kept = source.get();
    reader.Open(std::move(source));
    return kept;
}

}  // namespace

TEST(StatementReaderTest, ReadsCutAtAnySizeGiveTheSameRecordsAndTheSameCheck)
{
    std::string bytes = File(7);
    for (size_t chunk : {1, 2, 3, 7, 8, 9, 64, 100000}) {
        CBBM2BalanceFile reader;
        OpenOn(reader, &bytes, chunk);
        EXPECT_TRUE(reader.HasValidHeader()) << chunk;
        const StatementFileCheck check = reader.CheckTransactions();
        EXPECT_FALSE(check.Damaged) << chunk;
        EXPECT_EQ(7, check.Transactions) << chunk;
        CBMLWTransactionRecord record;
        for (int i = 1; i <= 7; ++i) {
            ASSERT_EQ(StatementRead::Record, reader.ReadTransaction(record)) << chunk;
            EXPECT_EQ("LINE " + std::to_string(i), std::string(record.GetDetails())) << chunk;
        }
        EXPECT_FALSE(reader.SameBytesAsChecked()) << "not before the end";
        EXPECT_EQ(StatementRead::End, reader.ReadTransaction(record));
        EXPECT_TRUE(reader.SameBytesAsChecked()) << chunk;
    }
}

TEST(StatementReaderTest, BytesChangedBetweenTheCheckAndTheReadingAreNoticed)
{
    const std::string original = File(3);
    struct Change {
        const char* What;
        size_t At;
        std::string Bytes;  // replaces the byte at At; empty: the file is cut there
    };
    const Change changes[] = {
        {"a digit of an amount, same size", original.find("2.25"), "7"},
        {"a letter in the last line", original.rfind("LINE"), "M"},
        {"a line end", original.size() - 1, "\n\n"},
        {"a line added", original.size(), "2019-03-09,2019-04-01,Y,9,NEW,C,R,\n"},
        {"the file cut short", original.size() - 10, ""},
    };
    for (const Change& change : changes) {
        std::string bytes = original;
        CBBM2BalanceFile reader;
        OpenOn(reader, &bytes, 5);
        const StatementFileCheck check = reader.CheckTransactions();
        ASSERT_FALSE(check.Damaged);
        if (change.Bytes.empty())
            bytes.resize(change.At);
        else
            bytes.replace(change.At, change.At < bytes.size() ? 1 : 0, change.Bytes);
        CBMLWTransactionRecord record;
        StatementRead read;
        int records = 0;
        while ((read = reader.ReadTransaction(record)) == StatementRead::Record)
            ++records;
        const bool noticed =
            read == StatementRead::Damaged || records != check.Transactions || !reader.SameBytesAsChecked();
        EXPECT_TRUE(noticed) << change.What;
    }
}

TEST(StatementReaderTest, FailedReadIsRaisedAndNeverAnEnd)
{
    std::string bytes = File(3);
    CBBM2BalanceFile reader;
    TestSource* source = OpenOn(reader, &bytes, 40);
    source->failAfter = 100;
    EXPECT_THROW(reader.CheckTransactions(), StatementFileError);

    CBBM2BalanceFile second;
    source = OpenOn(second, &bytes, 40);
    ASSERT_FALSE(second.CheckTransactions().Damaged);
    source->failAfter = 120;
    CBMLWTransactionRecord record;
    EXPECT_EQ(StatementRead::Record, second.ReadTransaction(record));
    try {
        while (second.ReadTransaction(record) == StatementRead::Record) {
        }
        ADD_FAILURE() << "a failed read ended the file quietly";
    } catch (const StatementFileError& error) {
        EXPECT_EQ(StatementFileProblem::Other, error.Problem);
        EXPECT_EQ(23u, error.SystemCode);
    }
}

TEST(StatementReaderTest, MemoryRunningOutIsRaisedAndNeverAnEnd)
{
    std::string bytes = File(3);
    CBBM2BalanceFile reader;
    TestSource* source = OpenOn(reader, &bytes, 40);
    ASSERT_FALSE(reader.CheckTransactions().Damaged);
    source->outOfMemoryAfter = 80;
    CBMLWTransactionRecord record;
    EXPECT_THROW(
        {
            while (reader.ReadTransaction(record) == StatementRead::Record) {
            }
        },
        std::bad_alloc);
}

TEST(StatementReaderTest, FailedRewindIsRaised)
{
    std::string bytes = File(2);
    CBBM2BalanceFile reader;
    OpenOn(reader, &bytes)->failRewind = true;
    EXPECT_THROW(reader.CheckTransactions(), StatementFileError);
}

TEST(StatementReaderTest, ReadingWithoutACheckNeverClaimsTheSameBytes)
{
    std::string bytes = File(1);
    CBBM2BalanceFile reader;
    OpenOn(reader, &bytes);
    CBMLWTransactionRecord record;
    EXPECT_EQ(StatementRead::Record, reader.ReadTransaction(record));
    EXPECT_EQ(StatementRead::End, reader.ReadTransaction(record));
    EXPECT_FALSE(reader.SameBytesAsChecked());
}

TEST(StatementReaderTest, FingerprintDoesNotDependOnHowTheBytesArrive)
{
    const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz";
    StatementFingerprint whole;
    whole.Add(text.data(), text.size());
    for (size_t first = 0; first <= text.size(); ++first) {
        StatementFingerprint split;
        split.Add(text.data(), first);
        split.Add(text.data() + first, 0);
        split.Add(text.data() + first, text.size() - first);
        EXPECT_TRUE(split == whole) << first;
    }
    // One byte more, one byte other, the same bytes in another order: all differ.
    StatementFingerprint longer = whole;
    longer.Add("\0", 1);
    EXPECT_TRUE(longer != whole);
    std::string other = text;
    other[20] = 'K';
    StatementFingerprint changed;
    changed.Add(other.data(), other.size());
    EXPECT_TRUE(changed != whole);
    std::string swapped = text;
    std::swap(swapped[3], swapped[11]);
    StatementFingerprint reordered;
    reordered.Add(swapped.data(), swapped.size());
    EXPECT_TRUE(reordered != whole);
    EXPECT_EQ(text.size(), whole.Size());
}
