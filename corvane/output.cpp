#include "output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "state.h"
#include "text_rules.h"

namespace {

// ---- the one temporary file in flight, and the signals that remove it ----

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
constexpr int kSignalCount = sizeof kCleanUpSignals / sizeof kCleanUpSignals[0];

// The temporary file's name, where a signal handler may read it.
char gInFlight[PATH_MAX];
volatile sig_atomic_t gHaveInFlight = 0;
struct sigaction gSavedActions[kSignalCount];
// Signals ignored when the write began (nohup, a shell's trap "", a background
// job's SIGINT) stay ignored. The handler still stands for them, because the
// prompt's raw terminal hands its signals on to the handler it found.
volatile sig_atomic_t gIgnored[kSignalCount] = {};

void RemoveTemporaryAndEnd(int signal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kCleanUpSignals[i] == signal && gIgnored[i]) return;
  if (gHaveInFlight) unlink(gInFlight);
  gHaveInFlight = 0;
  std::signal(signal, SIG_DFL);
  raise(signal);  // delivered once the handler returns: the signal's usual end
}

// Holds the clean-up signals back while the temporary file and its recorded name
// change together.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kCleanUpSignals) sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

void CatchSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndEnd;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : kCleanUpSignals) sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < kSignalCount; ++i) {
    sigaction(kCleanUpSignals[i], nullptr, &gSavedActions[i]);
    gIgnored[i] = (gSavedActions[i].sa_flags & SA_SIGINFO) == 0 && gSavedActions[i].sa_handler == SIG_IGN;
    sigaction(kCleanUpSignals[i], &action, nullptr);
  }
}

void ReleaseSignals() {
  for (int i = 0; i < kSignalCount; ++i) sigaction(kCleanUpSignals[i], &gSavedActions[i], nullptr);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates the temporary file beside `target` and records its name for the signal
// handler; -1 with errno when it cannot be created.
int CreateTemporary(const std::string& target, std::string& name) {
  const std::string pattern = FolderOf(target) + "/.corvane-XXXXXX";
  if (pattern.size() >= sizeof gInFlight) {
    errno = ENAMETOOLONG;
    return -1;
  }
  SignalsHeld held;
  CatchSignals();
  std::memcpy(gInFlight, pattern.c_str(), pattern.size() + 1);
  int fd = mkostemp(gInFlight, O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    ReleaseSignals();
    errno = error;
    return -1;
  }
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is complete before it counts
  gHaveInFlight = 1;
  name = gInFlight;
  return fd;
}

// The temporary file is gone (published or removed): signals act as before again.
void ForgetTemporary() {
  SignalsHeld held;
  gHaveInFlight = 0;
  ReleaseSignals();
}

// ---- names and consent ----

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

void SayFailure(RunOutcome& outcome, const std::string& name, const std::string& reason) {
  ValueLabel("  Failed:");
  ConsoleLine("\"" + PrintableName(HostPath(name)) + "\" (" + reason + ")");
  ++outcome.failedOutputs;
  outcome.journal.failures.push_back(PrintableName(HostPath(name)) + ": " + reason);
}

// The disk file a source of the run is read from: its pack, or the file itself.
bool IsSameFile(const std::string& pack, const std::string& file, const struct stat& target) {
  const std::string& name = pack.empty() ? file : pack;
  struct stat info;
  return !name.empty() && stat(HostPath(name).c_str(), &info) == 0 && info.st_dev == target.st_dev &&
         info.st_ino == target.st_ino;
}

// An output that would replace what the run reads (a pack holding a member of
// its own name, a -dst naming the model) would ruin the items still to come.
bool IsRunInput(const RunOptions& options, const struct stat& target) {
  return IsSameFile(options.modelPack, options.modelFile, target) ||
         IsSameFile(options.palettePack, options.paletteFile, target) ||
         IsSameFile(options.extractPack, options.extractFile, target) ||
         IsSameFile(options.lumpPack, options.lumpFile, target) ||
         IsSameFile(options.spritePack, options.spriteFile, target) ||
         IsSameFile(options.listPack, options.listFile, target);
}

// What stands at the output's name. True when it can be written: `exists` then
// tells whether a file is there to be replaced (a link counts as its target).
bool ResolveTarget(Output& out, bool& exists, std::string& reason) {
  out.target = HostPath(out.name);
  exists = false;
  struct stat info;
  if (out.target.empty()) {
    reason = std::strerror(ENOENT);
    return false;
  }
  if (lstat(out.target.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;  // a missing folder shows when the temporary file is created
    reason = std::strerror(errno);
    return false;
  }
  if (S_ISLNK(info.st_mode)) {
    char* resolved = realpath(out.target.c_str(), nullptr);
    if (resolved == nullptr) {
      reason = errno == ENOENT ? "the symbolic link points to no file" : std::strerror(errno);
      return false;
    }
    out.target = resolved;
    std::free(resolved);
    if (stat(out.target.c_str(), &info) != 0) {
      reason = std::strerror(errno);
      return false;
    }
  }
  if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = "not a regular file";
    return false;
  }
  if (IsRunInput(*out.options, info)) {
    reason = "it is a source of this run";
    return false;
  }
  exists = true;
  out.keptMode = info.st_mode & 07777;
  return true;
}

// -replace, or an Always earlier in the run, answers without a question.
bool AskToReplace(const RunOptions& options, RunOutcome& outcome, const std::string& fileName) {
  if ((options.flags & OPT_REPLACE) != 0 || outcome.alwaysReplace) return true;
  switch (AskChoice("\"" + fileName + "\" already exists, replace", "Yes/No/Always")) {
    case 1:
      return true;
    case 3:
      outcome.alwaysReplace = true;
      return true;
    default:
      return false;
  }
}

// ---- publishing ----

bool Fail(Output& out, int error) {
  FailOutput(out, std::strerror(error));
  return false;
}

// Some file systems (NFS) report a failed write-back only when a descriptor is
// closed. Closing a duplicate asks for that report and keeps the descriptor open
// for a later fsync.
bool CloseCopy(int fd) {
  int copy = dup(fd);
  return copy >= 0 && close(copy) == 0;
}

// Renames `from` to `to` unless `to` exists; 0, or the errno (EEXIST when a file
// is there).
int RenameWithoutReplacing(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without that rename: a hard link refuses an existing name too.
  if (link(from, to) == 0) {
    unlink(from);
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return errno;
  // Nor hard links (FAT): a look just before the rename leaves the narrowest window.
  struct stat info;
  if (lstat(to, &info) == 0) return EEXIST;
  return rename(from, to) == 0 ? 0 : errno;
}

// The new data reaches the disk before it takes the old file's place, so that a
// crash leaves the old file or the new one, never an empty one.
bool ReplaceTarget(Output& out) {
  if (fsync(out.fd) != 0 || !CloseCopy(out.fd)) return Fail(out, errno);
  if (rename(out.temporary.c_str(), out.target.c_str()) != 0) return Fail(out, errno);
  return true;
}

// A file that appeared at the name since the question (a slow image encode gives
// time for that) is asked about like any other.
bool PublishNew(Output& out) {
  if (!CloseCopy(out.fd)) return Fail(out, errno);
  int error = RenameWithoutReplacing(out.temporary.c_str(), out.target.c_str());
  if (error == 0) return true;
  struct stat info;
  if (error != EEXIST || lstat(out.target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return Fail(out, error);
  if (!AskToReplace(*out.options, *out.outcome, out.name)) {
    AbandonOutput(out);
    return false;
  }
  out.keptMode = info.st_mode & 07777;
  fchmod(out.fd, mode_t(out.keptMode));
  return ReplaceTarget(out);
}

}  // namespace

Output::~Output() { AbandonOutput(*this); }

std::string HostPath(const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool OutputExists(const std::string& name) {
  struct stat info;
  return !name.empty() && stat(HostPath(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ConfirmReplace(const RunOptions& options, RunOutcome& outcome, const std::string& fileName) {
  return !OutputExists(fileName) || AskToReplace(options, outcome, fileName);
}

bool OutputWrittenEarlier(const RunOutcome& outcome, const std::string& name) {
  return outcome.journal.refusesRepeats && outcome.journal.published.count(HostPath(name)) > 0;
}

OpenResult OpenOutput(const RunOptions& options, RunOutcome& outcome, Output& out, const std::string& name,
                      bool agreed) {
  AbandonOutput(out);
  out.options = &options;
  out.outcome = &outcome;
  out.name = name;
  out.replacing = false;
  out.failed = false;
  bool exists = false;
  std::string reason;
  if (OutputWrittenEarlier(outcome, name)) {
    out.failed = true;
    SayFailure(outcome, name, "an earlier item wrote that name");
    return OpenResult::Failed;
  }
  if (!ResolveTarget(out, exists, reason)) {
    out.failed = true;
    SayFailure(outcome, name, reason);
    return OpenResult::Failed;
  }
  if (exists && !agreed && !AskToReplace(options, outcome, name)) return OpenResult::Declined;
  out.replacing = exists;
  if (!exists) out.keptMode = 0666 & ~CurrentUmask();
  out.fd = CreateTemporary(out.target, out.temporary);
  if (out.fd < 0) {
    out.failed = true;
    SayFailure(outcome, name, std::strerror(errno));
    return OpenResult::Failed;
  }
  fchmod(out.fd, mode_t(out.keptMode));  // mkstemp makes 0600
  return OpenResult::Ready;
}

bool AppendOutput(Output& out, const void* data, size_t size) {
  if (out.fd < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t done = write(out.fd, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return Fail(out, done < 0 ? errno : EIO);
    bytes += done;
    size -= size_t(done);
  }
  return true;
}

bool PublishOutput(Output& out) {
  if (out.fd < 0) return false;
  if (!(out.replacing ? ReplaceTarget(out) : PublishNew(out))) return false;
  close(out.fd);  // its data was checked by CloseCopy
  out.fd = -1;
  ForgetTemporary();
  out.outcome->journal.written.push_back(PrintableName(HostPath(out.name)));
  out.outcome->journal.published.insert(HostPath(out.name));
  return true;
}

void AbandonOutput(Output& out) {
  if (out.fd < 0) return;
  close(out.fd);
  out.fd = -1;
  unlink(out.temporary.c_str());
  ForgetTemporary();
}

void FailOutput(Output& out, const std::string& reason) {
  AbandonOutput(out);
  out.failed = true;
  SayFailure(*out.outcome, out.name, reason);
}

bool FinishOutput(Output& out, const void* data, size_t size) {
  return AppendOutput(out, data, size) && PublishOutput(out);
}

bool WriteOutput(const RunOptions& options, RunOutcome& outcome, const std::string& name, const void* data,
                 size_t size) {
  Output out;
  return OpenOutput(options, outcome, out, name) == OpenResult::Ready && FinishOutput(out, data, size);
}

void FailOutput(RunOutcome& outcome, const std::string& name, const std::string& reason) {
  SayFailure(outcome, name, reason);
}

std::string UnwrittenOutputsText(uint32_t count) {
  return count == 1 ? "1 output was not written" : std::to_string(count) + " outputs were not written";
}
