#include "scan/scan_saver.h"

namespace kavu {

ScanSaver::ScanSaver(IWindowThread& window) : window_(window) {}

ScanSaver::~ScanSaver() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ScanSaver::Save(ScanSaveJob job, Done done) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(Item{std::move(job), std::move(done), SaveOutcome{}});
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  }
  changed_.notify_all();
}

void ScanSaver::Flush() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
  }
  Deliver();
}

int ScanSaver::Pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(queue_.size() + written_.size());
}

void ScanSaver::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    // Stopping still writes what is queued: a save is never dropped.
    if (queue_.empty()) return;
    writing_ = true;
    const ScanSaveJob& job = queue_.front().job;  // stays put: only this thread pops the front
    lock.unlock();
    SaveOutcome outcome = ResultsStore::WriteScanSave(job);
    lock.lock();
    Item item = std::move(queue_.front());
    queue_.pop_front();
    item.outcome = std::move(outcome);
    written_.push_back(std::move(item));
    writing_ = false;
    changed_.notify_all();
    window_.Post([this, alive = alive_.Watch()] {
      if (!alive.Expired()) Deliver();
    });
  }
}

void ScanSaver::Deliver() {
  std::deque<Item> ready;
  {
    std::lock_guard lock(mutex_);
    ready.swap(written_);
  }
  for (Item& item : ready) {
    if (item.done) item.done(item.outcome);
  }
}

}  // namespace kavu
