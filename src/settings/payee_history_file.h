// The payee history's file, "PAYEEHISTORY.TXT" beside the settings file. It is read whole, and
// written whole under a lock file: the current file is read again, this run's payees are merged in,
// and the result goes to an unfinished copy that is flushed and moved over it. Two runs saving at
// once both end up in it; a reader sees the earlier file or the whole new one.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/payee_history.h"
#include "settings/settings_store.h"

extern const char kPayeeHistoryFileName[];

// Which file a history was read from: the file's identity, size and time of its last write. A
// save puts a new file in place, so a history whose stamp is unchanged needs no second reading.
struct PayeeHistoryStamp {
    DWORD Volume = 0;
    DWORD IndexHigh = 0;
    DWORD IndexLow = 0;
    DWORD SizeHigh = 0;
    DWORD SizeLow = 0;
    FILETIME LastWrite{};
    bool Known = false;
};

// An unfinished copy of the history written ahead of its save: deleted with its holder unless the
// save moved it into place (Release).
class PreparedHistoryCopy {
public:
    PreparedHistoryCopy() = default;
    explicit PreparedHistoryCopy(std::wstring path) : path_(std::move(path)) {}
    ~PreparedHistoryCopy();
    PreparedHistoryCopy(PreparedHistoryCopy&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    PreparedHistoryCopy& operator=(PreparedHistoryCopy&& other) noexcept;
    PreparedHistoryCopy(const PreparedHistoryCopy&) = delete;
    PreparedHistoryCopy& operator=(const PreparedHistoryCopy&) = delete;

    bool Ready() const { return !path_.empty(); }
    const std::wstring& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::wstring path_;
};

struct PayeeHistoryRead {
    enum class State { Missing, Read, Damaged, Unreadable };
    State Outcome = State::Missing;
    PayeeHistory History;
    PayeeHistoryStamp Stamp;  // Read: the file read
    // Damaged or Unreadable: why, naming the file (UTF-8).
    std::string Problem;
    // Damaged: the dated name it is kept under when this run saves.
    std::wstring SetAsidePath;
    // Read or Missing: History holds this run's payees already (MergeAhead), and Prepared, when
    // ready, is a copy of it on the disk.
    bool Merged = false;
    PreparedHistoryCopy Prepared;
    // The unfinished copies of stopped runs were removed (by MergeAhead).
    bool LeftCopiesRemoved = false;
};

// The history's path; false when the settings folder cannot be determined.
bool PayeeHistoryPath(const SettingsLocation& where, std::wstring* path);

// Reads the history. A damaged one is left where it is until the next save.
PayeeHistoryRead ReadPayeeHistory(const std::wstring& path, const SYSTEMTIME& now);

// Merges the entries into a history read (or found missing) ahead of the save, and writes it to an
// unfinished copy beside path (none when path is empty): the save moves that copy into place when
// the file is still the one read (still missing). The lines' places (KnownAt) must come from this
// reading. A history damaged or unreadable is left as it is. With a path, the unfinished copies
// that stopped runs left beside it are removed, as the save would.
void MergeAhead(PayeeHistoryRead& earlier, const PayeeLines& lines, const std::wstring& path = std::wstring());

// Merges the entries (lines as PayeeLine gives them) into the history on the disk (see above). A history found damaged is moved to
// setAsidePath (or a dated name of now when empty) and a new one begins. False, with why in
// *problem, when the history could not be written; the file on the disk is then as it was.
// earlier, when given, is this run's reading of the file: its history is taken over (and left
// empty) when the file is still the one it read.
bool SavePayeeHistory(const std::wstring& path, const PayeeLines& lines, const SYSTEMTIME& now,
                      std::wstring setAsidePath, std::string* problem, PayeeHistoryRead* earlier = nullptr);

// The system's text for an error code, without its line end, as UTF-8.
std::string SystemErrorText(DWORD error);
