#include "output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "state.h"
#include "text_rules.h"

namespace {

// ---- the temporary files in flight, and the signals that remove them ----

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
constexpr int kSignalCount = sizeof kCleanUpSignals / sizeof kCleanUpSignals[0];

// At most two outputs are in flight at once: a .gltf and its .bin. Each slot
// holds a temporary file's folder and name, where a signal handler may read them.
struct InFlight {
  int folder = -1;
  char name[NAME_MAX + 1] = {};
  volatile sig_atomic_t held = 0;
};
constexpr int kSlotCount = 2;
InFlight gInFlight[kSlotCount];
int gSlotsUsed = 0;
struct sigaction gSavedActions[kSignalCount];
// Signals ignored when the write began (nohup, a shell's trap "", a background
// job's SIGINT) stay ignored. The handler still stands for them, because the
// prompt's raw terminal hands its signals on to the handler it found.
volatile sig_atomic_t gIgnored[kSignalCount] = {};

void RemoveTemporaryAndEnd(int signal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kCleanUpSignals[i] == signal && gIgnored[i]) return;
  for (InFlight& slot : gInFlight) {
    if (slot.held) unlinkat(slot.folder, slot.name, 0);
    slot.held = 0;
  }
  std::signal(signal, SIG_DFL);
  raise(signal);  // delivered once the handler returns: the signal's usual end
}

// Holds the clean-up signals back while the temporary files and their recorded
// names change together.
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

// A name for a temporary file that no other run picks at the same moment.
std::string TemporaryName(unsigned attempt) {
  static unsigned counter = 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  char name[40];
  std::snprintf(
      name, sizeof name, ".corvane-%06x",
      unsigned((uint64_t(now) ^ (uint64_t(getpid()) << 20) ^ (++counter * 2654435761u) ^ attempt) & 0xffffff));
  return name;
}

// Creates a temporary file in `folder` and records it for the signal handler;
// the slot it takes, or -1 with errno when it cannot be created.
int CreateTemporary(int folder, std::string& name, int& fd) {
  SignalsHeld held;
  int slot = 0;
  while (slot < kSlotCount && gInFlight[slot].held) ++slot;
  if (slot == kSlotCount) {
    errno = EBUSY;
    return -1;
  }
  if (gSlotsUsed == 0) CatchSignals();
  fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    name = TemporaryName(attempt);
    fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    int error = errno;
    if (gSlotsUsed == 0) ReleaseSignals();
    errno = error;
    return -1;
  }
  gInFlight[slot].folder = folder;
  std::memcpy(gInFlight[slot].name, name.c_str(), name.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is complete before it counts
  gInFlight[slot].held = 1;
  ++gSlotsUsed;
  return slot;
}

// The temporary file is gone (published or removed): once none is left, signals
// act as before again.
void ForgetTemporary(int slot) {
  SignalsHeld held;
  if (slot < 0 || !gInFlight[slot].held) return;
  gInFlight[slot].held = 0;
  if (--gSlotsUsed == 0) ReleaseSignals();
}

// ---- names and consent ----

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

bool WrittenEarlier(const RunOutcome& outcome, const struct stat& info) {
  return outcome.journal.refusesRepeats && outcome.journal.published.count({info.st_dev, info.st_ino}) > 0;
}

// A link in a folder where anyone may create files and only owners remove them
// (/tmp) may have been planted by another user to make this one write where
// they cannot. It is followed only when it belongs to the user running corvane
// or to the folder's owner, as the kernel's protected-symlinks rule has it.
bool PlantedLink(const std::string& linkPath, const struct stat& link) {
  struct stat folder;
  if (stat(FolderOf(linkPath).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return shared && link.st_uid != geteuid() && link.st_uid != folder.st_uid;
}

// What stands at `leaf` in the output's folder (`info`, links not followed)
// may be written over: true with `exists` telling whether a file is there.
bool CheckStanding(Output& out, int found, const struct stat& info, bool& exists, std::string& reason) {
  exists = false;
  if (found != 0) {
    if (errno == ENOENT) return true;
    reason = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = S_ISLNK(info.st_mode) ? "a symbolic link stands there" : "not a regular file";
    return false;
  }
  if (IsRunInput(*out.options, info)) {
    reason = "it is a source of this run";
    return false;
  }
  if (WrittenEarlier(*out.outcome, info)) {
    reason = "an earlier item wrote that name";
    return false;
  }
  exists = true;
  out.keptMode = info.st_mode & 07777;
  return true;
}

// The file the output's name leads to (a link counts as the file it points to)
// and the folder it is written in, opened. True when it can be written.
bool ResolveTarget(Output& out, bool& exists, std::string& reason) {
  out.target = HostPath(out.name);
  if (out.target.empty()) {
    reason = std::strerror(ENOENT);
    return false;
  }
  struct stat info;
  if (lstat(out.target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (PlantedLink(out.target, info)) {
      reason = "a symbolic link of another user in a shared folder is not followed";
      return false;
    }
    char* resolved = realpath(out.target.c_str(), nullptr);
    if (resolved == nullptr) {
      reason = errno == ENOENT ? "the symbolic link points to no file" : std::strerror(errno);
      return false;
    }
    out.target = resolved;
    std::free(resolved);
  }
  out.leaf = LeafOf(out.target);
  if (out.leaf.empty() || out.leaf == "." || out.leaf == "..") {
    reason = std::strerror(EISDIR);
    return false;
  }
  out.folder = open(FolderOf(out.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (out.folder < 0) {
    // A missing folder is said as the creation of the file would say it.
    reason = std::strerror(errno);
    return false;
  }
  const int found = fstatat(out.folder, out.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW);
  return CheckStanding(out, found, info, exists, reason);
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

void CloseFolder(Output& out) {
  if (out.folder >= 0) close(out.folder);
  out.folder = -1;
}

OpenResult FailOpen(Output& out, const std::string& reason) {
  CloseFolder(out);
  out.failed = true;
  SayFailure(*out.outcome, out.name, reason);
  return OpenResult::Failed;
}

// Asks about an existing file, then creates the temporary file in the output's folder.
OpenResult StartWriting(Output& out, bool exists, bool agreed) {
  if (exists && !agreed && !AskToReplace(*out.options, *out.outcome, out.name)) {
    CloseFolder(out);
    return OpenResult::Declined;
  }
  out.replacing = exists;
  if (!exists) out.keptMode = 0666 & ~CurrentUmask();
  out.slot = CreateTemporary(out.folder, out.temporary, out.fd);
  if (out.slot < 0) return FailOpen(out, std::strerror(errno));
  fchmod(out.fd, mode_t(out.keptMode));  // the temporary file is made 0600
  return OpenResult::Ready;
}

void BeginOutput(const RunOptions& options, RunOutcome& outcome, Output& out, const std::string& name) {
  AbandonOutput(out);
  out.options = &options;
  out.outcome = &outcome;
  out.name = name;
  out.replacing = false;
  out.failed = false;
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

// Renames `from` to `to` in `folder` unless `to` exists; 0, or the errno (EEXIST
// when a file is there).
int RenameWithoutReplacing(int folder, const char* from, const char* to) {
  if (renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without that rename: a hard link refuses an existing name too.
  if (linkat(folder, from, folder, to, 0) == 0) {
    unlinkat(folder, from, 0);
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return errno;
  // Nor hard links (FAT): a look just before the rename leaves the narrowest window.
  struct stat info;
  if (fstatat(folder, to, &info, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

// The data is checked before the file takes its place. A file to be replaced
// waits until the new data reached the disk, so that a crash leaves the old file
// or the new one, never an empty one.
bool SettleOutput(Output& out) {
  if (out.fd < 0) return false;
  if ((out.replacing && fsync(out.fd) != 0) || !CloseCopy(out.fd)) return Fail(out, errno);
  return true;
}

bool ReplaceTarget(Output& out) {
  if (renameat(out.folder, out.temporary.c_str(), out.folder, out.leaf.c_str()) != 0) return Fail(out, errno);
  return true;
}

// A file that appeared at the name since the question (a slow image encode gives
// time for that) is asked about like any other.
bool PlaceNew(Output& out) {
  int error = RenameWithoutReplacing(out.folder, out.temporary.c_str(), out.leaf.c_str());
  if (error == 0) return true;
  struct stat info;
  if (error != EEXIST || fstatat(out.folder, out.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode))
    return Fail(out, error);
  if (!AskToReplace(*out.options, *out.outcome, out.name)) {
    AbandonOutput(out);
    return false;
  }
  out.keptMode = info.st_mode & 07777;
  fchmod(out.fd, mode_t(out.keptMode));
  if (fsync(out.fd) != 0) return Fail(out, errno);
  return ReplaceTarget(out);
}

bool PlaceOutput(Output& out) { return out.replacing ? ReplaceTarget(out) : PlaceNew(out); }

// The output is in place: it is noted in the run's journal, and its descriptors closed.
void FinishPlaced(Output& out) {
  struct stat info;
  if (fstat(out.fd, &info) == 0) out.outcome->journal.published.insert({info.st_dev, info.st_ino});
  close(out.fd);  // its data was checked by CloseCopy
  out.fd = -1;
  ForgetTemporary(out.slot);
  out.slot = -1;
  CloseFolder(out);
  out.outcome->journal.written.push_back(PrintableName(HostPath(out.name)));
}

// Takes back an output placed first of a pair: its old file returns from
// `keptOld` (a second name for it), or the new file goes.
void TakeBack(Output& out, const std::string& keptOld) {
  if (!keptOld.empty()) {
    renameat(out.folder, keptOld.c_str(), out.folder, out.leaf.c_str());
  } else {
    struct stat placed, ours;
    if (fstatat(out.folder, out.leaf.c_str(), &placed, AT_SYMLINK_NOFOLLOW) == 0 && fstat(out.fd, &ours) == 0 &&
        placed.st_ino == ours.st_ino && placed.st_dev == ours.st_dev)
      unlinkat(out.folder, out.leaf.c_str(), 0);
  }
  close(out.fd);
  out.fd = -1;
  ForgetTemporary(out.slot);
  out.slot = -1;
  CloseFolder(out);
}

// A second name for the file `out` replaces, so that it can come back; "" when
// the file system has no hard links (then it cannot).
std::string KeepOld(Output& out) {
  if (!out.replacing) return "";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(attempt);
    if (linkat(out.folder, out.leaf.c_str(), out.folder, name.c_str(), 0) == 0) return name;
    if (errno != EEXIST) break;
  }
  return "";
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
  struct stat info;
  return !name.empty() && stat(HostPath(name).c_str(), &info) == 0 && WrittenEarlier(outcome, info);
}

OpenResult OpenOutput(const RunOptions& options, RunOutcome& outcome, Output& out, const std::string& name,
                      bool agreed) {
  BeginOutput(options, outcome, out, name);
  bool exists = false;
  std::string reason;
  if (!ResolveTarget(out, exists, reason)) return FailOpen(out, reason);
  return StartWriting(out, exists, agreed);
}

OpenResult OpenOutputIn(const RunOptions& options, RunOutcome& outcome, Output& out, int folder,
                        const std::string& name) {
  BeginOutput(options, outcome, out, name);
  out.target = HostPath(name);
  out.leaf = LeafOf(out.target);
  out.folder = fcntl(folder, F_DUPFD_CLOEXEC, 0);
  if (out.folder < 0) return FailOpen(out, std::strerror(errno));
  struct stat info;
  const int found = fstatat(out.folder, out.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW);
  bool exists = false;
  std::string reason;
  if (!CheckStanding(out, found, info, exists, reason)) return FailOpen(out, reason);
  return StartWriting(out, exists, false);
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
  if (!SettleOutput(out) || !PlaceOutput(out)) return false;
  FinishPlaced(out);
  return true;
}

bool PublishPair(Output& first, Output& second) {
  if (!SettleOutput(first)) {
    AbandonOutput(second);
    return false;
  }
  if (!SettleOutput(second)) {
    AbandonOutput(first);
    return false;
  }
  const std::string keptOld = KeepOld(first);
  if (!PlaceOutput(first)) {
    if (!keptOld.empty()) unlinkat(first.folder, keptOld.c_str(), 0);
    AbandonOutput(second);
    return false;
  }
  if (!PlaceOutput(second)) {
    TakeBack(first, keptOld);
    return false;
  }
  if (!keptOld.empty()) unlinkat(first.folder, keptOld.c_str(), 0);
  FinishPlaced(first);
  FinishPlaced(second);
  return true;
}

void AbandonOutput(Output& out) {
  if (out.fd >= 0) {
    close(out.fd);
    out.fd = -1;
    unlinkat(out.folder, out.temporary.c_str(), 0);
    ForgetTemporary(out.slot);
    out.slot = -1;
  }
  CloseFolder(out);
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

bool WriteOutputIn(const RunOptions& options, RunOutcome& outcome, int folder, const std::string& name,
                   const void* data, size_t size) {
  Output out;
  return OpenOutputIn(options, outcome, out, folder, name) == OpenResult::Ready && FinishOutput(out, data, size);
}

void FailOutput(RunOutcome& outcome, const std::string& name, const std::string& reason) {
  SayFailure(outcome, name, reason);
}

std::string UnwrittenOutputsText(uint32_t count) {
  return count == 1 ? "1 output was not written" : std::to_string(count) + " outputs were not written";
}
