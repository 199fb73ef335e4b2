// Where the payment file goes: the save dialog that confirms the proposed name, the opening of the
// file, and the file-system virtualization that sends a non-elevated user's writes under protected
// folders to the user's VirtualStore. When the file landed there, the user is told where it is and
// may have the folder opened.
//
// One export run uses one OutputPlacement:
//     OutputPlacement placement;
//     placement.BuildFilter(extension);
//     if (!placement.ShowSaveDialog(extension, initialPath)) ... cancelled
//     PaymentFile file = placement.Open();
//     if (!file) ... could not be opened
//     ... write, then file.Close();
//     placement.NotifyRedirect();
#pragma once

#include <windows.h>

#include <cstdio>

// The platform services placement relies on. The defaults are the real ones; tests and hosts
// that must not touch the shell or the registry replace them.
class PlacementPlatform {
public:
    virtual ~PlacementPlatform() = default;
    // Whether the process can open the local service account's registry hive with full access.
    virtual bool IsElevated();
    // The user's local application data folder; false when it cannot be determined.
    virtual bool LocalAppDataFolder(char (&folder)[MAX_PATH]);
    // Opens the folder in the file manager.
    virtual void OpenFolder(const char* folder);

    // The real services.
    static PlacementPlatform& System();
    // The services an OutputPlacement made without any uses: the system's unless replaced.
    static PlacementPlatform& Current();
    // Replaces them for the whole process (null: the system's again) and returns the previous
    // ones; for tests of the export run and for hosts that answer the module unattended.
    static PlacementPlatform* Replace(PlacementPlatform* platform);
};

// An open payment file; closed when the holder goes.
class PaymentFile {
public:
    PaymentFile() = default;
    explicit PaymentFile(FILE* file) : file_(file) {}
    PaymentFile(PaymentFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    PaymentFile& operator=(PaymentFile&& other) noexcept;
    PaymentFile(const PaymentFile&) = delete;
    PaymentFile& operator=(const PaymentFile&) = delete;
    ~PaymentFile() { Close(); }

    FILE* Get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    // True when everything written reached the file.
    bool Close();

private:
    FILE* file_ = nullptr;
};

class OutputPlacement {
public:
    static constexpr size_t FilterSize = 1024;
    static constexpr size_t NoticeSize = 1024;

    explicit OutputPlacement(PlacementPlatform& platform = PlacementPlatform::Current());

    // The save dialog's list of file types for the extension (without the dot): pairs of zero-
    // terminated description and pattern, ending in two zero bytes.
    void BuildFilter(const char* extension);
    const char* Filter() const { return filter_; }

    // Shows the save dialog, owned by the active window, starting from initialPath and adding the
    // extension to a name typed without one. True when the user confirmed a name (ChosenPath).
    bool ShowSaveDialog(const char* extension, const char* initialPath);
    // Takes a path chosen some other way (an unattended run); false when it does not fit MAX_PATH.
    bool Choose(const char* path);
    const char* ChosenPath() const { return chosenPath_; }

    // Opens the chosen path for writing (created or emptied); for a non-elevated user whose open
    // fails, the same path in the VirtualStore. Empty when neither could be opened.
    PaymentFile Open();
    // Where Open put the file ("" when it failed), and whether that is the VirtualStore.
    const char* WrittenPath() const { return writtenPath_; }
    bool OpenedInVirtualStore() const { return openedInVirtualStore_; }
    // The chosen path's place in the user's VirtualStore; "" when it has none (no local
    // application data folder, a path without a drive letter, or a result longer than MAX_PATH).
    const char* VirtualStorePath() const { return virtualStorePath_; }

    // Deletes the file Open made, once it is closed, and forgets it: a run that could not write
    // every record leaves no file that would pass for a whole payment file.
    void DiscardWrittenFile();

    // After the file was closed: when this run's file is in the VirtualStore, tells the user and
    // on Yes opens its folder. True when the notice was shown.
    bool NotifyRedirect();

private:
    void BuildVirtualStorePath();
    bool VirtualStoreWrittenThisRun() const;

    PlacementPlatform& platform_;
    char filter_[FilterSize] = {};
    char chosenPath_[MAX_PATH] = {};
    char virtualStorePath_[MAX_PATH] = {};
    char writtenPath_[MAX_PATH] = {};
    bool elevated_ = false;
    bool openedInVirtualStore_ = false;
    FILETIME openedAt_{};
};
