#pragma once
// Liveness: lets work queued for later (a posted task, a reply callback, a thread's completion)
// find out whether the object that queued it still exists. The owner holds a Liveness member;
// each task captures a watch taken when it was queued and does its work only while the watch
// has not expired. Destroying the owner expires every watch at once; nothing else does.
//
//   window.Post([this, alive = alive_.Watch()] {
//     if (alive.Expired()) return;  // the owner ended before the task ran
//     ...
//   });
//   board.WhenFree(alive_.Guard([this] { StartScan(); }));
//
// Expired() answers for the moment it is asked. A task run on the thread that destroys the owner
// (the window thread) may rely on it for its whole body; a task on another thread must not rely
// on the owner beyond the check. A watch may be copied and checked from any thread.
#include <memory>
#include <utility>

namespace kavu {

class LivenessWatch {
 public:
  LivenessWatch() = default;  // expired from the start
  bool Expired() const { return token_.expired(); }

 private:
  friend class Liveness;
  explicit LivenessWatch(std::weak_ptr<const int> token) : token_(std::move(token)) {}
  std::weak_ptr<const int> token_;
};

class Liveness {
 public:
  Liveness() = default;
  // Not copied or moved: a copy would keep the original's tasks running after it is gone.
  Liveness(const Liveness&) = delete;
  Liveness& operator=(const Liveness&) = delete;

  LivenessWatch Watch() const { return LivenessWatch(token_); }

  // `fn` wrapped so that a call does nothing once the owner is gone (the call's arguments are
  // passed on; the result is dropped).
  template <class F>
  auto Guard(F fn) const {
    return [alive = Watch(), fn = std::move(fn)](auto... args) mutable {
      if (!alive.Expired()) fn(std::move(args)...);
    };
  }

 private:
  std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};

}  // namespace kavu
