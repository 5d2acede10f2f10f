#include "scan/group_handover.h"

#include "shell/log_console.h"

namespace kavu {

uint64_t GroupHandover::Send(const PreparedGroup& g, int delayBlocks) {
  runPending_ = 0;
  waiting_.reset();
  const uint64_t id = p_.state.Open(g.group, g.tuning, g.plan, p_.plan.MarkGroupStart());
  // In this order, after the skip-all of the preparation and before the upload.
  p_.rings.m_SkipBlocks = delayBlocks;
  p_.counters.m_RingResync = 1;
  p_.counters.SdrLoopSkipN = g.plan->SettleBlocks();
  const FrequencyBatch& b = g.batch;
  p_.board.BigCmd2Async(b.bytes.data(), static_cast<int>(b.bytes.size()), false, Guarded([this, id](bool ok) {
                          if (!ok && p_.owner.Current(id)) p_.owner.UploadFailed();
                        }));
  return id;
}

void GroupHandover::RunStarted(uint64_t id) {
  if (!p_.owner.Current(id)) return;
  runPending_ = id;
  // Behind the upload when that is still on its way: the board takes one command at a time.
  p_.board.WhenFree(Guarded([this, id] {
    if (runPending_ != id || !p_.owner.Current(id)) {
      if (runPending_ == id) runPending_ = 0;
      return;
    }
    p_.board.BigCmd2_ExecAsync(Guarded([this, id](bool ok) { RunReplied(id, ok); }));
  }));
}

void GroupHandover::RunReplied(uint64_t id, bool ok) {
  if (runPending_ == id) runPending_ = 0;
  std::optional<GroupEnd> waiting;
  waiting.swap(waiting_);
  if (!p_.owner.Current(id)) return;
  if (!ok) {
    Log() << LogColour(kColourError) << "ODlgSpektr::On_WM_My_ScanUpdate1(), wParam=" << 77
          << " send RfmBigCmdExec err !!! \n";
    if (!p_.board.Port().IsOpen()) {
      p_.owner.BoardClosed();
      return;
    }
    // Which generator steps the board played cannot be known: the group fails and its points
    // are measured again. The group may still be measured (its end then is this) or have ended
    // already (its end is waiting).
    refusedId_ = id;
    GroupEnd end;
    if (p_.state.CloseRefused(id, &end)) waiting = end;
  }
  if (waiting && waiting->id == id) Decide(*waiting);
}

void GroupHandover::Finished(const GroupEnd& end) {
  if (!p_.owner.Current(end.id)) return;
  if (runPending_ == end.id) {
    waiting_ = end;  // decided when the run's reply (or its time-out) comes
    return;
  }
  Decide(end);
}

void GroupHandover::Decide(const GroupEnd& ended) {
  GroupEnd end = ended;
  const bool refused = end.id == refusedId_;
  if (refused) {
    // The group is closed, so the sample thread no longer appends to set 0.
    AntIzms& set = p_.store.Set(0);
    const int32_t first = p_.state.FirstPoint();
    if (set.Count() > first) {
      Log() << LogColour(kColourError) << "Плата не подтвердила прогон группы, её точки ("
            << (set.Count() - first) << ") будут измерены заново \n";
      set.SetCount(first);
    }
    p_.plan.RewindToMark(p_.state.Mark());
    end.failed = true;
    end.setFull = false;
    end.measured = 0;
  }
  p_.owner.GroupDecided(end, refused);
}

void GroupHandover::Forget() {
  runPending_ = 0;
  waiting_.reset();
}

}  // namespace kavu
