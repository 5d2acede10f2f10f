#include "results/ui/cdlg_select_graph.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

struct Preset {
  const char* text;
  int value;
};
const std::map<std::string, std::vector<Preset>>& Presets() {
  static const std::map<std::string, std::vector<Preset>> p = {
      {"m_RCable", {{"50 Ом", 50}, {"75 Ом", 75}}},
      {"m_Most1", {{"50 Ом", 50}, {"51 Ом", 51}, {"56 Ом", 56}, {"68 Ом", 68}, {"75 Ом", 75}, {"100 Ом", 100}}},
      {"m_Most2", {{"50 Ом", 50}, {"51 Ом", 51}, {"75 Ом", 75}}},
      {"m_Most3", {{"330 Ом", 330}, {"510 Ом", 510}}},
      {"m_Most4", {{"24 Ом", 24}, {"50 Ом", 50}}},
      {"m_Most5", {{"33000 пФ", 33000}, {"1000 пФ", 1000}, {"100 пФ", 100}, {"0 (замкнут)", 0}}},
  };
  return p;
}

const char* NumberLabel(const std::string& key) {
  static const std::map<std::string, const char*> labels = {
      {"m_LenCable", "Кабель, м:"}, {"m_RCable", "В кабеле"}, {"m_KsvMax", "КСВ max"},
      {"m_RMax", "R max"}, {"m_Most1", "Rверх, Ом:"}, {"m_Most2", "Rниз, Ом:"},
      {"m_Most3", "Rдел, Ом:"}, {"m_Most4", "Rзем, Ом:"}, {"m_Most5", "Сразд, пФ:"}};
  auto it = labels.find(key);
  return it == labels.end() ? "" : it->second;
}

constexpr int kRows = 5;  // the panel's controls stand in columns of five rows

// A block of the panel: one or more of its columns, kept together when the panel wraps.
QGridLayout* Block(QWidget* panel, FlowLayout* flow) {
  auto* block = new QWidget(panel);
  auto* grid = new QGridLayout(block);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(0);
  flow->addWidget(block, 0);
  return grid;
}

constexpr const char* kDuoKeys[] = {"m_IsNS", "m_IsONS", "m_IsDeltaA", "m_IsDeltaA_B",
                                    "m_IsFAZA_Duo", "m_UseDuoFaza", "m_UseDuoAmpl"};

}  // namespace

TriStateBox::TriStateBox(const QString& text, bool tristate, QWidget* parent) : QCheckBox(text, parent) {
  setTristate(tristate);
}

void TriStateBox::nextCheckState() {
  if (!isTristate()) return QCheckBox::nextCheckState();
  // Unchecked → checked → third state → unchecked, the order the stored values 0, 1, 2 follow.
  const Qt::CheckState s = checkState();
  setCheckState(s == Qt::Unchecked ? Qt::Checked : (s == Qt::Checked ? Qt::PartiallyChecked : Qt::Unchecked));
}

CDlg_SelectGraph::CDlg_SelectGraph(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  setFocusPolicy(Qt::ClickFocus);
  // The columns wrap like the main window's rows: on a narrow screen every field stays in reach
  // without scrolling sideways.
  auto* flow = new FlowLayout(this, 12);
  flow->setContentsMargins(4, 2, 4, 2);
  BuildButtons(flow);
  BuildBoxes(flow);
  BuildNumbers(flow);
  Exchange(true);
}

void CDlg_SelectGraph::BuildBoxes(FlowLayout* flow) {
  int i = 0;
  QGridLayout* grid = nullptr;
  for (const auto& k : GraphPanelSettings::CheckKeys()) {
    if (i % kRows == 0) grid = Block(this, flow);
    auto* box = new TriStateBox(QString::fromUtf8(k.caption), k.tristate, this);
    boxes_[k.key] = box;
    grid->addWidget(box, i % kRows, 0);
    ++i;
    connect(box, &QCheckBox::stateChanged, this, [this, field = k.field, box] {
      if (loading_) return;
      values_.*field = TriStateBox::Stored(box->checkState());
      Exchange(false);
      Log() << "CDlg_SelectGraph::ChangeGraph() \n";
      emit changed();
    });
  }
}

void CDlg_SelectGraph::BuildNumbers(FlowLayout* flow) {
  int row = 0;
  QGridLayout* grid = nullptr;
  QGridLayout* first = nullptr;  // the cable length's column: its ±1 mm spin stands beside it
  for (const auto& k : GraphPanelSettings::NumberKeys()) {
    if (row == 0) grid = Block(this, flow);
    if (!first) first = grid;
    QWidget* control;
    QLineEdit* edit;
    auto p = Presets().find(k.key);
    if (p != Presets().end()) {
      auto* combo = new QComboBox(this);
      combo->setEditable(true);
      for (const auto& item : p->second) combo->addItem(QString::fromUtf8(item.text), item.value);
      connect(combo, &QComboBox::activated, this, [this, combo, &k](int index) {
        combo->setEditText(QString::number(combo->itemData(index).toInt()));
        NumberEdited(k);
      });
      control = combo;
      edit = combo->lineEdit();
    } else {
      edit = new QLineEdit(this);
      control = edit;
    }
    control->setMaximumWidth(90);
    connect(edit, &QLineEdit::editingFinished, this, [this, &k] { NumberEdited(k); });
    numbers_[k.key] = control;
    grid->addWidget(new QLabel(QString::fromUtf8(NumberLabel(k.key)), this), row, 0);
    grid->addWidget(control, row, 1);
    if (++row == kRows) row = 0;
  }
  auto* spin = new QSpinBox(this);
  spin->setRange(-1000000, 1000000);
  spin->setFixedWidth(20);
  spin->setToolTip("±1 мм (с Shift ±1 см)");
  connect(spin, &QSpinBox::valueChanged, this, [this](int v) {
    const int delta = v - spin_last_;
    spin_last_ = v;
    if (loading_ || delta == 0) return;
    const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    values_.m_LenCable += delta * (shift ? 0.01 : 0.001);
    ShowNumber(*GraphPanelSettings::FindNumber("m_LenCable"));
    Exchange(false);
    emit changed();
  });
  first->addWidget(spin, 0, 2);
}

void CDlg_SelectGraph::BuildButtons(FlowLayout* flow) {
  QGridLayout* grid = Block(this, flow);
  const int col = 0;
  auto button = [&](const char* text, int code, int row, int c) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    connect(b, &QPushButton::clicked, this, [this, code] { emit command(code); });
    grid->addWidget(b, row, c);
    return b;
  };
  button("Экспорт в txt", 2000, 0, col);
  button("Открыть ф...", 2799, 1, col);
  button("Диаграммы...", 3100, 2, col);
  static const char* kFileButtons[6] = {"Файл1...", "Ф2", "Ф3", "Ф4", "Ф5", "Ф6"};
  for (int s = 0; s < 6; ++s) {
    QPushButton* b = button(kFileButtons[s], 2700 + s, s / 2, col + 1 + (s % 2) * 2);
    b->setMaximumWidth(70);
    auto* box = new TriStateBox("", false, this);
    box->setToolTip(QString("Показать файл %1").arg(s + 1));
    file_boxes_[s + 1] = box;
    grid->addWidget(box, s / 2, col + 2 + (s % 2) * 2);
    connect(box, &QCheckBox::stateChanged, this, [this, s, box] {
      if (loading_) return;
      values_.m_IsFile[static_cast<size_t>(s + 1)] = box->isChecked() ? 1 : 0;
      Exchange(false);
      emit command(2800 + s);
      emit changed();
    });
  }
  cal_box_ = new QCheckBox("Калибр 1", this);
  connect(cal_box_, &QCheckBox::clicked, this, [this](bool on) { emit calibrationToggled(on); });
  grid->addWidget(cal_box_, 3, col + 1, 1, 2);
  cal_setup_ = new QPushButton("Настр...", this);
  connect(cal_setup_, &QPushButton::clicked, this, [this] { emit calibrationSetupAsked(); });
  grid->addWidget(cal_setup_, 3, col + 3, 1, 2);
  auto* help = new QPushButton("Справка F1", this);
  connect(help, &QPushButton::clicked, this, [this] { emit helpAsked(); });
  grid->addWidget(help, 4, col);
  // The window menu, as the main window's "☰": a desktop window has no system menu to hold it.
  window_menu_ = new QMenu(this);
  window_menu_->addAction(QString::fromUtf8("&О программе KavuSdrAA"), this, [this] { emit command(kAboutCommand); });
  auto* menu = new QToolButton(this);
  menu->setObjectName("windowMenu");
  menu->setText(QString::fromUtf8("☰"));
  menu->setPopupMode(QToolButton::InstantPopup);
  menu->setMenu(window_menu_);
  grid->addWidget(menu, 3, col);
}

QLineEdit* CDlg_SelectGraph::EditOf(const GraphPanelSettings::NumberKey& key) const {
  QWidget* w = numbers_.at(key.key);
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->lineEdit();
  return qobject_cast<QLineEdit*>(w);
}

void CDlg_SelectGraph::ShowNumber(const GraphPanelSettings::NumberKey& key) {
  QString text = QString::fromStdString(FormatTrimmed(values_.*key.field, 6));
  if (std::string(key.key) == "m_RCable") text += " Ом";
  EditOf(key)->setText(text);
}

void CDlg_SelectGraph::NumberEdited(const GraphPanelSettings::NumberKey& key) {
  if (loading_) return;
  const double before = values_.*key.field;
  values_.*key.field = GraphPanelSettings::ParseTyped(key, EditOf(key)->text().toStdString());
  ShowNumber(key);
  if (values_.*key.field == before) return;
  Exchange(false);
  if (std::string(key.key) == "m_RCable") Log() << "m_Combo2_RCable = " << EditOf(key)->text().toStdString() << "\n";
  Log() << "m_Mosts = " << values_.m_Most1 << " " << values_.m_Most2 << " " << values_.m_Most3 << " "
        << values_.m_Most4 << " " << values_.m_Most5 << "\n";
  Log() << "CDlg_SelectGraph::ChangeGraph() \n";
  emit changed();
}

void CDlg_SelectGraph::Exchange(bool load) {
  if (!load) {
    values_.Store(Settings());
    return;
  }
  loading_ = true;
  values_.Load(Settings());
  for (const auto& k : GraphPanelSettings::CheckKeys()) boxes_[k.key]->setCheckState(TriStateBox::State(values_.*k.field));
  for (int s = 1; s <= 6; ++s) file_boxes_[s]->setChecked(values_.m_IsFile[static_cast<size_t>(s)] != 0);
  for (const auto& k : GraphPanelSettings::NumberKeys()) ShowNumber(k);
  loading_ = false;
}

void CDlg_SelectGraph::EnableDuo(bool on) {
  for (const char* k : kDuoKeys) boxes_[k]->setEnabled(on);
}

void CDlg_SelectGraph::SetFileBox(int slot, bool on) {
  if (slot < 1 || slot > 6) return;
  loading_ = true;
  file_boxes_[slot]->setChecked(on);
  values_.m_IsFile[static_cast<size_t>(slot)] = on ? 1 : 0;
  loading_ = false;
  Exchange(false);
}

void CDlg_SelectGraph::ShowCalibration(bool on, bool valid, int number) {
  cal_box_->setText(QString("Калибр %1").arg(number + 1));
  cal_box_->setChecked(on);
  // On but not valid: red text on light red, so nobody trusts an uncalibrated display.
  const QString warn = (on && !valid) ? "color: red; background-color: rgb(255,190,190);" : "";
  cal_box_->setStyleSheet(warn);
  cal_setup_->setStyleSheet(warn);
}

QCheckBox* CDlg_SelectGraph::Box(const char* key) const {
  auto it = boxes_.find(key);
  return it == boxes_.end() ? nullptr : it->second;
}

QWidget* CDlg_SelectGraph::NumberControl(const char* key) const {
  auto it = numbers_.find(key);
  return it == numbers_.end() ? nullptr : it->second;
}

}  // namespace kavu
