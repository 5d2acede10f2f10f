// ScanEngine, window-thread side: starting a scan, the decisions between groups, pausing,
// ending a scan.
#include "scan/scan_engine.h"

#include <array>
#include <cstdio>

#include "platform/number_text.h"
#include "scan/spektr_settings.h"
#include "shell/fatal_error.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string Mhz3(double hz) { return FormatFixed(hz / 1e6, 3); }

OSignalChain& MakeChain(std::unique_ptr<OSignalChain>& chain, const FftSetupPtr& fft, int64_t capacity) {
  std::string error;
  chain = OSignalChain::Create(fft, capacity, &error);
  if (!chain) FatalError("ScanEngine: " + error);
  return *chain;
}

}  // namespace

ScanEngine::ScanEngine(const ScanEngineParts& parts, int64_t chain_capacity)
    : p_(parts),
      meas_(std::make_unique<OMeasurement>(MakeChain(chain_, p_.keeper.Fft(), chain_capacity), p_.store.Set(0))),
      prep_({p_.gen, p_.receivers, p_.keeper, plan_, measure_}),
      group_({*chain_, *meas_, p_.store, counters_, p_.rings, stats_, *this}),
      handover_({p_.board, group_, counters_, p_.rings, plan_, p_.store, *this}),
      saver_(p_.window) {
  meas_->SetScanPlan(&plan_);
  meas_->SetLevels(&p_.receivers);
  p_.board.SetWindowThread(&p_.window);
}

ScanEngine::~ScanEngine() { p_.window.StopTimer(kWatchdogTimer); }

void ScanEngine::GoIdle() { group_.Close(); }

void ScanEngine::BeginScan(bool single) {
  pauseRequested_ = false;
  single_ = single;
  group_.ClearLastPoint();
  prep_.LoadScanSettings();
  {
    auto lock = group_.Lock();
    counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
    p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
    p_.store.StartNewScanSets(hasB_);
    meas_->SetResultSet(p_.store.Set(0));
    meas_->SetImpedance(prep_.Impedance());
    meas_->ResetTimers();
    stats_.Reset(SteadyNowNs());
  }
  failedInRow_ = 0;
  state_ = ScanState::kScanning;
  lastOverloadA_ = p_.rings.m_OverloadA.load();
  lastOverloadB_ = p_.rings.m_OverloadB.load();
  p_.window.StartTimer(kWatchdogTimer, 250, [this] { Watchdog(); });
}

bool ScanEngine::StartScan() {
  if (p_.board.Busy()) {
    // An earlier scan's reply still holds the port: start once it is free.
    p_.board.WhenFree(alive_.Guard([this] { StartScan(); }));
    return true;
  }
  Log() << LogColour(14) << "\nЗАПУСК СКАНИРОВАНИЯ ****************** \n";
  // A scan already running is stopped first: its sets are never rotated under its samples.
  if (state_ != ScanState::kIdle) StopScan();
  pauseRequested_ = false;
  p_.events.PauseButtonText("Пауза");
  if (!plan_.StartPlan(rangeText_)) {
    p_.box.Show(SpektrSettings::kRangeErrorText);
    return false;
  }
  if (!p_.board.Port().IsOpen()) {
    plan_.StopPlan();
    p_.box.Show("Com-порт не открыт, управление анализатором не возможно");
    return false;
  }
  if (const std::string refusal = p_.receivers.ScanRefusal(); !refusal.empty()) {
    plan_.StopPlan();
    p_.box.Show(refusal);
    return false;
  }
  std::array<double, kMaxGroupFrequencies> first{};
  const uint64_t token = ++startToken_;
  // The generators' commands run on the board's thread; the scan goes on in GeneratorsReady.
  if (plan_.NextFrequencies(first.data(), kMaxGroupFrequencies) < 1 ||
      !p_.gen.InitAllGensAsync(first[0], [this, token, alive = alive_.Watch()](bool ok) {
        if (!alive.Expired()) GeneratorsReady(token, ok);
      })) {
    plan_.StopPlan();
    GoIdle();
    return false;
  }
  startPending_ = true;
  return true;
}

void ScanEngine::GeneratorsReady(uint64_t token, bool ok) {
  if (!startPending_ || token != startToken_) return;  // called off by StopScan
  startPending_ = false;
  if (!ok) {
    plan_.StopPlan();
    GoIdle();
    ScanEndReport report;
    report.ok = false;
    report.started = false;
    report.error = p_.gen.LastInitError().empty() ? "InitAllGens() - генераторы ВЧ не инициализированы"
                                                  : p_.gen.LastInitError();
    report.points = p_.store.Set(0).Count();
    singleNext_ = false;
    p_.events.ScanEnded(report);
    return;
  }
  BeginScan(singleNext_ || SignalViewOpen());
  SetScanF();
}

bool ScanEngine::OnButtonScanOne() {
  if (p_.board.Busy()) {
    p_.board.WhenFree(alive_.Guard([this] { OnButtonScanOne(); }));
    return true;
  }
  if (state_ != ScanState::kIdle) StopScan();
  BeginScan(true);
  plan_.StartSingle();
  PreparedGroup g = prep_.PlanSingleGroup();
  if (g.status != PreparedGroup::Status::kOk) {
    FinishScan(false, g.error);
    return false;
  }
  SetGenerator(std::move(g), SteadyNowNs());
  return true;
}

bool ScanEngine::SetScanF() {
  const int64_t t0 = SteadyNowNs();
  counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
  p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
  PreparedGroup g = prep_.PlanNextGroup();
  if (g.status == PreparedGroup::Status::kNothingLeft) {
    FinishScan(true, "");
    return true;
  }
  if (g.status == PreparedGroup::Status::kFailed) {
    FinishScan(false, g.error);
    return false;
  }
  SetGenerator(std::move(g), t0);
  return true;
}

void ScanEngine::SetGenerator(PreparedGroup g, int64_t t0) {
  // The generator's commands run on the board's thread; the group goes on in GeneratorSet.
  const uint64_t token = ++genToken_;
  p_.gen.SetGenFManualAsync(g.GenHz(), [this, g = std::move(g), t0, token,
                                        alive = alive_.Watch()](bool ok) mutable {
    if (!alive.Expired()) GeneratorSet(g, t0, token, ok);
  });
}

void ScanEngine::GeneratorSet(PreparedGroup& g, int64_t t0, uint64_t token, bool ok) {
  if (state_ != ScanState::kScanning || token != genToken_) return;  // the scan ended meanwhile
  prep_.CompleteGroup(g, ok);
  if (g.status != PreparedGroup::Status::kOk) {
    // As for the upload: a board that vanished meanwhile is named.
    FinishScan(false, p_.board.Port().IsOpen() ? g.error : g.error + " Плата анализатора отключена");
    return;
  }
  if (g.single) {
    SendGroup(g);  // the receiver keeps its manual tuning, the status line its text
    return;
  }
  const GroupPlan& group = g.group;
  const double f0 = group.freqs[0];
  UpdateStatus(f0, group.count, group.freqs[static_cast<size_t>(group.count - 1)] - f0);
  p_.events.Title("Fsdr = " + Mhz3(g.tuning) + " МГц, группа из " + std::to_string(group.count) + " частот");
  {
    auto lock = group_.Lock();
    stats_.sdrSetupSec += static_cast<double>(SteadyNowNs() - t0) * 1e-9;
  }
  SendGroup(g);
}

void ScanEngine::SendGroup(const PreparedGroup& g) {
  lastBlocks_ = -1;
  handover_.Send(g, g.delay1_cb);
}

bool ScanEngine::Current(uint64_t id) const { return state_ == ScanState::kScanning && id == group_.Id(); }

void ScanEngine::UploadFailed() {
  const std::string what = single_ ? "OnButtonScanOne() - ошибка посыла BigCmd2() !!!"
                                   : "ODlgSpektr::SetScanF() - ошибка посыла BigCmd2() !!!";
  FinishScan(false, p_.board.Port().IsOpen() ? what : what + " Плата анализатора отключена");
}

void ScanEngine::BoardClosed() {
  FinishScan(false, "Плата анализатора не отвечает (порт закрыт), сканирование прервано");
}

void ScanEngine::UpdateStatus(double f0, int count, double span) {
  const int64_t now = SteadyNowNs();
  if (now - stats_.ppsMarkNs > 1'000'000'000) {
    const int32_t pts = stats_.points.load();
    stats_.pointsPerSec = (pts - stats_.ppsMarkPoints) * 1e9 / static_cast<double>(now - stats_.ppsMarkNs);
    stats_.ppsMarkNs = now;
    stats_.ppsMarkPoints = pts;
  }
  char buf[128];
  std::string s = "сканирую " + Mhz3(f0) + " МГц, группа " + std::to_string(count) + " шт";
  if (count > 1) s += " на " + Mhz3(span) + " МГц";
  s += ", точек " + std::to_string(stats_.points.load());
  if (stats_.syncFailures > 0) s += ", ошибок " + std::to_string(stats_.syncFailures);
  std::snprintf(buf, sizeof buf, ", скорость %0.1f изм/с", stats_.pointsPerSec);
  s += buf;
  if (loop_) {
    s += "; Пик " + FormatTrimmed(loop_->TakePeakA(), 3);
    if (hasB_) s += "/" + FormatTrimmed(loop_->TakePeakB(), 3);
  }
  const int32_t oa = p_.rings.m_OverloadA.load(), ob = p_.rings.m_OverloadB.load();
  const bool overload = oa != lastOverloadA_ || ob != lastOverloadB_;
  lastOverloadA_ = oa;
  lastOverloadB_ = ob;
  p_.events.StatusLine(s, overload);
}

void ScanEngine::GroupDecided(const GroupEnd& end, bool refused) {
  p_.events.GroupEnded(stats_.points.load(), stats_.groups.load());
  if (end.setFull) {
    FinishScan(false, "Набор точек заполнен (" + std::to_string(p_.store.Set(0).Capacity()) +
                          " точек), сканирование остановлено");
    return;
  }
  if (!end.failed) {
    failedInRow_ = 0;
    const bool more = plan_.AdvanceAfterBatch();
    if (!more || single_) {
      FinishScan(true, "");
      return;
    }
    NextGroupOrPause();
    return;
  }
  ++stats_.syncFailures;
  ++failedInRow_;
  const bool more = end.measured > 0 ? plan_.AdvanceAfterBatch() : true;
  if (single_) {
    FinishScan(false, "Одно измерение не удалось: " +
                          (refused ? std::string("плата не подтвердила прогон")
                                   : end.why.empty() ? std::string("не найдена синхропауза") : end.why));
  } else if (!more) {
    FinishScan(true, "");
  } else if (failedInRow_ >= kMaxFailedGroups) {
    FinishScan(false, std::to_string(kMaxFailedGroups) +
                          " группы подряд не измерены (нет синхропаузы или тона генератора, потеряны отсчёты или "
                          "плата не подтвердила запуск), сканирование прервано" +
                          (end.why.empty() ? std::string() : ": " + end.why));
  } else {
    NextGroupOrPause();
  }
}

void ScanEngine::NextGroupOrPause() {
  if (pauseRequested_) {
    Log() << "Cканирование поставлено на паузу \n";
    pauseRequested_ = false;
    p_.events.PauseButtonText("Продолжить");
    state_ = ScanState::kPaused;
    p_.window.StopTimer(kWatchdogTimer);
    GoIdle();
    return;
  }
  SetScanF();
}

void ScanEngine::PauseOrContinue() {
  if (state_ == ScanState::kPaused) {
    Log() << "Продолжение сканирования \n";
    state_ = ScanState::kScanning;
    p_.events.PauseButtonText("Пауза");
    p_.window.StartTimer(kWatchdogTimer, 250, [this] { Watchdog(); });
    SetScanF();
  } else if (state_ == ScanState::kScanning) {
    pauseRequested_ = true;
  }
}

void ScanEngine::StopScan() {
  if (startPending_) {
    // The generators' initialisation finishes on its own; the scan it was for is called off.
    startPending_ = false;
    plan_.CutToMeasured();  // nothing was: no range is left
    ScanEndReport report;
    report.stopped = true;
    report.started = false;
    report.single = singleNext_;
    report.points = p_.store.Set(0).Count();
    p_.events.ScanEnded(report);
    return;
  }
  if (state_ == ScanState::kIdle) return;
  p_.window.StopTimer(kWatchdogTimer);
  GoIdle();
  handover_.Forget();
  plan_.CutToMeasured();  // the group is closed: no point is added any more
  plan_.StopPlan();
  state_ = ScanState::kIdle;
  pauseRequested_ = false;
  ScanEndReport report;
  report.stopped = true;
  report.single = single_;
  report.points = p_.store.Set(0).Count();
  if (single_) singleNext_ = false;
  single_ = false;
  ++scansEnded_;
  p_.events.ScanEnded(report);
}

void ScanEngine::Watchdog() {
  if (state_ != ScanState::kScanning) return;
  if (!p_.board.Port().IsOpen()) {
    FinishScan(false, "Плата анализатора отключена (порт закрыт), сканирование прервано");
    return;
  }
  if (!loop_) return;
  const int64_t now = SteadyNowNs();
  const int64_t blocks = loop_->BlocksSeen();
  // Data is expected only while the receiver back end is not told to drop everything. The back
  // end counts m_SkipBlocks down as it drops blocks, so the whole upper range means "everything"
  // (between groups, while a run's reply is awaited for seconds).
  if (blocks != lastBlocks_ || p_.rings.m_SkipBlocks.load() >= LoopCounters::kSkipAll / 2) {
    lastBlocks_ = blocks;
    lastBlocksNs_ = now;
    return;
  }
  if (now - lastBlocksNs_ > int64_t{kStallMs} * 1'000'000) {
    FinishScan(false, "Приёмник перестал выдавать данные, сканирование прервано");
  }
}

void ScanEngine::GroupStarted(uint64_t id) {
  PostToWindow([this, id] { handover_.RunStarted(id); });
}

void ScanEngine::GroupFinished(const GroupEnd& end) {
  PostToWindow([this, end] { handover_.Finished(end); });
}

void ScanEngine::ScanBlock(const float* a, const float* b, float peakA, float peakB) {
  group_.ScanBlock(a, b, peakA, peakB);
}

void ScanEngine::ScanOverrun() { group_.ScanOverrun(); }

void ScanEngine::PostToWindow(std::function<void()> task) {
  p_.window.Post(alive_.Guard(std::move(task)));
}

}  // namespace kavu
