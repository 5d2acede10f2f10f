#pragma once
// GroupHandover: a prepared group's way through the board and back, on the window thread,
// without ever waiting for the board. Send() hands the group to the sample thread (the counters
// in their order) and uploads its batch; RunStarted() (the group's first block arrived) sends the
// run as soon as the port is free; the run's reply and the sample thread's end of the group may
// come in either order, and the group is decided in one order: the reply (or its time-out) first,
// then the end. A group whose run was not confirmed has its points dropped and the plan rewound to
// where it started, whenever the reply comes.
//
// The owner learns the outcome through IHandoverOwner; a group that is no longer the owner's
// (scan stopped, another group sent) is ignored when its replies come.
#include <cstdint>
#include <memory>
#include <optional>

#include "board/board_protocol.h"
#include "scan/scan_group_state.h"
#include "scan/scan_preparation.h"
#include "shell/liveness.h"

namespace kavu {

class IHandoverOwner {
 public:
  virtual ~IHandoverOwner() = default;
  // Group `id` is the one being measured by a scan that still runs.
  virtual bool Current(uint64_t id) const = 0;
  // The batch upload failed (the port may have closed).
  virtual void UploadFailed() = 0;
  // The run was not confirmed and the port is closed.
  virtual void BoardClosed() = 0;
  // The group ended; `refused`: its run was not confirmed (points dropped, plan rewound).
  virtual void GroupDecided(const GroupEnd& end, bool refused) = 0;
};

class GroupHandover {
 public:
  struct Parts {
    OBoardProtocol& board;
    ScanGroupState& state;
    LoopCounters& counters;
    SampleRings& rings;
    OScanPlan& plan;
    ResultsStore& store;
    IHandoverOwner& owner;
  };
  explicit GroupHandover(const Parts& parts) : p_(parts) {}

  // Hands `g` over and starts its upload. `delayBlocks`: receiver blocks the back end drops
  // first (m_Delay1_CB). Returns the group's id.
  uint64_t Send(const PreparedGroup& g, int delayBlocks);
  // The sample thread started measuring group `id`: run its batch.
  void RunStarted(uint64_t id);
  // The sample thread ended a group.
  void Finished(const GroupEnd& end);
  // Forgets the group in flight (the scan ended); replies still to come are ignored.
  void Forget();
  // A run's reply is awaited.
  bool RunPending() const { return runPending_ != 0; }

 private:
  void RunReplied(uint64_t id, bool ok);
  void Decide(const GroupEnd& end);
  // Wraps `fn` so that it does nothing once this object is gone.
  template <class F>
  auto Guarded(F fn) {
    return alive_.Guard(std::move(fn));
  }

  Parts p_;
  uint64_t runPending_ = 0;         // the group whose run's reply is awaited
  uint64_t refusedId_ = 0;          // the last group whose run the board did not confirm
  std::optional<GroupEnd> waiting_;  // an end that came before its run's reply
  Liveness alive_;
};

}  // namespace kavu
