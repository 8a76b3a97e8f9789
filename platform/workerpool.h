#pragma once
// A fixed number of threads that start submitted jobs in the order submitted (one
// worker thus runs them one after the other in that order). Each job
// learns the index of the worker running it, so callers can keep state per worker;
// its result, or the exception it threw, comes back through its future.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace plm {

class WorkerPool {
 public:
  // With no workers every job runs on the submitting thread before Submit returns.
  explicit WorkerPool(int workers);
  // Drops the jobs not started and waits for those running.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // `job` is called as job(workerIndex), workerIndex from 0 to Workers() - 1 (0 when
  // there are no workers).
  template <class Job>
  auto Submit(Job job) -> std::future<std::invoke_result_t<Job&, int>> {
    using Result = std::invoke_result_t<Job&, int>;
    auto task = std::make_shared<std::packaged_task<Result(int)>>(std::move(job));
    std::future<Result> result = task->get_future();
    Post([task](int worker) { (*task)(worker); });
    return result;
  }

  // Drops the jobs not started yet; their futures report a broken promise. Jobs
  // running go on to their end.
  void Cancel();
  // Returns once every job submitted so far has run or been dropped.
  void Wait();
  int Workers() const { return static_cast<int>(threads_.size()); }

 private:
  void Post(std::function<void(int)> job);
  void Work(int worker);

  std::mutex mutex_;
  std::condition_variable jobAdded_, jobDone_;
  std::deque<std::function<void(int)>> queue_;
  std::size_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace plm
