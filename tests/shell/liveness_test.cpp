// The liveness helper: queued work runs while its owner lives and never after.
#include "shell/liveness.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kavu {
namespace {

// An owner that queues work for later, as a window-thread object posts tasks.
struct Owner {
  int ran = 0;
  Liveness alive_;
  std::function<void()> Task(std::vector<int>& log, int tag) {
    return [this, &log, tag, alive = alive_.Watch()] {
      if (alive.Expired()) return;
      ++ran;
      log.push_back(tag);
    };
  }
};

TEST(Liveness, QueuedWorkRunsWhileTheOwnerLivesAndNeverAfter) {
  std::vector<int> log;
  std::vector<std::function<void()>> queue;
  auto owner = std::make_unique<Owner>();
  queue.push_back(owner->Task(log, 1));
  queue.push_back(owner->Task(log, 2));
  queue[0]();
  EXPECT_EQ(log, std::vector<int>{1});
  EXPECT_EQ(owner->ran, 1);

  // A guarded call passes its arguments on while the owner lives.
  int sum = 0;
  auto add = owner->alive_.Guard([&sum](int a, int b) { sum += a * b; });
  add(3, 4);
  EXPECT_EQ(sum, 12);
  const LivenessWatch watch = owner->alive_.Watch();
  const LivenessWatch copy = watch;
  EXPECT_FALSE(copy.Expired());

  owner.reset();  // every watch taken from it expires at once
  queue[1]();
  add(5, 5);
  EXPECT_EQ(log, std::vector<int>{1});
  EXPECT_EQ(sum, 12);
  EXPECT_TRUE(watch.Expired());
  EXPECT_TRUE(copy.Expired());
  EXPECT_TRUE(LivenessWatch().Expired());  // a watch of nothing

  // Checked from another thread after the owner is gone (as a board reply's completion is).
  auto other = std::make_unique<Owner>();
  const LivenessWatch far = other->alive_.Watch();
  bool seen_alive = false, seen_expired = false;
  std::thread([&] { seen_alive = !far.Expired(); }).join();
  other.reset();
  std::thread([&] { seen_expired = far.Expired(); }).join();
  EXPECT_TRUE(seen_alive);
  EXPECT_TRUE(seen_expired);
}

}  // namespace
}  // namespace kavu
