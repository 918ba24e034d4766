// The plain-text report of what a run read.
#ifndef CORVANE_REPORT_H
#define CORVANE_REPORT_H

#include <cstdint>
#include <ctime>

#include "skin_coverage.h"  // SkinCoverage, which the report prints
#include "state.h"

// Writes the run's reportFile (nothing when it is empty).
void WriteReport(const RunOptions& options, const ItemState& item, RunOutcome& outcome);

// Tests pin the report's date and time with a fixed moment; null restores the clock.
void SetReportTime(const std::tm* fixed);

#endif
