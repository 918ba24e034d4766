// An output file's whole life: its name, the user's consent, a temporary file
// beside the target, checked writes, publishing, and a failure that counts
// against the run's exit code.
//
// Names are cleaned with "\" separators; they become "/" here, where they meet
// the file system. A name that is a symbolic link keeps the link: the file it
// points to is asked about and written, unless the link lies in a folder anyone
// may write to and belongs neither to the user nor to the folder's owner. The
// target's folder is opened once; the bytes go to a temporary file created in
// it, which becomes the target only once complete, all relative to that folder
// (a folder renamed or swapped for a link meanwhile changes nothing):
// - an existing file is replaced by a rename, after the temporary file reached
//   the disk (fsync), and keeps its permission bits;
// - a new file is published by a rename that refuses to replace; a file that
//   appeared since the question is asked about like any other.
// An output that is one of the run's sources (its pack, palette or model file:
// the same file, whatever the name) is refused, -replace and Always included.
// A write that fails leaves the old file as it was and no temporary file behind,
// and so do SIGINT, SIGTERM, SIGHUP and SIGXFSZ (the process then ends with
// that signal's usual status).
//
// An output that was to be written and was not, for any reason but the user's
// No, gets its line "  Failed:   "name" (reason)" where it is written, and
// counts in the outcome's failedOutputs. Each failure and each published output
// is noted in the outcome's journal (state.h), where the code that ran the
// conversion reads it; this module calls nothing above it.
//
// Two verbs record a failure of an output: FailOutput, on the output in flight or
// on the name of one that was never opened.
//
// At most two outputs are in flight at a time (a pair published together): a
// writer publishes or abandons them before it opens the next.
#ifndef CORVANE_OUTPUT_H
#define CORVANE_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "state.h"

// An output between OpenOutput and PublishOutput (or AbandonOutput).
struct Output {
  std::string name;                     // as the user gave it, with "\" separators
  std::string target;                   // the file written: the host path, or where its link points
  std::string leaf;                     // the target's name in its folder
  std::string temporary;                // the temporary file's name in the target's folder
  int folder = -1;                      // the target's folder, open while the output is in flight
  int fd = -1;                          // the temporary file, open while the output is in flight
  int slot = -1;                        // where the signal handler finds the temporary file
  bool replacing = false;               // an existing file is to be replaced, with the user's consent
  bool failed = false;                  // its failure line was said
  uint32_t keptMode = 0;                // the permission bits the file gets
  const RunOptions* options = nullptr;  // the run's options: its sources, -replace
  RunOutcome* outcome = nullptr;        // where its failure, its publishing and an Always are noted

  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();  // abandons an output still in flight
};

// "\" to "/".
std::string HostPath(const std::string& name);
// True for an existing file that is not a folder (hidden files count; a link
// counts as the file it points to).
// The library has its own HostPath and IsExistingFile (its src/file_io.h): it
// exports nothing beyond varnel.h.
bool OutputExists(const std::string& name);

// Answers whether `fileName` may be written: true when it does not exist, with
// -replace, after an Always earlier in the run, or when the user says Yes or
// Always (Always is kept in `outcome`); false when the user says No. The question
// goes through the console's AskChoice. Nothing is deleted: the old file stays
// until a new one replaces it whole.
bool ConfirmReplace(const RunOptions& options, RunOutcome& outcome, const std::string& fileName);

// True in a run of many items when an earlier item already published the file
// `name` leads to (the same file, whatever the name).
bool OutputWrittenEarlier(const RunOutcome& outcome, const std::string& name);

// How OpenOutput ended.
enum class OpenResult {
  Ready,     // the temporary file is open: write, then publish
  Declined,  // the user said No to replacing the file: nothing is said
  Failed,    // it cannot be written: its failure line was said and counted
};

// Starts the output `name`: asks before an existing file is replaced (-replace or
// an earlier Always answers without a question), then creates the temporary file.
// `agreed`: the user already said Yes to replacing it, in a question that covered
// several files.
OpenResult OpenOutput(const RunOptions& options, RunOutcome& outcome, Output& out, const std::string& name,
                      bool agreed = false);
// The same for the output `name` ("\" separators, for its lines) whose file is
// its last level in the open folder `folder`: a symbolic link there is refused.
OpenResult OpenOutputIn(const RunOptions& options, RunOutcome& outcome, Output& out, int folder,
                        const std::string& name);
// Appends `size` bytes. False once a write failed: the failure is said and
// counted, the temporary file removed, and later calls do nothing.
bool AppendOutput(Output& out, const void* data, size_t size);
// Makes the complete temporary file the target. False when it was not published
// (a failure, said and counted, or a No to a file that appeared meanwhile).
bool PublishOutput(Output& out);
// Publishes two complete outputs as one: both are checked before either takes
// its place, and when the second cannot, the first is taken back (the old file
// it replaced returns). False when neither was published; the failure is said.
bool PublishPair(Output& first, Output& second);
// Removes the temporary file without a word (a writer that gives up, a No).
void AbandonOutput(Output& out);
// Gives the output up with `reason` on its failure line, and counts it.
void FailOutput(Output& out, const std::string& reason);
// The failure line of an output that was refused before it was opened (a size
// the format cannot store, no image library, no colours), counted like any other.
void FailOutput(RunOutcome& outcome, const std::string& name, const std::string& reason);

// The whole content of an opened output, then published.
bool FinishOutput(Output& out, const void* data, size_t size);
inline bool FinishOutput(Output& out, const std::string& text) { return FinishOutput(out, text.data(), text.size()); }
// Opens, writes `size` bytes as the whole file, publishes; true when it was published.
bool WriteOutput(const RunOptions& options, RunOutcome& outcome, const std::string& name, const void* data,
                 size_t size);
inline bool WriteOutput(const RunOptions& options, RunOutcome& outcome, const std::string& name,
                        const std::string& text) {
  return WriteOutput(options, outcome, name, text.data(), text.size());
}
// The same in the open folder `folder` (see OpenOutputIn).
bool WriteOutputIn(const RunOptions& options, RunOutcome& outcome, int folder, const std::string& name,
                   const void* data, size_t size);
// The closing error text for `count` outputs not written: "1 output was not
// written", "3 outputs were not written".
std::string UnwrittenOutputsText(uint32_t count);

#endif
