// ScanStation: what the main window's controls (and the web page) ask of the station.
#include "scan/scan_station.h"

namespace kavu {

bool ScanStation::OpenPort(int number) {
  const int item = port_view_.Find(number);
  if (item < 0) {
    box_.Show("ОШИБКА ОТКРЫТИЯ COM" + std::to_string(number) + "\nнет такого порта в списке");
    return false;
  }
  port_view_.Select(item);
  selector_->OnSelChange();  // remembers the choice, re-opens, error box on failure
  NotifyPorts();
  return port_.IsOpen();
}

void ScanStation::ClosePort() {
  port_view_.Select(port_view_.Find(0));
  selector_->OnSelChange();
  NotifyPorts();
}

bool ScanStation::ChooseReceiver(int index) {
  if (index < 0 || index >= static_cast<int>(receivers_->Entries().size())) return false;
  // The receiver is closed and reopened under a running scan's samples otherwise.
  if (engine_->State() != ScanState::kIdle) engine_->StopScan();
  receivers_->UserSelect(index);
  settings_.m_SelectSdrKey = ReceiverKey(receivers_->Entries()[static_cast<size_t>(index)]);
  return receivers_->ActiveSampleRate() > 0;
}

bool ScanStation::ChooseReceiverByKey(const std::string& key) {
  const int index = receivers_->FindKey(key);
  return index >= 0 && ChooseReceiver(index);
}

GenChoice ScanStation::ChooseGenerator(int index) {
  if (!gen_->List().Select(index)) return GenChoice::kRefused;  // saves m_GenNum
  settings_.m_GenNum = index;
  if (gen_->GetGenNum() < 0) return GenChoice::kNeedsOptions;
  return gen_->InitAllGens(settings_.m_FM_Gen) ? GenChoice::kInitialised : GenChoice::kFailed;
}

bool ScanStation::SwitchOnGenerators() { return gen_->InitAllGens(settings_.m_FM_Gen); }

GenChoice ScanStation::ChooseGeneratorAsync(int index, std::function<void(bool)> done) {
  if (!gen_->List().Select(index)) return GenChoice::kRefused;
  settings_.m_GenNum = index;
  if (gen_->GetGenNum() < 0) return GenChoice::kNeedsOptions;
  return gen_->InitAllGensAsync(settings_.m_FM_Gen, std::move(done)) ? GenChoice::kStarted : GenChoice::kFailed;
}

bool ScanStation::SwitchOnGeneratorsAsync(std::function<void(bool)> done) {
  return gen_->InitAllGensAsync(settings_.m_FM_Gen, std::move(done));
}

StationView ScanStation::View() const {
  StationView v;
  v.ports = port_view_.Items();
  v.port_item = port_view_.Selection();
  v.open_port = port_.IsOpen() ? port_.PortNumber() : 0;
  v.generators_switchable = port_.IsOpen();
  for (const ReceiverEntry& e : receivers_->Entries()) v.receivers.push_back(e.text);
  v.receiver = receivers_->Selected();
  v.receiver_open = receivers_->ActiveSampleRate() > 0;
  v.receiver_status = receivers_->Status();
  v.generators = gen_->List().Items();
  v.generator = gen_->List().Selected();
  v.scanning = engine_->State() != ScanState::kIdle;
  return v;
}

}  // namespace kavu
