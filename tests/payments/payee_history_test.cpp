// The payee history's text form and file: what counts as damaged, how this run's payees merge into
// what is there, and runs saving at the same moment from several threads all ending up in it. The
// summary's money texts from pence.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "payments/payment_summary.h"
#include "settings/payee_history.h"
#include "settings/payee_history_file.h"
#include "tests/support/com_test.h"
#include "tests/support/files.h"

namespace {

PayeeEntry Entry(const std::string& account, const std::string& name, const std::string& number,
                 const std::string& date = "2026-12-07")
{
    PayeeEntry entry;
    entry.Account = account;
    entry.Payee = PayeeKey(name);
    entry.Name = name;
    entry.Details.SortCode = "123456";
    entry.Details.AccountNumber = number;
    entry.Date = date;
    return entry;
}

}  // namespace

TEST(PayeeHistoryText, PayeesAreKnownByCapitalLettersAndDigitsOnly)
{
    EXPECT_EQ("JSMITHCO2", PayeeKey("J. Smith & Co (2)"));
    EXPECT_EQ(PayeeKey("j smith co 2"), PayeeKey("J. Smith & Co (2)"));
    EXPECT_EQ("SOCI\xC3\x89T\xC3\x89", PayeeKey("Soci\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ("01234567", NormalAccountNumber(" 1234567 "));
    EXPECT_EQ("12345678", NormalAccountNumber("12345678"));
    EXPECT_EQ("AB-12", NormalAccountNumber("AB-12"));
}

TEST(PayeeHistoryText, MergesSortedAndReadsBackWhatItWrites)
{
    PayeeHistory history;
    history.Remember({PayeeLine(Entry("B", "Zed", "11111111")), PayeeLine(Entry("A", "Yan", "22222222")),
                      PayeeLine(Entry("B", "Ann", "33333333"))});
    // A later line for a payee replaces the earlier, within one merge and across merges.
    history.Remember({PayeeLine(Entry("B", "Zed", "44444444", "2026-12-08")), PayeeLine(Entry("A", "Bo\tb", "5")),
                      PayeeLine(Entry("A", "Bob", "6"))});
    const std::string text = history.Text();
    EXPECT_EQ("Payee history 1\r\n"
              "A\tBOB\tBob\t123456\t6\t\t2026-12-07\r\n"
              "A\tYAN\tYan\t123456\t22222222\t\t2026-12-07\r\n"
              "B\tANN\tAnn\t123456\t33333333\t\t2026-12-07\r\n"
              "B\tZED\tZed\t123456\t44444444\t\t2026-12-08\r\n"
              "End 4\r\n",
              text);
    PayeeHistory read;
    std::string problem;
    ASSERT_TRUE(read.Parse(text, &problem)) << problem;
    EXPECT_EQ(text, read.Text());
    PayeeEntry found;
    ASSERT_TRUE(read.Find("B", "ZED", &found));
    EXPECT_EQ("44444444", found.Details.AccountNumber);
    EXPECT_FALSE(read.Find("A", "ZED", nullptr));
    EXPECT_TRUE(read.KnowsAccount("B"));
    EXPECT_FALSE(read.KnowsAccount("C"));
}

// Where a line says its payee stood, it is merged there; a place that holds another payee (the
// file was saved again in between) is not trusted and the line is merged by its key.
TEST(PayeeHistoryText, ALineMergesWhereItsPayeeStoodOnlyWhenThatIsItsPayee)
{
    PayeeHistory history;
    history.Remember(
        std::vector<std::string>{PayeeLine(Entry("A", "Ann", "11111111")), PayeeLine(Entry("A", "Cy", "33333333"))});
    PayeeLines lines;
    lines.Add(PayeeLine(Entry("A", "Cy", "33330000", "2026-12-08")), 2);   // right: Cy is the second
    lines.Add(PayeeLine(Entry("A", "Bob", "22222222", "2026-12-08")), 1);  // wrong: Ann is the first
    lines.Add(PayeeLine(Entry("A", "Dee", "44444444", "2026-12-08")), 9);  // beyond the history
    history.Remember(lines);

    EXPECT_EQ("Payee history 1\r\n"
              "A\tANN\tAnn\t123456\t11111111\t\t2026-12-07\r\n"
              "A\tBOB\tBob\t123456\t22222222\t\t2026-12-08\r\n"
              "A\tCY\tCy\t123456\t33330000\t\t2026-12-08\r\n"
              "A\tDEE\tDee\t123456\t44444444\t\t2026-12-08\r\n"
              "End 4\r\n",
              history.Text());
}

// A history takes the lines' block as it is: lines changed or gone afterwards leave it as merged,
// and a later merge keeps what the earlier one brought.
TEST(PayeeHistoryText, AMergedHistoryKeepsItsLinesWhateverBecomesOfThem)
{
    PayeeHistory history;
    {
        PayeeLines lines;
        lines.Add(PayeeLine(Entry("A", "Ann", "11111111")));
        lines.Add(PayeeLine(Entry("A", "Cy", "33333333")));
        history.Remember(lines);
        lines.Add(PayeeLine(Entry("A", "Eve", "55555555")));
        lines.Replace(0, PayeeLine(Entry("A", "Ann", "99999999")));
        for (int round = 0; round < 5000; ++round)  // past the point where the lines compact
            lines.Replace(1, PayeeLine(Entry("A", "Cy", std::to_string(10000000 + round))));
    }
    history.Remember(std::vector<std::string>{PayeeLine(Entry("A", "Bob", "22222222"))});
    EXPECT_EQ("Payee history 1\r\n"
              "A\tANN\tAnn\t123456\t11111111\t\t2026-12-07\r\n"
              "A\tBOB\tBob\t123456\t22222222\t\t2026-12-07\r\n"
              "A\tCY\tCy\t123456\t33333333\t\t2026-12-07\r\n"
              "End 3\r\n",
              history.Text());
    PayeeEntry ann;
    ASSERT_TRUE(history.Find("A", "ANN", &ann));
    EXPECT_EQ("11111111", ann.Details.AccountNumber);
}

// A payee paid many times with changing details keeps one line, the last, however long the batch.
TEST(PayeeHistoryText, LinesReplacedManyTimesKeepTheirLastText)
{
    PayeeLines lines;
    lines.Add("first line");
    lines.Add("x");
    for (int round = 0; round < 20000; ++round)
        lines.Replace(1, std::string(1 + round % 7, static_cast<char>('a' + round % 26)));
    lines.Replace(1, "last");
    ASSERT_EQ(2u, lines.Size());
    EXPECT_EQ("first line", lines.At(0));
    EXPECT_EQ("last", lines.At(1));
}

TEST(PayeeHistoryText, WhatIsNotAWholeHistoryIsDamagedAtItsLine)
{
    const std::string line = "A\tBOB\tBob\t123456\t6\t\t2026-12-07\r\n";
    const struct {
        std::string Text;
        const char* Problem;
    } cases[] = {
        {"", "line 0: empty"},
        {"Payee list 1\r\nEnd 0\r\n", "line 1: not a payee history"},
        {"Payee history 1\r\n" + line, "line 2: cut short"},
        {"Payee history 1\r\n" + line.substr(0, 12), "line 2: a damaged payee line"},
        {"Payee history 1\r\nA\tBOB\tBob\t123456\t6\t\t07/12/2026\r\nEnd 1\r\n", "line 2: a damaged payee line"},
        {"Payee history 1\r\n" + line + line + "End 2\r\n", "line 3: payees out of order"},
        {"Payee history 1\r\n" + line + "End 2\r\n", "line 3: the number of payees does not match the last line"},
        {"Payee history 1\r\n" + line + "End 1\r\nmore\r\n", "line 4: text after the last line"},
        {"Payee history 1\r\n" + line + "End x\r\n", "line 3: a damaged last line"},
    };
    for (const auto& each : cases) {
        PayeeHistory history;
        std::string problem;
        EXPECT_FALSE(history.Parse(each.Text, &problem)) << each.Text;
        EXPECT_EQ(each.Problem, problem) << each.Text;
        EXPECT_TRUE(history.Empty());
    }
}

TEST(PayeeHistoryFile, RunsSavingAtOnceAllEndUpInIt)
{
    TemporaryFolder folder("payee-history-" + std::to_string(GetCurrentProcessId()));
    const std::wstring path = Wide(folder.File("PAYEEHISTORY.TXT"));
    SYSTEMTIME now{};
    GetLocalTime(&now);
    constexpr int kRuns = 4;
    constexpr int kSaves = 10;
    std::vector<std::thread> runs;
    std::vector<int> failures(kRuns, 0);
    for (int run = 0; run < kRuns; ++run) {
        runs.emplace_back([&, run] {
            for (int save = 0; save < kSaves; ++save) {
                std::vector<std::string> lines;
                for (int payee = 0; payee < 50; ++payee)
                    lines.push_back(
                        PayeeLine(Entry("run" + std::to_string(run),
                                        "Payee " + std::to_string(save) + " " + std::to_string(payee), "12345678")));
                std::string problem;
                if (!SavePayeeHistory(path, std::move(lines), now, L"", &problem))
                    ++failures[run];
            }
        });
    }
    for (std::thread& run : runs)
        run.join();
    EXPECT_EQ(std::vector<int>(kRuns, 0), failures);
    const PayeeHistoryRead read = ReadPayeeHistory(path, now);
    ASSERT_EQ(PayeeHistoryRead::State::Read, read.Outcome) << read.Problem;
    EXPECT_EQ(static_cast<size_t>(kRuns * kSaves * 50), read.History.Size());
    // No lock file or unfinished copy is left.
    EXPECT_EQ(std::vector<std::wstring>{L"PAYEEHISTORY.TXT"}, FolderEntries(Wide(folder.Path())));
}

TEST(PayeeHistoryFile, AnUnreadableHistoryIsSaidToBeSoNamingTheFile)
{
    TemporaryFolder folder("payee-history-held-" + std::to_string(GetCurrentProcessId()));
    const std::string path = folder.File("PAYEEHISTORY.TXT");
    WriteBytes(path, "Payee history 1\r\nEnd 0\r\n");
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    SYSTEMTIME now{};
    const PayeeHistoryRead read = ReadPayeeHistory(Wide(path), now);
    std::string problem;
    const bool saved = SavePayeeHistory(Wide(path), {}, now, L"", &problem);
    CloseHandle(held);
    EXPECT_EQ(PayeeHistoryRead::State::Unreadable, read.Outcome);
    EXPECT_EQ(0u, read.Problem.find("the payee history " + path + " could not be read: ")) << read.Problem;
    EXPECT_FALSE(saved);
    EXPECT_EQ("Payee history 1\r\nEnd 0\r\n", ReadBytes(path));
}

// A run hands its own reading of the history to the save: taken over when the file is still the
// one it read, read again when another run saved in between, so that no run's payees are lost.
TEST(PayeeHistoryFile, ASaveTakesOverItsReadingOnlyWhileTheFileIsUnchanged)
{
    TemporaryFolder folder("payee-history-reread-" + std::to_string(GetCurrentProcessId()));
    const std::string file = folder.File("PAYEEHISTORY.TXT");
    const std::wstring path = Wide(file);
    SYSTEMTIME now{};
    std::string problem;
    ASSERT_TRUE(
        SavePayeeHistory(path, std::vector<std::string>{PayeeLine(Entry("A", "Ann", "11111111"))}, now, L"", &problem))
        << problem;

    PayeeHistoryRead unchanged = ReadPayeeHistory(path, now);
    ASSERT_EQ(PayeeHistoryRead::State::Read, unchanged.Outcome);
    ASSERT_TRUE(SavePayeeHistory(path, std::vector<std::string>{PayeeLine(Entry("A", "Bob", "22222222"))}, now, L"",
                                 &problem, &unchanged))
        << problem;
    EXPECT_TRUE(unchanged.History.Empty());  // taken over

    PayeeHistoryRead stale = ReadPayeeHistory(path, now);
    ASSERT_EQ(2u, stale.History.Size());
    // Another run saves after this one read.
    ASSERT_TRUE(
        SavePayeeHistory(path, std::vector<std::string>{PayeeLine(Entry("A", "Cy", "33333333"))}, now, L"", &problem))
        << problem;
    ASSERT_TRUE(SavePayeeHistory(path, std::vector<std::string>{PayeeLine(Entry("A", "Dee", "44444444"))}, now, L"",
                                 &problem, &stale))
        << problem;

    EXPECT_EQ("Payee history 1\r\n"
              "A\tANN\tAnn\t123456\t11111111\t\t2026-12-07\r\n"
              "A\tBOB\tBob\t123456\t22222222\t\t2026-12-07\r\n"
              "A\tCY\tCy\t123456\t33333333\t\t2026-12-07\r\n"
              "A\tDEE\tDee\t123456\t44444444\t\t2026-12-07\r\n"
              "End 4\r\n",
              ReadBytes(file));
}

// The run merges its payees into its reading and writes it beside the file while the user reads
// the summary: the save moves that copy into place while the file is unchanged (or still missing),
// and merges again into the file as it is now when another run saved in between. A copy no save
// takes goes with its reading.
TEST(PayeeHistoryFile, AHistoryMergedAheadIsWrittenOnlyWhileTheFileIsAsRead)
{
    TemporaryFolder folder("payee-history-ahead-" + std::to_string(GetCurrentProcessId()));
    const std::string file = folder.File("PAYEEHISTORY.TXT");
    const std::wstring path = Wide(file);
    SYSTEMTIME now{};
    std::string problem;
    auto lines = [](const char* name, const char* number) {
        return PayeeLines(std::vector<std::string>{PayeeLine(Entry("A", name, number))});
    };
    auto entries = [&] { return FolderEntries(Wide(folder.Path())); };

    PayeeHistoryRead missing = ReadPayeeHistory(path, now);
    ASSERT_EQ(PayeeHistoryRead::State::Missing, missing.Outcome);
    const PayeeLines ann = lines("Ann", "11111111");
    MergeAhead(missing, ann, path);
    EXPECT_TRUE(missing.Merged);
    ASSERT_TRUE(missing.Prepared.Ready());
    EXPECT_EQ(1u, entries().size());  // the copy, where no file is yet
    ASSERT_TRUE(SavePayeeHistory(path, ann, now, L"", &problem, &missing)) << problem;
    EXPECT_EQ(1u, missing.History.Size());  // the copy took the file's place: not merged again
    EXPECT_FALSE(missing.Prepared.Ready());
    EXPECT_EQ(std::vector<std::wstring>{L"PAYEEHISTORY.TXT"}, entries());

    PayeeHistoryRead unchanged = ReadPayeeHistory(path, now);
    const PayeeLines bob = lines("Bob", "22222222");
    MergeAhead(unchanged, bob, path);
    ASSERT_TRUE(SavePayeeHistory(path, bob, now, L"", &problem, &unchanged)) << problem;
    EXPECT_EQ(2u, unchanged.History.Size());
    EXPECT_EQ(std::vector<std::wstring>{L"PAYEEHISTORY.TXT"}, entries());

    {
        PayeeHistoryRead stale = ReadPayeeHistory(path, now);
        const PayeeLines dee = lines("Dee", "44444444");
        MergeAhead(stale, dee, path);
        ASSERT_TRUE(SavePayeeHistory(path, lines("Cy", "33333333"), now, L"", &problem)) << problem;
        ASSERT_TRUE(SavePayeeHistory(path, dee, now, L"", &problem, &stale)) << problem;
    }
    EXPECT_EQ(std::vector<std::wstring>{L"PAYEEHISTORY.TXT"}, entries());

    EXPECT_EQ("Payee history 1\r\n"
              "A\tANN\tAnn\t123456\t11111111\t\t2026-12-07\r\n"
              "A\tBOB\tBob\t123456\t22222222\t\t2026-12-07\r\n"
              "A\tCY\tCy\t123456\t33333333\t\t2026-12-07\r\n"
              "A\tDEE\tDee\t123456\t44444444\t\t2026-12-07\r\n"
              "End 4\r\n",
              ReadBytes(file));

    // Cancelled: the copy goes with the reading, and the file stays as it was.
    {
        PayeeHistoryRead cancelled = ReadPayeeHistory(path, now);
        MergeAhead(cancelled, lines("Eve", "55555555"), path);
        EXPECT_EQ(2u, entries().size());
    }
    EXPECT_EQ(std::vector<std::wstring>{L"PAYEEHISTORY.TXT"}, entries());
    EXPECT_EQ(4u, ReadPayeeHistory(path, now).History.Size());

    // A history found damaged is not merged into: the save begins a new one.
    WriteBytes(file, "not a history\r\n");
    PayeeHistoryRead damaged = ReadPayeeHistory(path, now);
    ASSERT_EQ(PayeeHistoryRead::State::Damaged, damaged.Outcome);
    MergeAhead(damaged, ann, path);
    EXPECT_FALSE(damaged.Merged);
    EXPECT_FALSE(damaged.Prepared.Ready());
}

// A save stopped midway (its process ended) leaves an unfinished copy; the next save removes it,
// and leaves alone the copies of a process that still runs, this one's among them.
TEST(PayeeHistoryFile, ASaveRemovesTheCopiesStoppedRunsLeft)
{
    TemporaryFolder folder("payee-history-left-" + std::to_string(GetCurrentProcessId()));
    const std::string file = folder.File("PAYEEHISTORY.TXT");
    const std::string ours = file + "." + std::to_string(GetCurrentProcessId()) + "-1-0.partial";
    WriteBytes(file + ".4000000000-7-0.partial", "Payee history 1\r\nA\tHALF");
    WriteBytes(ours, "Payee history 1\r\n");
    WriteBytes(file + ".notes.partial", "someone's");
    SYSTEMTIME now{};
    std::string problem;
    ASSERT_TRUE(SavePayeeHistory(Wide(file), std::vector<std::string>{PayeeLine(Entry("A", "Ann", "11111111"))}, now,
                                 L"", &problem))
        << problem;
    EXPECT_EQ(
        (std::vector<std::wstring>{L"PAYEEHISTORY.TXT",
                                   Wide("PAYEEHISTORY.TXT." + std::to_string(GetCurrentProcessId()) + "-1-0.partial"),
                                   L"PAYEEHISTORY.TXT.notes.partial"}),
        FolderEntries(Wide(folder.Path())));

    // Merging ahead of the save removes them as well, and the save does not look again.
    WriteBytes(file + ".4000000000-8-0.partial", "Payee history 1\r\nA\tHALF");
    PayeeHistoryRead reading = ReadPayeeHistory(Wide(file), now);
    const PayeeLines bob(std::vector<std::string>{PayeeLine(Entry("A", "Bob", "22222222"))});
    MergeAhead(reading, bob, Wide(file));
    EXPECT_TRUE(reading.LeftCopiesRemoved);
    EXPECT_EQ(4u, FolderEntries(Wide(folder.Path())).size());  // the file, ours, the notes, the copy ahead
    ASSERT_TRUE(SavePayeeHistory(Wide(file), bob, now, L"", &problem, &reading)) << problem;
    EXPECT_EQ(
        (std::vector<std::wstring>{L"PAYEEHISTORY.TXT",
                                   Wide("PAYEEHISTORY.TXT." + std::to_string(GetCurrentProcessId()) + "-1-0.partial"),
                                   L"PAYEEHISTORY.TXT.notes.partial"}),
        FolderEntries(Wide(folder.Path())));
}

TEST(SummaryMoney, PenceAreShownWithThousandsAndTwoDecimals)
{
    EXPECT_EQ("0.00", FormatPence(0));
    EXPECT_EQ("0.05", FormatPence(5));
    EXPECT_EQ("-0.05", FormatPence(-5));
    EXPECT_EQ("999.99", FormatPence(99999));
    EXPECT_EQ("1,000.00", FormatPence(100000));
    EXPECT_EQ("12,345.67", FormatPence(1234567));
    EXPECT_EQ("-1,234,567.89", FormatPence(-123456789));
    EXPECT_EQ("-92,233,720,368,547,758.08", FormatPence(INT64_MIN));

    std::int64_t pence = 0;
    EXPECT_TRUE(PenceFromAmountText("1234.50", &pence));
    EXPECT_EQ(123450, pence);
    EXPECT_TRUE(PenceFromAmountText("-5.00", &pence));
    EXPECT_EQ(-500, pence);
    EXPECT_FALSE(PenceFromAmountText("inf", &pence));
    EXPECT_FALSE(PenceFromAmountText("1.5", &pence));
    EXPECT_FALSE(PenceFromAmountText("12345678901234567.00", &pence));
}
