// What one export run tells the user before its payment file is saved, and keeps after: the
// Payment Summary (count, total, failed checks, payees to check against the payee history), then
// for a saved file the payee history and the export log. Administrators may switch off, in
// BANKSERV.INI, the summary when no payee needs checking (kShowSummaryKey) and the payee check
// (kCheckPayeesKey); both are on unless set to a false value.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "payments/host_payment.h"
#include "payments/payment_file_writer.h"
#include "payments/payee_check.h"
#include "payments/payment_summary.h"
#include "settings/payee_history_file.h"
#include "settings/settings_store.h"
#include "support/background_lane.h"

extern const char kShowSummaryKey[];
extern const char kCheckPayeesKey[];

class ExportSummary {
public:
    // accountKey keys the paying account as the layout choice is; debitDate is the Ledgerway
    // layout's text, empty for the Lintrove layout.
    ExportSummary(SettingsLocation settings, std::string accountKey, bool ledgerway, std::string debitDate);
    ~ExportSummary();
    ExportSummary(const ExportSummary&) = delete;
    ExportSummary& operator=(const ExportSummary&) = delete;

    // Reads the settings and the paying account's payee history. The payees are checked in lane,
    // where the history to save is also made while the summary is shown; the lane must last until
    // Saved, or until the run ends without it. payments: the batch's size, as the host gave it.
    void Begin(BackgroundLane& lane, long payments);
    // Where the next payment is noted as it is written (in the note last started); Add then takes it.
    PaymentNotes& NextNote();
    // The payment noted in NextNote, as written; index 0 is the batch's first.
    void Add(long index, bool passed);
    // After the last payment: waits until every payee is checked, and raises what failed there.
    void EndPayments();
    // The count, failed count and total as the writer counted them in the file's own text.
    void UseTotals(const PaymentFileTotals& totals);

    // The summary's text for the file at path.
    std::string Text(const wchar_t* path);
    // Shows the summary when it is due, owned by owner; true when the file is to be saved (Save,
    // or no summary due). Meanwhile the lane merges the file's payees into the history read.
    bool Confirm(const wchar_t* path, HWND owner);
    // After the file is in place at writtenPath, with the SHA-256 of its bytes: the payee history
    // and the export log. What cannot be kept goes to the debugger output; the file stays saved.
    void Saved(const wchar_t* writtenPath, const std::string& sha256);

    long Count() const { return facts_.Count; }
    std::int64_t TotalPence() const { return facts_.TotalPence; }
    long FailedCount() const { return facts_.FailedCount; }

private:
    SettingsLocation settings_;
    std::string account_;
    SummaryFacts facts_;
    SYSTEMTIME now_{};
    bool showAlways_ = true;
    bool checkPayees_ = true;
    std::wstring historyPath_;
    std::wstring setAsidePath_;
    std::unique_ptr<PayeeHistoryRead> history_;
    std::unique_ptr<PayeeCheck> check_;
    std::wstring logPath_;
    std::map<long, std::string> resultTexts_;

    // The payments' notes, on their way to the lane's payee check a batch at a time: one is
    // filled while the others are checked, enough of them to ride out a moment when the lane falls
    // behind. They keep their room from batch to batch.
    // Each on cache lines of its own: the loop writes one while the lane reads another.
    struct alignas(64) NoteBatch {
        PaymentNotes Notes;
        BackgroundLane::Ticket Ticket = 0;
    };
    static constexpr std::size_t kBatchNotes = 1024;
    void SendBatch();
    BackgroundLane* lane_ = nullptr;
    std::array<NoteBatch, 8> batches_;
    std::size_t filling_ = 0;
    // With the payee check off, each payment is noted here in turn, for the failures' names.
    PaymentNotes unchecked_;
    // The payee the check compares, made from each note in turn (in the lane while there is one).
    NotedPayee payee_;
};
