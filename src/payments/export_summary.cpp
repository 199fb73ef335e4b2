#include "payments/export_summary.h"

#include <cstdio>

#include "payments/export_log.h"
#include "payments/payment_resources.h"
#include "payments/summary_window.h"
#include "support/cstring.h"
#include "support/platform.h"
#include "support/text_conversion.h"

const char kShowSummaryKey[] = "ShowPaymentSummary";
const char kCheckPayeesKey[] = "CheckPayees";

namespace {

std::string Utf8(const wchar_t* text)
{
    return text ? Utf8FromWide(text) : std::string();
}

std::string IsoDate(const SYSTEMTIME& time)
{
    char date[16] = {};
    std::snprintf(date, sizeof date, "%04u-%02u-%02u", time.wYear, time.wMonth, time.wDay);
    return date;
}

void Trace(const std::string& text)
{
    platform::DebugOutput(text.c_str());
}

}  // namespace

ExportSummary::ExportSummary(SettingsLocation settings, std::string accountKey, bool ledgerway, std::string debitDate)
    : settings_(std::move(settings)), account_(std::move(accountKey))
{
    // Payments made with no paying account known are remembered together.
    if (account_.empty())
        account_ = "-";
    facts_.Layout = ledgerway ? "Ledgerway" : "Lintrove";
    facts_.DebitDate = ledgerway ? std::move(debitDate) : std::string();
    GetLocalTime(&now_);
}

ExportSummary::~ExportSummary() = default;

void ExportSummary::Begin(BackgroundLane& lane, long payments)
{
    lane_ = &lane;
    int flag = 1;
    if (ReadSettingFlag(settings_, kShowSummaryKey, &flag))
        showAlways_ = flag != 0;
    flag = 1;
    if (ReadSettingFlag(settings_, kCheckPayeesKey, &flag))
        checkPayees_ = flag != 0;

    if (!checkPayees_) {
        facts_.Payees = SummaryFacts::Check::Off;
        return;
    }
    if (!PayeeHistoryPath(settings_, &historyPath_)) {
        facts_.Payees = SummaryFacts::Check::NotCompared;
        facts_.PayeeProblem = "the folder of the module's settings cannot be found.";
        check_ = std::make_unique<PayeeCheck>(nullptr, account_, IsoDate(now_));
        return;
    }
    history_ = std::make_unique<PayeeHistoryRead>(ReadPayeeHistory(historyPath_, now_));
    switch (history_->Outcome) {
    case PayeeHistoryRead::State::Read:
    case PayeeHistoryRead::State::Missing:
        check_ = std::make_unique<PayeeCheck>(&history_->History, account_, IsoDate(now_),
                                              payments > 0 ? static_cast<std::size_t>(payments) : 0);
        facts_.Payees = check_->KnowsAccount() ? SummaryFacts::Check::Compared : SummaryFacts::Check::NothingEarlier;
        break;
    case PayeeHistoryRead::State::Damaged:
    case PayeeHistoryRead::State::Unreadable:
        facts_.Payees = SummaryFacts::Check::NotCompared;
        facts_.PayeeProblem = history_->Problem;
        setAsidePath_ = history_->SetAsidePath;
        check_ = std::make_unique<PayeeCheck>(nullptr, account_, IsoDate(now_));
        break;
    }
}

PaymentNotes& ExportSummary::NextNote()
{
    if (!check_) {
        unchecked_.Clear();
        unchecked_.Start();
        return unchecked_;
    }
    NoteBatch& batch = batches_[filling_];
    if (batch.Notes.Size() == 0)
        batch.Notes.Reserve(kBatchNotes);
    if (batch.Ticket != 0) {
        lane_->WaitFor(batch.Ticket);
        batch.Ticket = 0;
        batch.Notes.Clear();
    }
    batch.Notes.Start();
    return batch.Notes;
}

void ExportSummary::Add(long index, bool passed)
{
    PaymentNotes& notes = check_ ? batches_[filling_].Notes : unchecked_;
    PaymentNote& note = notes.Last();
    note.Passed = passed;
    if (!passed && facts_.Failures.size() < kSummaryListLimit) {
        const long code = note.ResultCode != 0 ? note.ResultCode : note.RtiResultCode;
        auto text = resultTexts_.find(code);
        if (text == resultTexts_.end()) {
            CString loaded;
            loaded.LoadString(platform::ResourceModule(), IDS_RESULT_BASE + static_cast<unsigned int>(code));
            text = resultTexts_.emplace(code, std::string(static_cast<const char*>(loaded))).first;
        }
        facts_.Failures.push_back(
            SummaryFailure{index + 1, Utf8FromWide(notes.Text(note, PaymentNote::PayeeName)), text->second});
    }
    if (check_ && notes.Size() == kBatchNotes)
        SendBatch();
}

void ExportSummary::SendBatch()
{
    NoteBatch& batch = batches_[filling_];
    if (batch.Notes.Size() == 0 || batch.Ticket != 0)
        return;
    PayeeCheck* check = check_.get();
    NotedPayee* payee = &payee_;
    const PaymentNotes* notes = &batch.Notes;
    batch.Ticket = lane_->Post([check, payee, notes] {
        const std::size_t count = notes->Size();
        for (std::size_t i = 0; i < count; ++i) {
            PayeeOf(*notes, i, *payee);
            check->Add(*payee, (*notes)[i].Passed);
        }
    });
    filling_ = (filling_ + 1) % batches_.size();
}

void ExportSummary::EndPayments()
{
    if (check_) {
        SendBatch();
        lane_->Wait();
    }
}

void ExportSummary::UseTotals(const PaymentFileTotals& totals)
{
    facts_.Count = totals.Records;
    facts_.FailedCount = totals.FailedRecords;
    facts_.TotalPence = totals.TotalPence;
    facts_.TotalExact = totals.UnreadAmounts == 0;
}

std::string ExportSummary::Text(const wchar_t* path)
{
    facts_.FilePath = Utf8(path);
    // The check lists its payees once: they are the summary's from then on.
    if (check_ && facts_.PayeesToCheck.empty()) {
        facts_.PayeesToCheckCount = check_->Count();
        facts_.PayeesToCheck = check_->TakeListed();
    }
    facts_.LogProblem.clear();
    std::string problem;
    if (!ExportLogPath(settings_, &logPath_))
        facts_.LogProblem = "the folder of the module's settings cannot be found.";
    else if (!CanAppendExportLog(logPath_, &problem))
        facts_.LogProblem = problem;
    return BuildSummaryText(facts_);
}

bool ExportSummary::Confirm(const wchar_t* path, HWND owner)
{
    const std::string text = Text(path);
    // The save then only writes it, when the file is still the one read.
    if (check_ && history_) {
        PayeeHistoryRead* history = history_.get();
        const PayeeCheck* check = check_.get();
        const std::wstring* path = &historyPath_;
        lane_->Post([history, check, path] { MergeAhead(*history, check->Remembered(), *path); });
    }
    const bool payeesToCheck = facts_.Payees == SummaryFacts::Check::Compared && facts_.PayeesToCheckCount > 0;
    if (!showAlways_ && !payeesToCheck)
        return true;
    // A summary that cannot be shown saves nothing: the user has not seen what the file pays.
    return ShowPaymentSummary(owner, text) == IDOK;
}

void ExportSummary::Saved(const wchar_t* writtenPath, const std::string& sha256)
{
    if (check_ && !historyPath_.empty()) {
        // The save takes over this run's reading when the file is unchanged; else it reads it again.
        std::string problem = "the payees could not be merged into it.";
        bool merged = true;
        try {
            lane_->Wait();
        } catch (...) {
            merged = false;
        }
        if (!merged ||
            !SavePayeeHistory(historyPath_, check_->Remembered(), now_, setAsidePath_, &problem, history_.get()))
            Trace("Payee history not kept: " + problem);
        // A history of many payees takes a moment to let go: the lane does it beside the log line.
        std::shared_ptr<PayeeCheck> check(std::move(check_));
        std::shared_ptr<PayeeHistoryRead> history(std::move(history_));
        try {
            lane_->Post([check = std::move(check), history = std::move(history)]() mutable {
                check.reset();
                history.reset();
            });
        } catch (...) {
            // An earlier job's failure, already told: they go here instead.
        }
    }

    if (logPath_.empty())
        return;
    ExportLogEntry entry;
    GetLocalTime(&entry.LocalTime);
    entry.User = CurrentUserName();
    entry.Computer = CurrentComputerName();
    entry.Account = account_;
    entry.Layout = facts_.Layout;
    entry.Path = Utf8(writtenPath);
    entry.Records = facts_.Count;
    entry.Failed = facts_.FailedCount;
    entry.TotalPence = facts_.TotalPence;
    entry.Sha256 = sha256;
    std::string problem;
    if (!AppendExportLog(logPath_, entry, &problem))
        Trace("Export log not written: " + problem);
}
