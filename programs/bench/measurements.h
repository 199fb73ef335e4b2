// The benchmark's measurements, each run in a process of its own so that the peak working set it
// reports belongs to that run alone.
//
// A measurement prints one line "RESULT key=value ..." (scripts/bench makes its table from them):
//   call_seconds    the whole ExportPayments or ImportStatement call, dialogs included
//   loop_seconds    export: from the run's fetch of payment 0 for its record loop to the call's
//                   return (the file is open by then); import: the whole call (it shows no dialog)
//   floor_seconds   the floor of floors.h over the same items
//   base_ws_kib     working set just before the call, with the batch or statement file made
//   loop_ws_kib     export: working set when the record loop fetched payment 0 (import: base)
//   end_ws_kib      working set just after the call
//   peak_ws_kib     peak working set just after the first call
//   extra_peak_ws_kib  the two differences; peak_raised=no means the process had peaked higher
//                   before the call, so the figure is only an upper bound
// With REPEATS above 1 the module's call and the floor run again, alternately, and the fastest of
// each is reported (memory always comes from the first call), with the spread of each, the slowest
// run's excess over the fastest (loop_spread, floor_spread: 0.05 is 5 per cent). "allvalid" makes every payment pass
// every check (op=export-allvalid): the difference is what the failed checks cost.
#pragma once

#include <string>

#include "bench/floors.h"

namespace bench {

// RESULT op=export (export-allvalid): the module's export of count payments against its floor.
// How an export measurement's batch and the module's payee history are set: the mixed batch; every
// payment valid; one payee per payment, compared with the payee history the last run left
// (History) or with the payee check switched off in BANKSERV.INI (HistoryOff).
enum class ExportKind { Mixed, AllValid, History, HistoryOff };

int MeasureExport(Layout layout, long count, const std::string& folder, int repeats, ExportKind kind);

// RESULT op=host-call: the import as the sample host program makes it; the statement file at path
// is left for the whole-process run.
int MeasureHostCall(long count, const std::string& path, int repeats);

// RESULT op=import: the module's import of a statement of count lines against its floor.
int MeasureImport(long count, const std::string& folder, int repeats);

// CHECK lines: the floors make the module's calls, bytes and debugger traces. 0 when they do.
int Check(const std::string& folder);

// PROFILE lines: the module's heap and BSTR allocations per item.
int Profile(const std::string& folder, long count);

}  // namespace bench
