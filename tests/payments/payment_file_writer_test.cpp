// The payment file's writer: CR LF line ends whatever the platform's, bytes exactly as written, the
// first failed write kept, records and failures counted, amounts totalled in pence as the file
// shows them; and the SHA-256 of the written bytes (known vectors, pieces, the file read back).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "payments/payment_file_writer.h"
#include "payments/sha256.h"
#include "support/hresult.h"
#include "tests/support/files.h"

namespace {

// Keeps what the writer hands to the file.
class Recorder : public WrittenBytesObserver {
public:
    void Add(const void* bytes, std::size_t count) override { Seen.append(static_cast<const char*>(bytes), count); }
    std::string Seen;
};

std::string HashOf(const std::string& bytes)
{
    Sha256 hash;
    hash.Add(bytes.data(), bytes.size());
    return Sha256::Hex(hash.Finish());
}

class PaymentFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        file_ = std::fopen(path_.Path().c_str(), "wb");
        ASSERT_NE(nullptr, file_);
    }
    void TearDown() override
    {
        if (file_)
            std::fclose(file_);
    }
    std::string Bytes()
    {
        std::fclose(file_);
        file_ = nullptr;
        return path_.Bytes();
    }

    TemporaryFile path_{".csv"};
    std::FILE* file_ = nullptr;
};

TEST_F(PaymentFileWriterTest, LinesEndInCrLfAsInATextModeFileWhateverThePlatform)
{
    Recorder recorder;
    PaymentFileWriter writer(file_, &recorder);

    writer.Write("DebitDate,BankRef", 17);
    writer.EndLine();
    writer.Write("a\nb\r", 4);  // a line feed in a text too, as a text-mode file writes it
    writer.EndRecord(true);

    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(0, writer.Error());
    const std::string expected = "DebitDate,BankRef\r\na\r\nb\r\r\n";
    EXPECT_EQ(expected, Bytes());
    EXPECT_EQ(expected, recorder.Seen);
}

TEST_F(PaymentFileWriterTest, RecordsFailuresAndTheAmountsAsWrittenAreCounted)
{
    PaymentFileWriter writer(file_);
    const struct {
        const char* Amount;
        bool Passed;
    } records[] = {
        {"1234.50", true}, {"123456789.9", false},  // a Lintrove amount cut to 11 characters: the file says .90
        {"-5.00", true},   {"0.07", false},        {"nan", false},  // no number: not in the total
    };
    for (const auto& record : records) {
        writer.Write("x", 1);
        writer.NoteAmount(record.Amount, std::char_traits<char>::length(record.Amount));
        writer.EndRecord(record.Passed);
    }
    writer.EndLine();  // a line that is no record

    const PaymentFileTotals& totals = writer.Totals();
    EXPECT_EQ(5, totals.Records);
    EXPECT_EQ(3, totals.FailedRecords);
    EXPECT_EQ(123450LL + 12345678990LL - 500LL + 7LL, totals.TotalPence);
    EXPECT_EQ(1, totals.UnreadAmounts);
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ("x\r\nx\r\nx\r\nx\r\nx\r\n\r\n", Bytes());
}

TEST(ReadAmountPenceTest, ReadsTheFilesAmountTextsExactlyAndNothingElse)
{
    const struct {
        const char* Text;
        bool Read;
        long long Pence;
    } cases[] = {
        {"0.00", true, 0},
        {"12", true, 1200},
        {"1.5", true, 150},
        {"-0.01", true, -1},
        {"100000000000.00", true, 10000000000000LL},
        {"92233720368547758.07", true, 9223372036854775807LL},
        {"92233720368547758.08", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {".", false, 0},
        {"1.234", false, 0},
        {"1e5", false, 0},
        {"1,00", false, 0},
        {" 1.00", false, 0},
        {"inf", false, 0},
        {"-nan", false, 0},
    };
    for (const auto& c : cases) {
        long long pence = -42;
        EXPECT_EQ(c.Read, ReadAmountPence(c.Text, std::char_traits<char>::length(c.Text), pence)) << c.Text;
        if (c.Read) {
            EXPECT_EQ(c.Pence, pence) << c.Text;
        }
    }
}

TEST_F(PaymentFileWriterTest, ATotalThatWouldOverflowLeavesTheAmountOut)
{
    PaymentFileWriter writer(file_);
    writer.NoteAmount("92233720368547758.07", 20);
    writer.NoteAmount("0.01", 4);
    EXPECT_EQ(9223372036854775807LL, writer.Totals().TotalPence);
    EXPECT_EQ(1, writer.Totals().UnreadAmounts);
}

TEST_F(PaymentFileWriterTest, TheFirstFailedWriteIsKeptAndNothingIsWrittenAfterIt)
{
    std::fclose(file_);
    file_ = std::fopen(path_.Path().c_str(), "rb");  // every write to it fails
    ASSERT_NE(nullptr, file_);
    Recorder recorder;
    PaymentFileWriter writer(file_, &recorder);

    // More than the writer gathers before it writes: the first write fails on the way.
    const std::string record(100 * 1024, 'x');
    writer.Write(record.data(), record.size());
    EXPECT_TRUE(writer.Failed());
    const int first = writer.Error();
    writer.EndRecord(true);

    EXPECT_NE(0, first);
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(first, writer.Error());
    EXPECT_EQ("", recorder.Seen);
}

TEST_F(PaymentFileWriterTest, AFailedWriteOfTheLastBytesShowsAtFinish)
{
    std::fclose(file_);
    file_ = std::fopen(path_.Path().c_str(), "rb");
    ASSERT_NE(nullptr, file_);
    Recorder recorder;
    PaymentFileWriter writer(file_, &recorder);

    writer.Write("123456,", 7);
    writer.EndRecord(true);
    EXPECT_FALSE(writer.Finish());
    EXPECT_NE(0, writer.Error());
    EXPECT_EQ("", recorder.Seen);
}

TEST(PaymentFileWriterNullTest, NoFileIsRefused)
{
    EXPECT_THROW(PaymentFileWriter(nullptr), HRESULT);
}

// ---------------------------------------------------------------------------------------------
// SHA-256.

TEST(Sha256Test, KnownVectors)
{
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", HashOf(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", HashOf("abc"));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", HashOf(std::string(1000000, 'a')));
}

TEST(Sha256Test, BytesAddedInPiecesHashAsOne)
{
    const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    Sha256 hash;
    for (char c : text)
        hash.Add(&c, 1);
    EXPECT_EQ(HashOf(text), Sha256::Hex(hash.Finish()));
}

// Hashed in a lane, as the export does: pieces of every size, across the lane's copies, give the
// hash of the bytes in their order.
TEST(Sha256Test, HashedInALaneAsHere)
{
    std::string bytes;
    for (int i = 0; bytes.size() < 600 * 1024; ++i)
        bytes += std::to_string(i * 7919) + ",";
    const size_t pieces[] = {1, 63, 64 * 1024, 64 * 1024 + 1, 3, 200 * 1024, 17};
    BackgroundLane lane;
    Sha256 hash(&lane);
    size_t at = 0;
    for (int round = 0; at < bytes.size(); ++round) {
        const size_t piece = std::min(pieces[round % 7], bytes.size() - at);
        hash.Add(bytes.data() + at, piece);
        at += piece;
    }
    EXPECT_EQ(HashOf(bytes), Sha256::Hex(hash.Finish()));
}

TEST_F(PaymentFileWriterTest, TheDigestIsTheHashOfTheFilesBytes)
{
    Sha256 digest;
    PaymentFileWriter writer(file_, &digest);
    writer.Write("DebitDate,BankRef,DBAcNo", 24);
    writer.EndLine();
    for (int i = 0; i < 1000; ++i) {
        writer.Write("07/12/2026,0012,87654321", 24);
        writer.NoteAmount("99.90", 5);
        writer.EndRecord(true);
    }
    ASSERT_TRUE(writer.Finish());

    const std::string hex = Sha256::Hex(digest.Finish());
    EXPECT_EQ(HashOf(Bytes()), hex);
    EXPECT_EQ(64u, hex.size());
}

}  // namespace
