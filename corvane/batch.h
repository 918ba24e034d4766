// Many items from one source pattern: each goes through its single-item mode in
// turn, its console lines replaced by one line that says what it wrote or why it
// failed; a progress line on a terminal; a summary that lists the failures again.
#ifndef CORVANE_BATCH_H
#define CORVANE_BATCH_H

#include <set>
#include <string>
#include <vector>

#include "state.h"

// What the item in progress wrote and what failed; the output module fills it
// while the run's batchItem points to it.
struct BatchItem {
  std::vector<std::string> written;
  std::vector<std::string> failures;       // "name (reason)"
  std::set<std::string>* runOutputs = nullptr;  // every output published in this run
};

// True when the source of the mode the command line asks for holds a wildcard.
bool SourceIsPattern(const ConverterState& state);
// Converts (or extracts) every match of that source; 0 when every item worked,
// 1 otherwise, with the text in state.errorMessage.
int RunBatch(ConverterState& state);

// The output module's notes about the item in progress (nothing outside a batch).
void NoteOutputWritten(ConverterState& state, const std::string& name);
void NoteOutputFailed(ConverterState& state, const std::string& name, const std::string& reason);
// True when an earlier item of the run already wrote `name`.
bool OutputWrittenEarlier(const ConverterState& state, const std::string& name);

#endif
