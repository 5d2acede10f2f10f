#pragma once
// ScanSaver: writes finished scans' files on its own thread, so the window thread never waits
// for the disk. Saves are written one at a time in the order queued (a second scan that ends
// before the first one's files are written never interleaves with them) and each one's `done`
// runs on the window thread afterwards, in the same order.
//
// Nothing queued is ever lost: the destructor writes what is still queued before it returns
// (their `done`s are not run then). Make and destroy on the window thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/event_loop.h"
#include "results/results_store.h"
#include "shell/liveness.h"

namespace kavu {

class ScanSaver {
 public:
  using Done = std::function<void(const SaveOutcome&)>;

  explicit ScanSaver(IWindowThread& window);
  ~ScanSaver();
  ScanSaver(const ScanSaver&) = delete;
  ScanSaver& operator=(const ScanSaver&) = delete;

  // Queues `job` (ResultsStore::WriteScanSave on the saver's thread); `done` gets the outcome on
  // the window thread.
  void Save(ScanSaveJob job, Done done);
  // Window thread: waits until everything queued is written, then runs the `done`s not yet run.
  void Flush();
  // Saves queued, being written, or written with their `done` not run yet.
  int Pending() const;

 private:
  struct Item {
    ScanSaveJob job;
    Done done;
    SaveOutcome outcome;
  };
  void Loop();
  // Window thread: runs the `done`s of the saves written so far, in order.
  void Deliver();

  IWindowThread& window_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;     // waiting or being written (front)
  std::deque<Item> written_;   // written, `done` not yet run
  bool writing_ = false;
  bool stop_ = false;
  Liveness alive_;
  std::thread thread_;
};

}  // namespace kavu
