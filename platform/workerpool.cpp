#include "platform/workerpool.h"

namespace plm {

WorkerPool::WorkerPool(int workers) {
  for (int k = 0; k < workers; ++k) threads_.emplace_back([this, k] { Work(k); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  jobAdded_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void WorkerPool::Post(std::function<void(int)> job) {
  if (threads_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  jobAdded_.notify_one();
}

void WorkerPool::Cancel() {
  std::deque<std::function<void(int)>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
  }
  jobDone_.notify_all();
}

void WorkerPool::Wait() {
  std::unique_lock lock(mutex_);
  jobDone_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void WorkerPool::Work(int worker) {
  std::unique_lock lock(mutex_);
  for (;;) {
    jobAdded_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    std::function<void(int)> job = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    job(worker);  // a packaged task: what it throws goes to its future
    job = nullptr;
    lock.lock();
    --running_;
    if (queue_.empty() && running_ == 0) jobDone_.notify_all();
  }
}

}  // namespace plm
