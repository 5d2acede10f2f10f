#pragma once
// OSerialPortSelector: binds an OSerialPort to a drop-down list of ports. It lists the ports
// present (board/port_list.h), remembers the choice under section "OSerialPortSelector", key
// "m_PortSelect_<index>" (integer, default 0 = none, -33 = network bridge), opens the chosen port
// at 115200 baud and follows devices appearing and disappearing. Window thread only.
#include <functional>
#include <memory>
#include <string>

#include "board/port_list.h"
#include "board/serial_port.h"
#include "shell/liveness.h"

namespace kavu {

class ErrorBox;
class IPortChangeSource;
class IWindowThread;

// The drop-down list as the selector sees it (a Qt combo box in the desktop program).
class IPortListView {
 public:
  virtual ~IPortListView() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& text, int data) = 0;
  // Selects item `index`; -1 leaves the list without selection.
  virtual void Select(int index) = 0;
  // The selected item, or -1.
  virtual int Selection() const = 0;
  virtual int ItemData(int index) const = 0;
};

class OSerialPortSelector {
 public:
  // `errors` may be null (errors are then only logged). `index` tells selectors apart in the
  // settings; both windows of the program use 0.
  OSerialPortSelector(OSerialPort& port, IPortListView& view, ErrorBox* errors, int index = 0);
  ~OSerialPortSelector();

  // Reads the saved port, lists the ports, fills the list and opens the saved port silently.
  void InitFromSettings();
  // The user picked an entry: saves its number and re-opens, with an error box on failure.
  void OnSelChange();
  // The set of devices changed: re-lists, closes a port that vanished, re-opens silently a chosen
  // port that came back. Returns whether it acted (the caller then updates what depends on it).
  bool OnDeviceChange();
  // Closes and opens the selected port; on failure selects "Не выбран" and shows the port's
  // error text when `show_error` (the setting keeps its value).
  bool Reopen(bool show_error);

  // Calls OnDeviceChange on `window` whenever `source` reports a change, until Detach (or the
  // selector's end). `after` (may be null) runs on the window thread when it acted.
  void Attach(IPortChangeSource& source, IWindowThread& window, std::function<void()> after);
  void Detach();

  int SelectedPort() const { return selected_; }
  std::string SettingsKey() const;

 private:
  // Fills the view; returns the index of the selected port's item or -1.
  int Fill(const PortList& list);

  OSerialPort* port_;
  IPortListView* view_;
  ErrorBox* errors_;
  int index_;
  int selected_ = 0;
  IPortChangeSource* source_ = nullptr;
  Liveness alive_;  // posted tasks watch it
};

}  // namespace kavu
