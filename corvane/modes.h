// The six modes the driver chooses from. Each mode returns 0 when it finished
// and 1 when it failed, with the text in the outcome's errorMessage.
#ifndef CORVANE_MODES_H
#define CORVANE_MODES_H

#include <string>

#include "state.h"

int RunModelConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome);
int RunPackList(const RunOptions& options, ItemState& item, RunOutcome& outcome);
int RunPackExtract(const RunOptions& options, ItemState& item, RunOutcome& outcome);
int RunPictureConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome);
// A pack from the files a disk pattern matches (-pakcreate).
int RunPackCreate(const RunOptions& options, RunOutcome& outcome);
// A picture lump, sprite or WAD2 from image files (-image).
int RunImageConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome);

// Runs the mode of `kind` on one item.
int RunMode(ModeKind kind, const RunOptions& options, ItemState& item, RunOutcome& outcome);

// Exchanges Y and Z of every vertex of the frame `frameName` (the model mode's -swapyz).
void SwapFrameYZ(VNLMODEL_T& model, const std::string& frameName);

#endif
