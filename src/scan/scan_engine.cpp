// ScanEngine, window-thread side: starting, planning and sending groups, their ends, pausing,
// ending a scan.
#include "scan/scan_engine.h"

#include <cmath>
#include <cstdio>

#include "platform/number_text.h"
#include "scan/scan_saving.h"
#include "scan/bridge_settings.h"
#include "scan/spektr_settings.h"
#include "shell/fatal_error.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string Mhz3(double hz) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.3f", hz / 1e6);
  return buf;
}
}  // namespace

ScanEngine::ScanEngine(const ScanEngineParts& parts, int64_t chain_capacity)
    : p_(parts), options_(ScanOptions::Load()), calibration_(std::make_unique<Calibration>()) {
  std::string error;
  chain_ = OSignalChain::Create(chain_capacity, &error);
  if (!chain_) FatalError("ScanEngine: " + error);
  meas_ = std::make_unique<OMeasurement>(*chain_, p_.store.Set(0));
  meas_->SetScanPlan(&plan_);
  meas_->SetLevels(&p_.receivers);
}

ScanEngine::~ScanEngine() { p_.window.StopTimer(kWatchdogTimer); }

MeasuredPoint ScanEngine::LastPoint() const {
  std::lock_guard lock(lastMutex_);
  return last_;
}

void ScanEngine::GoIdle() {
  std::lock_guard lock(groupMutex_);
  groupOpen_ = false;
  counters_.SdrLoopSkipN = LoopCounters::kIdle;
  p_.rings.m_SkipBlocks = 0;
}

bool ScanEngine::StartScan() {
  Log() << LogColour(14) << "\nЗАПУСК СКАНИРОВАНИЯ ****************** \n";
  // A scan already running is stopped first: its sets are never rotated under its samples.
  if (state_ != ScanState::kIdle) StopScan();
  pauseRequested_ = false;
  p_.events.PauseButtonText("Пауза");
  {
    std::lock_guard lock(lastMutex_);
    last_ = MeasuredPoint{};
  }
  if (!plan_.StartPlan(rangeText_)) {
    p_.box.Show(SpektrSettings::kRangeErrorText);
    return false;
  }
  single_ = singleNext_;
  if (!p_.board.Port().IsOpen()) {
    plan_.StopPlan();
    p_.box.Show("Com-порт не открыт, управление анализатором не возможно");
    return false;
  }
  calibration_->LoadFromSettings();
  impedance_ = std::make_unique<ImpedanceComputer>(LoadBridgeSettings(), calibration_.get());
  std::array<double, kMaxGroupFrequencies> first{};
  if (plan_.NextFrequencies(first.data(), kMaxGroupFrequencies) < 1 || !p_.gen.InitAllGens(first[0])) {
    plan_.StopPlan();
    GoIdle();
    return false;
  }
  {
    std::lock_guard lock(groupMutex_);
    p_.store.StartNewScanSets(hasB_);
    meas_->SetResultSet(p_.store.Set(0));
    meas_->SetImpedance(impedance_.get());
    meas_->ResetTimers();
    stats_.Reset(SteadyNowNs());
  }
  failedInRow_ = 0;
  state_ = ScanState::kScanning;
  lastOverloadA_ = p_.rings.m_OverloadA.load();
  lastOverloadB_ = p_.rings.m_OverloadB.load();
  p_.window.StartTimer(kWatchdogTimer, 250, [this] { Watchdog(); });
  return SetScanF();
}

bool ScanEngine::OnButtonScanOne() {
  if (state_ != ScanState::kIdle) StopScan();
  pauseRequested_ = false;
  single_ = true;
  calibration_->LoadFromSettings();
  impedance_ = std::make_unique<ImpedanceComputer>(LoadBridgeSettings(), calibration_.get());
  {
    std::lock_guard lock(groupMutex_);
    counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
    p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
    p_.store.StartNewScanSets(hasB_);
    meas_->SetResultSet(p_.store.Set(0));
    meas_->SetImpedance(impedance_.get());
    meas_->ResetTimers();
    stats_.Reset(SteadyNowNs());
  }
  plan_.StartSingle();
  GroupPlan g;
  g.status = GroupPlan::Status::kOk;
  g.count = 1;
  g.freqs[0] = p_.gen.State().current_hz;
  g.tuningHz = p_.receivers.Rtl().CurrentFrequency();
  // A scan's batch leaves the generator at its last frequency, not at the one last set by hand:
  // set it again, so the batch (which takes F[0] as already set) measures where it says.
  if (!p_.gen.SetGenFManual(g.freqs[0])) {
    GoIdle();
    p_.box.Show("OnButtonScanOne(), не удалось установить частоту генератора\n" + p_.gen.State().error_text);
    return false;
  }
  FrequencyBatch batch;
  if (!p_.gen.MyBigCmdCreate(std::span<const double>(g.freqs.data(), 1), batch)) {
    GoIdle();
    p_.box.Show("OnButtonScanOne() - ошибка MyBigCmdCreate() !!!");
    return false;
  }
  state_ = ScanState::kScanning;
  p_.window.StartTimer(kWatchdogTimer, 250, [this] { Watchdog(); });
  {
    std::lock_guard lock(groupMutex_);
    group_ = g;
    f0_ = g.freqs[0];
    tuning_ = std::floor(g.tuningHz + 0.5);
    groupPlan_ = p_.keeper.Published();
    ++groupId_;
    groupFirstPoint_ = p_.store.Set(0).Count();
    groupMark_ = plan_.MarkGroupStart();
    blockCounter_ = 0;
    groupOpen_ = true;
  }
  lastBlocks_ = -1;
  p_.rings.m_SkipBlocks = options_.m_Delay1_CB;
  counters_.m_RingResync = 1;
  counters_.SdrLoopSkipN = groupPlan_->SettleBlocks();
  if (!p_.gen.StoreBatch(batch)) {
    FinishScan(false, "OnButtonScanOne() - ошибка посыла BigCmd2() !!!");
    return false;
  }
  return true;
}

bool ScanEngine::SetScanF() {
  const int64_t t0 = SteadyNowNs();
  counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
  p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
  const std::shared_ptr<const SampleRatePlan> plan = p_.keeper.Published();
  GroupPlan g = plan_.PlanBatch(options_.GroupInputs(*plan, 0));
  if (g.status == GroupPlan::Status::kNothingLeft) {
    FinishScan(true, "");
    return true;
  }
  if (g.status == GroupPlan::Status::kConflict) {
    FinishScan(false, g.error);
    return false;
  }
  if (g.count < 1) {
    FinishScan(false, "ODlgSpektr::SetScanF() - список частот оказался пустым");
    return false;
  }
  const double f0 = g.freqs[0];
  if (!p_.gen.SetGenFManual(f0)) {
    Log() << LogColour(kColourError) << "ODlgSpektr::SetScanF(), SetGenFM err !!! \n";
    FinishScan(false, "SetScanF(), не удалось установить частоту генератора в " + Mhz3(f0) + " МГц\n" +
                          p_.gen.State().error_text);
    return false;
  }
  const double tuning = std::floor(g.tuningHz + 0.5);
  if (!p_.receivers.Tune(tuning, g.freqs.data(), g.count)) {
    FinishScan(false, "SetScanF(), не удалось настроить приёмник на " + Mhz3(tuning) + " МГц");
    return false;
  }
  FrequencyBatch batch;
  if (!p_.gen.MyBigCmdCreate(std::span<const double>(g.freqs.data(), static_cast<size_t>(g.count)), batch)) {
    FinishScan(false, "ODlgSpektr::SetScanF() - ошибку вернула MyBigCmdCreate !!!");
    return false;
  }
  g.count = std::clamp(batch.count, 1, g.count);
  UpdateStatus(f0, g.count, g.freqs[static_cast<size_t>(g.count - 1)] - f0);
  p_.events.Title("Fsdr = " + Mhz3(tuning) + " МГц, группа из " + std::to_string(g.count) + " частот");
  {
    std::lock_guard lock(groupMutex_);
    group_ = g;
    f0_ = f0;
    tuning_ = tuning;
    groupPlan_ = plan;
    ++groupId_;
    groupFirstPoint_ = p_.store.Set(0).Count();
    groupMark_ = plan_.MarkGroupStart();
    blockCounter_ = 0;
    groupOpen_ = true;
    stats_.sdrSetupSec += static_cast<double>(SteadyNowNs() - t0) * 1e-9;
  }
  lastBlocks_ = -1;
  // In this order, after the skip-all above and before the upload.
  p_.rings.m_SkipBlocks = options_.m_Delay1_CB;
  counters_.m_RingResync = 1;
  counters_.SdrLoopSkipN = plan->SettleBlocks();
  if (!p_.gen.StoreBatch(batch)) {
    FinishScan(false, p_.board.Port().IsOpen()
                          ? "ODlgSpektr::SetScanF() - ошибка посыла BigCmd2() !!!"
                          : "ODlgSpektr::SetScanF() - ошибка посыла BigCmd2() !!! Плата анализатора отключена");
    return false;
  }
  return true;
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

void ScanEngine::OnExec(uint64_t id) {
  if (state_ != ScanState::kScanning || id != groupId_) return;
  if (p_.board.BigCmd2_Exec()) return;
  Log() << LogColour(kColourError) << "ODlgSpektr::On_WM_My_ScanUpdate1(), wParam=" << 77
        << " send RfmBigCmdExec err !!! \n";
  if (!p_.board.Port().IsOpen()) {
    FinishScan(false, "Плата анализатора не отвечает (порт закрыт), сканирование прервано");
    return;
  }
  // The board did not confirm the run: which generator steps it played cannot be known, so the
  // group fails and its points are measured again. The reply comes after the run, so the sample
  // thread may have ended the group already; its end, queued behind this task, is failed then.
  GroupEnd end;
  {
    std::lock_guard lock(groupMutex_);
    if (id != groupId_) return;
    refusedId_ = id;
    if (!groupOpen_) return;
    counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
    p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
    groupOpen_ = false;
    end = GroupEnd{id, true, false, false, index_};
    stats_.groups++;
  }
  OnGroupEnded(end);
}

void ScanEngine::OnGroupEnded(const GroupEnd& ended) {
  if (state_ != ScanState::kScanning || ended.id != groupId_) return;
  GroupEnd end = ended;
  const bool refused = end.id == refusedId_;
  if (refused) {
    // The group is closed, so the sample thread no longer appends to set 0.
    AntIzms& set = p_.store.Set(0);
    if (set.Count() > groupFirstPoint_) {
      Log() << LogColour(kColourError) << "Плата не подтвердила прогон группы, её точки ("
            << (set.Count() - groupFirstPoint_) << ") будут измерены заново \n";
      set.SetCount(groupFirstPoint_);
    }
    plan_.RewindToMark(groupMark_);
    end.failed = true;
    end.setFull = false;
    end.measured = 0;
  }
  p_.events.GroupEnded(stats_.points.load(), stats_.groups.load());
  if (end.setFull) {
    FinishScan(false, "Набор точек заполнен (" + std::to_string(p_.store.Set(0).Capacity()) +
                          " точек), сканирование остановлено");
    return;
  }
  if (end.failed) {
    ++stats_.syncFailures;
    ++failedInRow_;
    const bool more = end.measured > 0 ? plan_.AdvanceAfterBatch() : true;
    if (single_) {
      FinishScan(false, refused
                            ? "Одно измерение не удалось: плата не подтвердила прогон"
                            : "Одно измерение не удалось: не найдена синхропауза");
      return;
    }
    if (!more) {
      FinishScan(true, "");
      return;
    }
    if (failedInRow_ >= kMaxFailedGroups) {
      FinishScan(false, std::to_string(kMaxFailedGroups) +
                            " группы подряд не измерены (нет синхропаузы, потеряны отсчёты или плата не подтвердила "
                            "запуск), сканирование прервано");
      return;
    }
    NextGroupOrPause();
    return;
  }
  failedInRow_ = 0;
  const bool more = plan_.AdvanceAfterBatch();
  if (!more || single_) {
    FinishScan(true, "");
    return;
  }
  NextGroupOrPause();
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
  p_.window.StopTimer(kWatchdogTimer);
  GoIdle();
  plan_.StopPlan();
  state_ = ScanState::kIdle;
  pauseRequested_ = false;
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
  // Data is expected only while the receiver back end is not told to drop everything.
  if (blocks != lastBlocks_ || p_.rings.m_SkipBlocks.load() >= LoopCounters::kSkipAll) {
    lastBlocks_ = blocks;
    lastBlocksNs_ = now;
    return;
  }
  if (now - lastBlocksNs_ > int64_t{kStallMs} * 1'000'000) {
    FinishScan(false, "Приёмник перестал выдавать данные, сканирование прервано");
  }
}

void ScanEngine::FinishScan(bool ok, const std::string& error) {
  p_.window.StopTimer(kWatchdogTimer);
  GoIdle();
  const bool wasSingle = single_;
  state_ = ScanState::kIdle;
  pauseRequested_ = false;
  ScanEndReport report;
  report.ok = ok;
  report.error = error;
  report.single = wasSingle;
  {
    std::lock_guard lock(groupMutex_);
    stats_.endNs = SteadyNowNs();
    Log() << stats_.TotalLine();
    Log() << stats_.WaitLine();
    Log() << stats_.CostLine(meas_->ProcessingSeconds(), meas_->StageSeconds());
  }
  report.points = p_.store.Set(0).Count();
  if (!ok) p_.box.Show(error);
  if (wasSingle) {
    p_.events.ShowSignal();
  } else {
    SaveAntRes(report);
  }
  p_.events.ScanEnded(report);
  if (ok && cyclic_) {
    if (!wasSingle) plan_.CopyToPrevious();
    singleNext_ = false;
    PostToWindow([this] {
      if (state_ == ScanState::kIdle && cyclic_) StartScan();
    });
  }
}

}  // namespace kavu

namespace kavu {

void ScanEngine::SaveAntRes(ScanEndReport& report) {
  const ScanPlanView view = plan_.View();
  const std::shared_ptr<const SampleRatePlan> rate = p_.keeper.Published();
  const BridgeSettings bridge = impedance_ ? impedance_->Bridge() : BridgeSettings{};
  ScanSaveInputs in;
  in.options = &options_;
  in.description = p_.description;
  in.plan = &view;
  in.ratePlan = rate.get();
  in.bridge = &bridge;
  in.points = p_.store.Set(0).Count();
  in.seconds = stats_.Seconds();
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &in.local);
  const ScanSaveTexts t = ComposeScanSave(in);
  report.save = p_.store.SaveScanResult(t.name, t.note);
  report.saved = report.save.ok;
  if (!report.save.ok) {
    const std::string text = "Не удалось сохранить результат сканирования в " + report.save.path + ": " +
                             report.save.error;
    p_.box.Show(text);
    report.ok = false;
    report.error = report.error.empty() ? text : report.error + "\n" + text;
  }
}

}  // namespace kavu
