// ODlgSpektr: the controls, their layout and their wiring.
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QShortcut>
#include <QVBoxLayout>

#include "scan/ui/odlg_spektr.h"
#include "scan/ui/spektr_texts.h"
#include "shell/ui/flow_layout.h"

namespace kavu {
namespace {

QLabel* Label(const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); }

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLineEdit* LimitEdit(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setValidator(new QIntValidator(-300, 300, e));
  e->setMaximumWidth(e->fontMetrics().horizontalAdvance("-0000") + 12);
  return e;
}

// Controls that belong together (a label and its field, a switch's buttons) in one piece that the
// row's flow keeps on one line.
QWidget* Group(QWidget* row, std::initializer_list<QWidget*> widgets) {
  auto* group = new QWidget(row);
  auto* h = new QHBoxLayout(group);
  h->setContentsMargins(0, 0, 0, 0);
  for (QWidget* w : widgets) h->addWidget(w);
  return group;
}

}  // namespace

void ODlgSpektr::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(4);
  outer->addWidget(BuildReceiverRow());
  outer->addWidget(BuildGeneratorRow());
  outer->addWidget(BuildScanRow());
  // The status line has a row of its own: its texts are long (the receive status, a group's).
  status_ = new QLabel(QString::fromUtf8(kInitialStatus), this);
  status_->setObjectName("status");
  status_->setAutoFillBackground(true);
  status_->setMargin(2);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  outer->addWidget(status_);
  view_ = new SpectrumView(station_->Spectrum(), station_->Spektr(), this);
  view_->setObjectName("spectrumView");
  view_->setMinimumHeight(200);
  outer->addWidget(view_, 1);
  BuildMenus();
  Connect();
}

QWidget* ODlgSpektr::BuildReceiverRow() {
  auto* row = new QWidget(this);
  auto* flow = new FlowLayout(row);
  sdr_list_ = new QComboBox(row);
  sdr_list_->setObjectName("sdrList");
  sdr_list_->setMinimumContentsLength(22);
  sdr_settings_ = Button("Настроить sdr...", "sdrSettings", row);
  sdr_settings_->setCheckable(true);
  sdr_freq_ = new FreqEdit(row);
  sdr_freq_->setObjectName("sdrFreq");
  flow->addWidget(Group(row, {Label("Sdr:", row), sdr_list_, sdr_settings_, sdr_freq_}), 0);
  show_filter_ = Button("Показ фильтра НЧ...", "showFilter", row);
  show_signal_ = Button("Показ изм сигнала...", "showSignal", row);
  show_graphs_ = Button("Показ графиков...", "showGraphs", row);
  options_ = Button("Настройки...", "options", row);
  menu_button_ = new QToolButton(row);
  menu_button_->setObjectName("windowMenu");
  menu_button_->setText(QString::fromUtf8("☰"));
  menu_button_->setPopupMode(QToolButton::InstantPopup);
  flow->addWidget(Group(row, {show_filter_, show_signal_, show_graphs_}), 0);
  flow->addWidget(Group(row, {options_, menu_button_}), 0);
  return row;
}

QWidget* ODlgSpektr::BuildGeneratorRow() {
  auto* row = new QWidget(this);
  auto* flow = new FlowLayout(row);
  gr_min_ = LimitEdit("grMin", row);
  gr_max_ = LimitEdit("grMax", row);
  vd_min_ = LimitEdit("vdMin", row);
  vd_max_ = LimitEdit("vdMax", row);
  flow->addWidget(Group(row, {Label("Показ сигнала Sdr, график:", row), gr_min_, Label("-", row), gr_max_,
                              Label("дБ", row)}), 0);
  flow->addWidget(Group(row, {Label("Водопад:", row), vd_min_, Label("-", row), vd_max_, Label("дБ", row)}), 0);
  port_list_ = new QComboBox(row);
  port_list_->setObjectName("portList");
  port_list_->setMinimumContentsLength(16);
  port_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  flow->addWidget(Group(row, {Label("Com:", row), port_list_}), 0);
  gen_list_ = new QComboBox(row);
  gen_list_->setObjectName("genList");
  gen_list_->setMinimumContentsLength(16);
  gen_switch_on_ = Button("Включить", "genSwitchOn", row);
  flow->addWidget(Group(row, {Label("Ген:", row), gen_list_, gen_switch_on_}), 0);
  gen_freq_ = new FreqEdit(row);
  gen_freq_->setObjectName("genFreq");
  gen_output_ = new QCheckBox(QString::fromUtf8("Вкл"), row);
  gen_output_->setObjectName("genOutput");
  gen_output_->setEnabled(false);
  flow->addWidget(Group(row, {Label("Fген:", row), gen_freq_, gen_output_}), 0);
  return row;
}

QWidget* ODlgSpektr::BuildScanRow() {
  auto* row = new QWidget(this);
  auto* flow = new FlowLayout(row);
  const char* texts[3] = {"О", "Ант", "off"};
  const char* names[3] = {"bridgeO", "bridgeAnt", "bridgeOff"};
  for (int i = 0; i < 3; ++i) {
    bridge_[i] = Button(texts[i], names[i], row);
    bridge_[i]->setCheckable(true);
    bridge_[i]->setFixedWidth(bridge_[i]->fontMetrics().horizontalAdvance("Ант") + 24);
  }
  scan_one_ = Button("Одно изм!", "scanOne", row);
  flow->addWidget(Group(row, {Label("Изм. мост:", row), bridge_[0], bridge_[1], bridge_[2], scan_one_}), 0);
  range_ = new QLineEdit(row);
  range_->setObjectName("range");
  range_->setMaxLength(8192);
  range_->setMinimumWidth(range_->fontMetrics().horizontalAdvance("140-150 0.5; 425-440 1") + 16);
  // The range takes what is left of its line: long range texts stay readable.
  flow->addWidget(Group(row, {Label("Диапазон: начало-конец шаг (МГц):", row), range_}), 1);
  scan_ = Button("Сканировать!", "scan", row);
  scan_->installEventFilter(this);  // notes Shift on the click that starts a scan
  pause_ = Button("Пауза", "pause", row);
  pause_->setEnabled(false);
  cyclic_ = new QCheckBox(QString::fromUtf8("Циклическое сканирование"), row);
  cyclic_->setObjectName("cyclic");
  misc_ = Button("Разное...", "misc", row);
  flow->addWidget(Group(row, {scan_, pause_, cyclic_, misc_}), 0);
  return row;
}

void ODlgSpektr::BuildMenus() {
  window_menu_ = new QMenu(this);
  window_menu_->addAction(QString::fromUtf8("Перепрошивка МК..."), this, [this] { MenuCommand(20000); });
  window_menu_->addAction(QString::fromUtf8("Настройки..."), this, [this] { MenuCommand(20001); });
  window_menu_->addAction(QString::fromUtf8("Одно измерение!"), this, [this] { MenuCommand(20002); });
  window_menu_->addAction(QString::fromUtf8("Графики..."), this, [this] { MenuCommand(20003); });
  window_menu_->addAction(QString::fromUtf8("&О программе KavuSdrAA"), this, [this] { MenuCommand(20999); });
  menu_button_->setMenu(window_menu_);

  service_menu_ = new QMenu(this);
  const std::pair<int, const char*> items[] = {
      {20000, "Смена прошивки МК..."}, {20001, "Настройки..."},        {20002, "Одно изм!"},
      {20003, "Графики..."},           {0, nullptr},                    {20100, "Снять CS"},
      {20101, "Выбор CS0"},            {20102, "Выбор CS1"},            {20103, "Выбор CS2"},
      {20104, "Выбор SPI Mode 0"},     {20105, "Выбор SPI Mode 1"},     {20106, "Выбор SPI Mode 2"},
      {20107, "Выбор SPI Mode 3"},     {20108, "Послать байт по SPI"},  {0, nullptr},
      {20200, "Перебор всех абонентов I2C"}, {0, nullptr},              {20300, "ШИМ вкл для ген. -5в"},
      {20301, "ШИМ выкл"},             {0, nullptr},                    {20999, "О программе..."}};
  for (const auto& [id, text] : items) {
    if (!text) {
      service_menu_->addSeparator();
      continue;
    }
    QAction* a = service_menu_->addAction(QString::fromUtf8(text), this, [this, id = id] { MenuCommand(id); });
    a->setData(id);
  }
}

void ODlgSpektr::Connect() {
  connect(sdr_list_, &QComboBox::activated, this, &ODlgSpektr::OnReceiverChosen);
  connect(port_list_, &QComboBox::activated, this, &ODlgSpektr::OnPortChosen);
  connect(gen_list_, &QComboBox::activated, this, &ODlgSpektr::OnGeneratorChosen);
  connect(sdr_settings_, &QPushButton::toggled, this, &ODlgSpektr::OnReceiverSettings);
  connect(sdr_freq_, &FreqEdit::Committed, this, [this](const QString& t) {
    SetF(station_->Spektr().SaveFM_SdrText(t.toStdString()));
  });
  connect(sdr_freq_, &FreqEdit::Stepped, this, [this](int steps) {
    const double shown = station_->Spektr().SaveFM_SdrText(sdr_freq_->Text().toStdString());
    SetF(SpinStepFrequency(shown, steps));
  });
  connect(gen_freq_, &FreqEdit::Committed, this, [this](const QString& t) {
    SetGenFManual(station_->Spektr().SaveFM_GenText(t.toStdString()));
  });
  connect(gen_freq_, &FreqEdit::Stepped, this, [this](int steps) {
    const double shown = station_->Spektr().SaveFM_GenText(gen_freq_->Text().toStdString());
    SetGenFManual(SpinStepFrequency(shown, steps));
  });
  auto limits = [this] {
    SpektrSettings& s = station_->Spektr();
    s.SaveGraphLimits(gr_min_->text().toInt(), gr_max_->text().toInt());
    s.SaveWaterfallLimits(vd_min_->text().toInt(), vd_max_->text().toInt());
    view_->update();
  };
  for (QLineEdit* e : {gr_min_, gr_max_, vd_min_, vd_max_}) connect(e, &QLineEdit::editingFinished, this, limits);
  connect(range_, &QLineEdit::editingFinished, this, &ODlgSpektr::StoreRangeText);
  connect(cyclic_, &QCheckBox::clicked, this, [this](bool on) {
    session_.NewRange(on, range_->text().toStdString());
  });
  connect(options_, &QPushButton::clicked, this, [this] { MenuCommand(20001); });
  connect(gen_switch_on_, &QPushButton::clicked, this, [this] {
    if (BoardFree("ODlgSpektr::OnBnClickedGenOn()") && station_->SwitchOnGenerators()) gen_output_->setEnabled(true);
  });
  connect(gen_output_, &QCheckBox::clicked, this, &ODlgSpektr::OnGenOutput);
  for (int i = 0; i < 3; ++i) connect(bridge_[i], &QPushButton::clicked, this, [this, i] { OnBridge(i); });
  connect(scan_one_, &QPushButton::clicked, this, &ODlgSpektr::OnButtonScanOne);
  connect(scan_, &QPushButton::clicked, this, [this] {
    const bool shift = (scan_click_modifiers_ | QGuiApplication::keyboardModifiers()) & Qt::ShiftModifier;
    scan_click_modifiers_ = Qt::NoModifier;
    StartScan(shift);
  });
  connect(pause_, &QPushButton::clicked, this, &ODlgSpektr::PauseOrContinue);
  connect(misc_, &QPushButton::clicked, this, [this] { service_menu_->popup(QCursor::pos()); });
  connect(show_filter_, &QPushButton::clicked, this, &ODlgSpektr::OnShowFilter);
  connect(show_signal_, &QPushButton::clicked, this, &ODlgSpektr::OnShowSignal);
  connect(show_graphs_, &QPushButton::clicked, this, &ODlgSpektr::ShowResults);
  connect(view_, &SpectrumView::DoubleClicked, this, &ODlgSpektr::TuneFromDoubleClick);
  Shortcuts();
}

void ODlgSpektr::Shortcuts() {
  // Keyboard first: every scan action has its key, named in the button's tool tip.
  const struct {
    QKeySequence key;
    QPushButton* button;
    std::function<void()> action;
  } keys[] = {{QKeySequence(Qt::Key_F5), scan_, [this] { StartScan(false); }},
              {QKeySequence(Qt::SHIFT | Qt::Key_F5), scan_, [this] { StartScan(true); }},
              {QKeySequence(Qt::Key_F6), scan_one_, [this] { OnButtonScanOne(); }},
              {QKeySequence(Qt::Key_F7), pause_, [this] { PauseOrContinue(); }},
              {QKeySequence(Qt::Key_F9), show_graphs_, [this] { ShowResults(); }}};
  for (const auto& k : keys) {
    auto* shortcut = new QShortcut(k.key, this);
    QPushButton* button = k.button;
    connect(shortcut, &QShortcut::activated, this, [button, action = k.action] {
      if (!button || button->isEnabled()) action();
    });
    if (button) button->setToolTip(k.key.toString(QKeySequence::NativeText));
  }
  scan_->setToolTip(QString::fromUtf8("F5; с Shift (Shift+F5) — только первая группа"));
}

}  // namespace kavu
