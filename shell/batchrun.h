#pragma once
// Many conversions at once, with everything a user sees in row order: the status
// sentences, the results and the renames into the save folder. Outputs are made
// durable a group at a time, with one flush of the file system per group instead
// of one per file.
#include <cstddef>
#include <functional>
#include <string>

#include "shell/conversion.h"
#include "shell/shellstate.h"

namespace plm {

// What was made of one row.
struct BatchRowWork {
  // Its conversion: a prepared output waiting to take its name, or a final result.
  // Rows that were never handed to a driver leave it as it is.
  PreparedConversion Conversion;
};

struct RowOrderedRun {
  size_t Rows = 0;  // rows 0 .. Rows-1
  // 1: every row on the calling thread, one after the other.
  int Workers = 1;
  // On the calling thread, in row order, before the row is looked at.
  std::function<void(size_t row)> Starting;
  // Everything of one row up to a prepared output (PrepareConversion with
  // hooks.DeferFlush set). With one worker it runs on the calling thread with the
  // caller's state; otherwise on a worker thread with a ShellState of its own (the
  // caller's Options, an image sub-folder of its own, no status sink), worker
  // 0 .. Workers-1. `status` shows the row's status sentence: it reaches the
  // caller's state.Status on the calling thread, in row order, before the row's
  // result.
  std::function<BatchRowWork(size_t row, int worker, ShellState& state,
                             const std::function<void(const std::string&)>& status)>
      Prepare;
  // On the calling thread, in row order, once the row is final: a converted
  // output is durable under its name, with an earlier output kept as its backup.
  std::function<void(size_t row, BatchRowWork& work, const ConvertResult& result)> Done;
  // On the calling thread after each run of Done calls, before the run waits for
  // anything: where what Done printed may be flushed at once.
  std::function<void()> Reported;
};

// Runs the rows. Exceptions from Prepare reach the caller once every worker stopped.
void RunRowOrdered(ShellState& state, const RowOrderedRun& run);

// The number of cores, at least 1.
int DefaultWorkers();

}  // namespace plm
