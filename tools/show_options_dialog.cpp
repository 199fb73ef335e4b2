// Shows the payment options dialog so that a picture can be taken of it (scripts/show-options-dialog).
//     show_options_dialog MARKER [SECONDS]
// Once the dialog is drawn, its screen rectangle ("left top right bottom") is written to MARKER;
// the dialog is cancelled when MARKER is removed again, or after SECONDS (default 60).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "payments/options_dialog.h"

namespace {

const char kCaption[] = "Brenmark Ledgerway/Lintrove Payment Processing";

std::string marker;
DWORD deadline = 0;
HWND dialog = nullptr;
bool marked = false;

bool MarkerExists()
{
    return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!dialog)
        dialog = FindWindowA(nullptr, kCaption);
    if (!dialog || !IsWindowVisible(dialog))
        return;
    if (!marked) {
        RedrawWindow(dialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        RECT rect{};
        GetWindowRect(dialog, &rect);
        // Written aside and renamed, so that the script never reads half a line.
        const std::string partial = marker + ".part";
        if (FILE* file = std::fopen(partial.c_str(), "wb")) {
            std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
            std::fclose(file);
            MoveFileExA(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING);
            marked = true;
        }
        return;
    }
    if (!MarkerExists() || GetTickCount() > deadline)
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: show_options_dialog MARKER [SECONDS]\n");
        return 2;
    }
    marker = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    deadline = GetTickCount() + static_cast<DWORD>(seconds > 0 ? seconds : 60) * 1000;

    // A fixed date, so that the picture does not change from one day to the next.
    SYSTEMTIME date{2024, 6, 0, 28, 9, 0, 0, 0};
    DATE debitDate = 0;
    SystemTimeToVariantTime(&date, &debitDate);
    CLintroveInfoDialog options(debitDate, 0, "401122_87654321", 1);

    SetTimer(nullptr, 0, 200, Tick);
    const INT_PTR result = options.DoModal(nullptr);
    return result == IDCANCEL ? 0 : 1;
}
