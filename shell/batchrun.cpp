#include "shell/batchrun.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <future>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/workerpool.h"

namespace plm {
namespace {

// A group closes after this many rows or this many bytes of output; workers run at
// most kAhead rows ahead of the row being collected.
constexpr size_t kGroupRows = 128;
constexpr uint64_t kGroupBytes = uint64_t{64} << 20;
constexpr size_t kAhead = 2 * kGroupRows;
// A flush of the whole file system also writes what other programs have pending
// there: it pays for itself from this many outputs on; fewer are flushed each on
// its own, and their renames by a flush of their folder.
constexpr size_t kFlushWholeFrom = 16;

// One flush handle per file system the outputs go to, found once per output folder.
class FileSystems {
 public:
  // Null when the folder cannot be opened: its files are then flushed one by one.
  FileSystemFlush* For(const Folder& folder) {
    const auto known = byFolder_.find(folder.Identity());
    if (known != byFolder_.end()) return known->second;
    FileSystemFlush* handle = nullptr;
    auto opened = std::make_unique<FileSystemFlush>();
    if (opened->Open(folder)) {
      for (const auto& h : handles_)
        if (h->Volume() == opened->Volume()) handle = h.get();
      if (!handle) {
        handle = opened.get();
        handles_.push_back(std::move(opened));
      }
    }
    byFolder_.emplace(folder.Identity(), handle);
    return handle;
  }

 private:
  std::unordered_map<FileIdentity, FileSystemFlush*> byFolder_;
  std::vector<std::unique_ptr<FileSystemFlush>> handles_;
};

// Publishes prepared rows a group at a time and reports every row in row order.
//
// The order of steps, and why a crash (a kill or a power cut) at any point loses
// nothing:
//  1. Workers write each output of a group to a temporary beside its name, without
//     a flush: an unnamed file where the file system has them, else a hidden name.
//     Until step 3 nothing under an output's or a backup's name has changed; a
//     crash leaves at most hidden temporaries, which the next batch sweeps away
//     before it writes (an unnamed one goes with the crash).
//  2. One flush of each file system the group writes to (syncfs) makes every
//     temporary of the group durable, and with it the names of the group before
//     (step 3), whose rows are reported only now. A small group, or one whose
//     file-system flush failed, has each temporary flushed on its own (fsync) and
//     the earlier names flushed with their files and folders, so only a file that
//     cannot be made durable fails.
//  3. Per row, in row order: a new output takes its free name in one step (a link
//     of the unnamed file, or a rename that never replaces) that fails, changing
//     nothing, when the name is taken after all. Then an earlier output gets a
//     second name, the backup (a hard link moved over an older backup in one
//     rename), and the durable temporary is renamed over the output name. Each
//     step is atomic, and the file system keeps the order of these metadata
//     changes, so after a crash an output name holds either the earlier output or
//     the complete new one, and the earlier output is under its name or its backup
//     name.
//  4. After the last group, a flush of its files' names and folders makes them
//     durable before its rows are reported.
class GroupCommitter {
 public:
  explicit GroupCommitter(const RowOrderedRun& run) : run_(run) {}

  void Add(size_t row, BatchRowWork work) {
    Entry e{row, std::move(work), {}, nullptr};
    FinishedTemporary& out = e.work.Conversion.Output;
    if (!out.Pending()) {
      e.result = e.work.Conversion.Result;
      if (group_.empty() && published_.empty()) {  // nothing before it waits
        if (run_.Done) run_.Done(row, e.work, e.result);
        if (run_.Reported) run_.Reported();
        return;
      }
    } else {
      e.fs = out.Where() ? fileSystems_.For(*out.Where()) : nullptr;
      bytes_ += out.Bytes();
    }
    group_.push_back(std::move(e));
  }

  bool Full() const { return group_.size() >= kGroupRows || bytes_ >= kGroupBytes; }

  // Steps 2 and 3 for the open group (and the report of the group before).
  void Commit() {
    size_t pending = 0;
    for (const Entry& e : group_) pending += e.work.Conversion.Output.Pending() ? 1 : 0;
    std::set<FileSystemFlush*> flushed;
    if (pending >= kFlushWholeFrom) {
      std::set<FileSystemFlush*> handles;
      for (const Entry& e : published_)
        if (e.result.Outcome == ConvertOutcome::Converted && e.fs) handles.insert(e.fs);
      for (const Entry& e : group_)
        if (e.work.Conversion.Output.Pending() && e.fs) handles.insert(e.fs);
      for (FileSystemFlush* fs : handles)
        if (fs->Sync()) flushed.insert(fs);
    }
    auto covered = [&](const Entry& e) { return e.fs != nullptr && flushed.count(e.fs) > 0; };

    // The names of the group before: durable with the flush above, else by a flush
    // of their files (where the name needs it) and of their folders, each once.
    std::unordered_map<FileIdentity, std::string> folders;  // folder -> "" when flushed, else why not
    for (Entry& e : published_) {
      std::string fileWhy;
      if (e.result.Outcome == ConvertOutcome::Converted && !covered(e) &&
          !e.work.Conversion.Output.FlushName(&fileWhy)) {
        e.result.Outcome = ConvertOutcome::SaveFailed;
        e.result.Reason = "the output is in place, but it " + fileWhy;
      }
      if (e.result.Outcome == ConvertOutcome::Converted && !covered(e)) {
        const Folder& folder = *e.work.Conversion.Target.Where;
        auto known = folders.find(folder.Identity());
        if (known == folders.end()) {
          std::string why;
          known = folders.emplace(folder.Identity(), folder.Flush(&why) ? "" : why).first;
        }
        if (!known->second.empty()) {
          e.result.Outcome = ConvertOutcome::SaveFailed;
          e.result.Reason = "the output is in place, but its folder " + known->second;
        }
      }
      if (run_.Done) run_.Done(e.row, e.work, e.result);
    }
    if (!published_.empty() && run_.Reported) run_.Reported();
    published_.clear();

    for (Entry& e : group_) {
      PreparedConversion& p = e.work.Conversion;
      std::string why;
      if (p.Output.Pending() && !covered(e) && !p.Output.Flush(&why)) {
        p.Output.Discard();
        p.Result.Outcome = ConvertOutcome::SaveFailed;
        p.Result.Reason = "the output " + why;
      }
      e.result = PublishConversion(p);
      published_.push_back(std::move(e));
    }
    group_.clear();
    bytes_ = 0;
  }

  // Step 4.
  void Finish() {
    Commit();
    if (!published_.empty()) Commit();
  }

 private:
  struct Entry {
    size_t row;
    BatchRowWork work;
    ConvertResult result;
    FileSystemFlush* fs;
  };

  const RowOrderedRun& run_;
  FileSystems fileSystems_;
  std::vector<Entry> group_;      // prepared, not yet under their names
  std::vector<Entry> published_;  // under their names, the renames not yet flushed
  uint64_t bytes_ = 0;
};

void RunOnCallingThread(ShellState& state, const RowOrderedRun& run) {
  GroupCommitter committer(run);
  const std::function<void(const std::string&)> status = [&state](const std::string& text) {
    if (state.Status) state.Status(text);
  };
  for (size_t row = 0; row < run.Rows; ++row) {
    if (run.Starting) run.Starting(row);
    committer.Add(row, run.Prepare(row, 0, state, status));
    if (committer.Full()) committer.Commit();
  }
  committer.Finish();
}

// The workers' own states, each with an image folder of its own inside the caller's,
// removed with what is left in it.
struct WorkerStates {
  std::vector<std::unique_ptr<ShellState>> States;
  std::vector<std::unique_ptr<RunFolder>> Images;
  WorkerStates(const ShellState& model, int count) {
    for (int k = 0; k < count; ++k) {
      auto s = std::make_unique<ShellState>();
      s->Options = model.Options;
      if (!model.Images.TempFolder.empty()) {
        auto folder = std::make_unique<RunFolder>("worker-", model.Images.TempFolder);
        if (folder->Ok()) s->Images.TempFolder = folder->Path() / "";
        Images.push_back(std::move(folder));
      }
      States.push_back(std::move(s));
    }
  }
};

void RunOnWorkers(ShellState& state, const RowOrderedRun& run, int count) {
  WorkerStates workers(state, count);
  struct Prepared {
    BatchRowWork work;
    std::optional<std::string> status;
  };
  WorkerPool pool(count);  // before anything its jobs use goes away, it stops them
  std::deque<std::future<Prepared>> pending;  // of the rows from the next collected on
  // A row is started only once the row kAhead before it has been collected.
  auto start = [&](size_t row) {
    pending.push_back(pool.Submit([&run, &workers, row](int k) {
      Prepared prepared;
      prepared.work = run.Prepare(row, k, *workers.States[static_cast<size_t>(k)],
                                  [&prepared](const std::string& text) { prepared.status = text; });
      return prepared;
    }));
  };
  for (size_t row = 0; row < std::min(kAhead, run.Rows); ++row) start(row);

  GroupCommitter committer(run);
  for (size_t row = 0; row < run.Rows; ++row) {
    if (run.Starting) run.Starting(row);
    Prepared prepared = pending.front().get();  // what the row's preparation threw, it throws
    pending.pop_front();
    if (prepared.status && state.Status) state.Status(*prepared.status);
    if (row + kAhead < run.Rows) start(row + kAhead);
    committer.Add(row, std::move(prepared.work));
    if (committer.Full()) committer.Commit();
  }
  committer.Finish();
}

}  // namespace

void RunRowOrdered(ShellState& state, const RowOrderedRun& run) {
  const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(run.Workers, 1)), run.Rows));
  if (count <= 1)
    RunOnCallingThread(state, run);
  else
    RunOnWorkers(state, run, count);
}

int DefaultWorkers() { return ProcessorCount(); }

}  // namespace plm
