// Where the payment file goes: the save dialog that confirms the proposed name, the writing of the
// file whole or not at all, and the file-system virtualization that sends a non-elevated user's
// writes under protected folders to the user's VirtualStore. When the file landed there, the user
// is told where it is and may have the folder opened.
//
// A payment file is uploaded to the bank as it stands, and nothing in the Lintrove layout shows a
// missing record: so the records go to an unfinished copy beside the chosen path, which is flushed
// to the disk, closed and only then moved over the chosen path. Whatever ends a run before the
// move, the chosen path holds what it held before.
//
// Anyone who may write in the chosen folder could otherwise prepare that copy (a hard link to
// another file, a file of their own): so its name has a random part, it is created new with the
// folder's inherited permissions, no reparse point is followed, and a copy with more than one
// name is refused. Copies that dead runs left are deleted only when they are plain files with one
// name of exactly the form this module gives.
//
// One export run uses one OutputPlacement, over the platform it is given:
//     OutputPlacement placement(platform);
//     placement.BuildFilter(extension);
//     if (!placement.ShowSaveDialog(extension, initialPath)) ... cancelled
//     PaymentFile file = placement.Open();
//     if (!file) ... could not be made: placement.ShowWriteFailure()
//     ... write (PaymentFileWriter); placement.NoteWriteFailure(writer.Error()) after a failed write
//     if (!placement.Commit(file)) ... not written: placement.ShowWriteFailure()
//     placement.NotifyRedirect();
#pragma once

#include <windows.h>

#include <cstdio>

// The platform services placement relies on. System() gives the real ones; a run is handed the
// services it is to use, so tests decide who is elevated, where the VirtualStore is, and which
// step of the file's writing fails.
class PlacementPlatform {
public:
    virtual ~PlacementPlatform() = default;
    // Whether the process can open the local service account's registry hive with full access.
    virtual bool IsElevated();
    // The user's local application data folder; false when it cannot be determined.
    virtual bool LocalAppDataFolder(wchar_t (&folder)[MAX_PATH]);
    // Opens the folder in the file manager.
    virtual void OpenFolder(const wchar_t* folder);

    // Fills the buffer with random bytes; false when the system cannot give them.
    virtual bool Random(unsigned char* bytes, unsigned long size);

    // The steps of writing a file. Each gives ERROR_SUCCESS or the system's error code.
    // Creates a new file for writing in binary mode, others may read it: never one that exists,
    // never through a reparse point, with the permissions the folder gives its new files.
    virtual DWORD Create(const wchar_t* path, std::FILE** file);
    // Sends what is written to the disk: the C runtime's buffers, then the system's.
    virtual DWORD Flush(std::FILE* file);
    // Closes the file, whatever the result.
    virtual DWORD Close(std::FILE* file);
    // Moves a closed file over the target, replacing it.
    virtual DWORD Move(const wchar_t* from, const wchar_t* to);

    // The real services.
    static PlacementPlatform& System();
};

// An open payment file; closed (without flushing to the disk) when the holder goes.
class PaymentFile {
public:
    PaymentFile() = default;
    explicit PaymentFile(std::FILE* file) : file_(file) {}
    PaymentFile(PaymentFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    PaymentFile& operator=(PaymentFile&& other) noexcept;
    PaymentFile(const PaymentFile&) = delete;
    PaymentFile& operator=(const PaymentFile&) = delete;
    ~PaymentFile() { Close(); }

    std::FILE* Get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    // Gives up the file to the caller.
    std::FILE* Release();
    // True when everything written reached the file.
    bool Close();

private:
    std::FILE* file_ = nullptr;
};

class OutputPlacement {
public:
    static constexpr size_t FilterSize = 1024;
    static constexpr size_t NoticeSize = 1024;
    // The unfinished copy's name: the chosen name, this marker and RandomDigits upper-case
    // hexadecimal digits (the chosen name cut when the whole would not fit MAX_PATH).
    static constexpr const wchar_t* UnfinishedMarker = L".partial-";
    static constexpr size_t RandomDigits = 16;

    explicit OutputPlacement(PlacementPlatform& platform);
    // The unfinished copy goes if the run ends without Commit.
    ~OutputPlacement();
    OutputPlacement(const OutputPlacement&) = delete;
    OutputPlacement& operator=(const OutputPlacement&) = delete;

    // The save dialog's list of file types for the extension (without the dot): pairs of zero-
    // terminated description and pattern, ending in two zero characters.
    void BuildFilter(const char* extension);

    // Shows the save dialog, owned by the active window, starting from initialPath (the host's
    // ANSI text) and adding the extension to a name typed without one. True when the user
    // confirmed a name (ChosenPath), in any script.
    bool ShowSaveDialog(const char* extension, const char* initialPath);
    // The path the user chose, which the Payment Summary names.
    const wchar_t* ChosenPath() const { return chosenPath_; }

    // Creates the unfinished copy beside the chosen path; for a non-elevated user whose chosen
    // folder refuses to create it (access denied), beside the chosen path's place in the
    // VirtualStore. Copies left there by runs that died go first. Empty when none could be made, or
    // the one made has another name too (see Failure).
    PaymentFile Open();
    // Records that writing to the file failed, with the C runtime's reason (an errno value).
    void NoteWriteFailure(int runtimeError);
    // Flushes the file to the disk, closes it and moves it over its place. False, with the
    // unfinished copy gone and the place as it was, when a write failed before or any step fails
    // (a file at the place that cannot be replaced among them: the new one goes nowhere else).
    bool Commit(PaymentFile& file);
    // Where Commit put the file ("" until it did): the export log's line names it.
    const wchar_t* WrittenPath() const { return writtenPath_; }
    // Closes the file and deletes the unfinished copy: the place stays as it was.
    void Discard(PaymentFile& file);

    // Tells the user, in one message owned by the active window, which file could not be written
    // and why. Nothing when nothing failed.
    void ShowWriteFailure() const;

    // After Commit: when this run's file is in the VirtualStore, tells the user and on Yes opens
    // its folder. True when the notice was shown.
    bool NotifyRedirect();

private:
    // The tests' view of what a run keeps to itself.
    friend class PlacementProbe;

    void BuildVirtualStorePath();
    bool VirtualStoreWrittenThisRun() const;
    void Fail(const wchar_t* path, DWORD error);
    void DeleteUnfinished();
    // Creates the unfinished copy for the place, after deleting the copies dead runs left there.
    DWORD CreateUnfinished(const wchar_t* place, std::FILE** file);

    PlacementPlatform& platform_;
    // The save dialog's list of file types (see BuildFilter) and the path the user chose.
    wchar_t filter_[FilterSize] = {};
    wchar_t chosenPath_[MAX_PATH] = {};
    // The chosen path's place in the user's VirtualStore; "" when it has none (no local
    // application data folder, a path without a drive letter, or a result longer than MAX_PATH).
    wchar_t virtualStorePath_[MAX_PATH] = {};
    // The unfinished copy Open made ("" when none is kept), and where Commit put the file.
    wchar_t unfinishedPath_[MAX_PATH] = {};
    wchar_t writtenPath_[MAX_PATH] = {};
    // Why the file could not be written: the path concerned and the system's error code
    // (ERROR_SUCCESS when nothing failed).
    wchar_t failedPath_[MAX_PATH] = {};
    DWORD failure_ = ERROR_SUCCESS;
    bool elevated_ = false;
    bool openedInVirtualStore_ = false;
    FILETIME openedAt_{};
};
