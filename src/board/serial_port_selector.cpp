#include "board/serial_port_selector.h"

#include "platform/event_loop.h"
#include "platform/port_change_monitor.h"
#include "shell/error_box.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr const char* kSection = "OSerialPortSelector";
}  // namespace

OSerialPortSelector::OSerialPortSelector(OSerialPort& port, IPortListView& view, ErrorBox* errors,
                                         int index)
    : port_(&port), view_(&view), errors_(errors), index_(index) {}

OSerialPortSelector::~OSerialPortSelector() { Detach(); }

std::string OSerialPortSelector::SettingsKey() const {
  return "m_PortSelect_" + std::to_string(index_);
}

int OSerialPortSelector::Fill(const PortList& list) {
  view_->Clear();
  view_->AddItem("Не выбран", 0);
  int found = selected_ == 0 ? 0 : -1;
  int item = 1;
  for (const PortListEntry& e : list.entries) {
    view_->AddItem(e.number < 0 ? e.text : "COM" + std::to_string(e.number) + " " + e.text, e.number);
    if (e.number == selected_) found = item;
    ++item;
  }
  view_->Select(found);
  return found;
}

void OSerialPortSelector::InitFromSettings() {
  selected_ = Settings().GetProfileInt(kSection, SettingsKey(), 0);
  const PortList list = BuildPortList();
  const bool listed = Fill(list) >= 0;
  port_->Close();
  if (!listed || selected_ == 0) return;
  if (!port_->Open(selected_, OSerialPort::kBaud)) {
    port_->Close();
    selected_ = 0;
    view_->Select(0);
  }
}

void OSerialPortSelector::OnSelChange() {
  const int item = view_->Selection();
  if (item < 0) return;
  selected_ = view_->ItemData(item);
  Settings().WriteProfileInt(kSection, SettingsKey(), selected_);
  Reopen(true);
}

bool OSerialPortSelector::Reopen(bool show_error) {
  port_->Close();
  if (selected_ == 0) return true;
  if (port_->Open(selected_, OSerialPort::kBaud)) return true;
  const int failed = selected_;
  port_->Close();
  selected_ = 0;
  view_->Select(0);
  if (show_error && errors_) {
    errors_->Show("ОШИБКА ОТКРЫТИЯ COM" + std::to_string(failed) + "\n" + port_->LastErrorText());
  } else if (show_error) {
    Log() << LogColour(kColourError) << "ОШИБКА ОТКРЫТИЯ COM" << failed << "\n"
          << port_->LastErrorText() << "\n"
          << LogColour(kColourNormal);
  }
  return false;
}

bool OSerialPortSelector::OnDeviceChange() {
  Log() << "enumports \n";
  const PortList list = BuildPortList();
  if (Fill(list) < 0) {
    port_->Close();
    return true;
  }
  if (port_->IsOpen() || selected_ == 0) return false;
  Reopen(false);
  return true;
}

void OSerialPortSelector::Attach(IPortChangeSource& source, IWindowThread& window,
                                 std::function<void()> after) {
  Detach();
  source_ = &source;
  const LivenessWatch alive = alive_.Watch();
  source.Start([this, &window, after, alive] {
    window.Post([this, after, alive] {
      if (alive.Expired()) return;  // the selector ended before the task ran
      if (OnDeviceChange() && after) after();
    });
  });
}

void OSerialPortSelector::Detach() {
  if (source_) source_->Stop();
  source_ = nullptr;
}

}  // namespace kavu
