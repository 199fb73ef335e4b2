// How payment values are written into a payment file. Everything here is independent of the
// process's locale: the files must be the same on every machine.
#pragma once

#include "support/cstring.h"

// Room for any amount text: "-", 309 digits, the point, two decimals and the terminator.
constexpr int kAmountTextSize = 320;
// The amount as "%.2f" writes it in the classic locale: "." as decimal point, no grouping, "-" when
// negative, rounded to nearest from the double's exact binary value with exact ties to even
// (0.125 gives "0.12", 1.005 gives "1.00"). Infinities and NaN give "inf", "-inf" and "nan".
// Written into a caller's buffer, without touching the heap; returns its length.
int FormatAmountInto(double amount, char (&text)[kAmountTextSize]);

// An OLE Automation date as day/month/four-digit year ("07/12/2026"); the time of day is ignored.
CString FormatDebitDate(double date);
