// Many items from one source pattern: each goes through its single-item mode in
// turn, its console lines replaced by one line that says what it wrote or why it
// failed; a progress line on a terminal; a summary that lists the failures again.
#ifndef CORVANE_BATCH_H
#define CORVANE_BATCH_H

#include "state.h"

// True when the source of the mode the command line asks for holds a wildcard.
bool SourceIsPattern(const RunOptions& options);
// Converts (or extracts) every match of that source; 0 when every item worked,
// 1 otherwise, with the text in outcome.errorMessage.
int RunBatch(const RunOptions& options, RunOutcome& outcome);

#endif
