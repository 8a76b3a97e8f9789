#include "platform/workerpool.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using plm::WorkerPool;

TEST(WorkerPoolTest, ResultsAndErrorsComeBackThroughEachJobsFuture) {
  for (const int workers : {0, 1, 3}) {
    SCOPED_TRACE(workers);
    WorkerPool pool(workers);
    std::vector<std::future<int>> results;
    for (int i = 0; i < 20; ++i)
      results.push_back(pool.Submit([i, workers](int worker) {
        if (worker < 0 || worker >= std::max(workers, 1)) throw std::logic_error("worker index out of range");
        if (i == 7) throw std::runtime_error("job 7");
        return i * i;
      }));
    for (int i = 0; i < 20; ++i) {
      if (i == 7) EXPECT_THROW(results[7].get(), std::runtime_error);
      else EXPECT_EQ(results[static_cast<size_t>(i)].get(), i * i);
    }
  }
}

TEST(WorkerPoolTest, OneWorkerRunsJobsInTheOrderSubmitted) {
  WorkerPool pool(1);
  std::string order;
  for (char c : std::string("abcdefgh")) pool.Submit([&order, c](int) { order += c; });
  pool.Wait();
  EXPECT_EQ(order, "abcdefgh");
}

TEST(WorkerPoolTest, CancelDropsJobsNotStartedAndLetsRunningOnesFinish) {
  for (const int workers : {1, 2}) {
    SCOPED_TRACE(workers);
    WorkerPool pool(workers);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::vector<std::promise<void>> started(static_cast<size_t>(workers));
    std::vector<std::future<int>> running;
    for (int k = 0; k < workers; ++k)
      running.push_back(pool.Submit([&, k](int) {
        started[static_cast<size_t>(k)].set_value();
        gate.wait();
        return k;
      }));
    for (std::promise<void>& s : started) s.get_future().wait();  // every worker is busy
    std::mutex m;
    int ranAfter = 0;
    std::vector<std::future<void>> queued;
    for (int i = 0; i < 5; ++i)
      queued.push_back(pool.Submit([&](int) {
        std::lock_guard lock(m);
        ++ranAfter;
      }));
    pool.Cancel();
    release.set_value();
    for (int k = 0; k < workers; ++k) EXPECT_EQ(running[static_cast<size_t>(k)].get(), k);
    for (std::future<void>& f : queued) EXPECT_THROW(f.get(), std::future_error);
    pool.Wait();
    EXPECT_EQ(ranAfter, 0);
    EXPECT_EQ(pool.Submit([](int) { return 5; }).get(), 5);  // the pool works on
  }
}

TEST(WorkerPoolTest, DestroyingThePoolWaitsForRunningJobsAndDropsTheRest) {
  std::promise<void> started;
  bool finished = false;
  std::future<void> dropped;
  {
    WorkerPool pool(1);
    pool.Submit([&](int) {
      started.set_value();
      finished = true;
    });
    started.get_future().wait();
    dropped = pool.Submit([](int) {});
  }
  EXPECT_TRUE(finished);
  // Dropped or run before the pool stopped: either way its future is settled.
  EXPECT_EQ(dropped.wait_for(std::chrono::seconds(0)), std::future_status::ready);
}

}  // namespace
