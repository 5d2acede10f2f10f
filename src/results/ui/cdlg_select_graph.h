#pragma once
// CDlg_SelectGraph: the graph-selection panel along the top of the results window. Its boxes
// choose which quantities of which sets are drawn; its edits and combo boxes hold the bridge,
// cable and display limits; its buttons send commands to the results window. Every change is
// stored at once in settings section "CDlg_SelectGraph" and announced by changed().
#include <QCheckBox>
#include <QGridLayout>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <map>

#include "results/graph_panel_settings.h"
#include "shell/ui/flow_layout.h"

namespace kavu {

// A check box whose third state is the stored value 2; clicks go 0 → 1 → 2 → 0.
class TriStateBox : public QCheckBox {
  Q_OBJECT
 public:
  TriStateBox(const QString& text, bool tristate, QWidget* parent = nullptr);
  static int32_t Stored(Qt::CheckState s) { return s == Qt::Checked ? 1 : (s == Qt::PartiallyChecked ? 2 : 0); }
  static Qt::CheckState State(int32_t v) {
    return v == 1 ? Qt::Checked : (v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
  }

 protected:
  void nextCheckState() override;
};

class CDlg_SelectGraph : public QWidget {
  Q_OBJECT
 public:
  // The window menu's "&О программе KavuSdrAA" (the system command that opens the About box).
  static constexpr int kAboutCommand = 16;

  explicit CDlg_SelectGraph(QWidget* parent = nullptr);

  // load: settings store → settings → controls; otherwise controls → settings → store.
  void Exchange(bool load);
  const GraphPanelSettings& Values() const { return values_; }
  // Enables the second-channel boxes (a shown set has second-channel data).
  void EnableDuo(bool on);
  // Sets or clears a comparison slot's box (1–6) without a command.
  void SetFileBox(int slot, bool on);
  // Shows calibration on/off and whether it is valid (red while on but not valid).
  void ShowCalibration(bool on, bool valid, int number);

  QCheckBox* Box(const char* key) const;
  QWidget* NumberControl(const char* key) const;
  // The window menu (button "☰"): the About item.
  QMenu& WindowMenu() { return *window_menu_; }

 signals:
  void changed();          // start the rebuild
  // A command for the results window (2000, 2700…, 2799, 2800…, 3100; kAboutCommand from the
  // window menu).
  void command(int code);
  void calibrationToggled(bool on);
  void calibrationSetupAsked();
  void helpAsked();

 private:
  // Each builder adds its columns to `flow` as blocks of up to five rows; the blocks wrap to a
  // new line when the panel is narrower than all of them.
  void BuildBoxes(FlowLayout* flow);
  void BuildNumbers(FlowLayout* flow);
  void BuildButtons(FlowLayout* flow);
  void NumberEdited(const GraphPanelSettings::NumberKey& key);
  void ShowNumber(const GraphPanelSettings::NumberKey& key);
  QLineEdit* EditOf(const GraphPanelSettings::NumberKey& key) const;

  QMenu* window_menu_ = nullptr;
  GraphPanelSettings values_;
  std::map<std::string, TriStateBox*> boxes_;
  std::map<std::string, QWidget*> numbers_;  // QLineEdit or editable QComboBox
  TriStateBox* file_boxes_[7] = {};
  QCheckBox* cal_box_ = nullptr;
  QPushButton* cal_setup_ = nullptr;
  int spin_last_ = 0;
  bool loading_ = false;
};

}  // namespace kavu
