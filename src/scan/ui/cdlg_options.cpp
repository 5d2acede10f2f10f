#include "scan/ui/cdlg_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "platform/tool_process.h"
#include "results/help_links.h"
#include "results/kant_file_type.h"
#include "shell/settings_store.h"
#include "shell/ui/link_opener.h"

namespace kavu {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString U(const std::string& text) { return QString::fromStdString(text); }

QLabel* Wrapped(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  return l;
}

// A note beside the settings that take effect only at the next start (or, as it says, at the
// generators' next initialisation).
QLabel* NextStartNote(QWidget* parent, const char* text = "(действует после перезапуска программы)") {
  auto* l = new QLabel(U(text), parent);
  l->setObjectName("next_start");
  QFont f = l->font();
  f.setItalic(true);
  l->setFont(f);
  return l;
}

void Paint(QLabel* label, const WarnColour& c) {
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, c.face ? label->style()->standardPalette().color(QPalette::Button)
                                      : QColor(255, c.g, c.g));
  label->setPalette(p);
}

void SetText(QLineEdit* e, const std::string& text) { e->setText(U(text)); }
void SetText(QComboBox* c, const std::string& text) { c->setEditText(U(text)); }

constexpr const char* kEditedStyle = "background-color: rgb(255, 250, 205);";

}  // namespace

CDlgOptions::CDlgOptions(IAnalyzerSession& session, QWidget* parent) : QDialog(parent), model_(session) {
  setObjectName("CDlgOptions");
  setWindowTitle(U("Настройки программы 'Антенный анализатор'"));
  setModal(true);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(BuildLibraries());
  left->addWidget(BuildGenerators());
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildScan());
  right->addStretch(1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Wrapped(U("Enter или «Применить» сохраняет поля; изменённые и не применённые поля "
                              "выделены, при закрытии окна они не сохраняются."),
                            this),
                    1);
  apply_ = new QPushButton(U("Применить"), this);
  apply_->setObjectName("apply");
  apply_->setAutoDefault(false);
  connect(apply_, &QPushButton::clicked, this, &CDlgOptions::Apply);
  bottom->addWidget(apply_);
  right->addLayout(bottom);
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);
  setLayout(columns);
  BuildResultsMenu();
  for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);

  web_timer_ = new QTimer(this);
  web_timer_->setInterval(500);
  connect(web_timer_, &QTimer::timeout, this, &CDlgOptions::ShowWebStatus);
  ShowAll();
  web_timer_->start();
  ShowWebStatus();  // stops the timer when no server runs
}

CDlgOptions::~CDlgOptions() {
  // A registration still running finishes first (each of its tools has a time limit).
  if (association_thread_) {
    association_thread_->disconnect(this);
    association_thread_->wait();
    delete association_thread_;
  }
}

QLineEdit* CDlgOptions::Edit(const char* name, int width) {
  auto* e = new QLineEdit(this);
  e->setObjectName(name);
  e->setMinimumWidth(width);
  connect(e, &QLineEdit::textEdited, this, [this, e] { MarkEdited(e, true); });
  return e;
}

QComboBox* CDlgOptions::EditableList(const char* name, const QStringList& items) {
  auto* c = new QComboBox(this);
  c->setObjectName(name);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->addItems(items);
  c->setMinimumWidth(110);
  connect(c->lineEdit(), &QLineEdit::textEdited, this, [this, c] { MarkEdited(c, true); });
  return c;
}

void CDlgOptions::MarkEdited(QWidget* field, bool edited) {
  if (filling_) return;
  QWidget* styled = field;
  if (auto* c = qobject_cast<QComboBox*>(field)) styled = c->lineEdit();
  styled->setStyleSheet(edited ? U(kEditedStyle) : QString());
  const auto it = std::find(edited_.begin(), edited_.end(), field);
  if (edited && it == edited_.end()) edited_.push_back(field);
  if (!edited && it != edited_.end()) edited_.erase(it);
}

QStringList CDlgOptions::EditedFields() const {
  QStringList names;
  for (QWidget* w : edited_) names << w->objectName();
  return names;
}

QGroupBox* CDlgOptions::BuildLibraries() {
  auto* box = new QGroupBox(U("1. Настройки получения и визуализации данных от Sdr-приёмников"), this);
  auto* g = new QGridLayout(box);
  const std::string help = HelpAddress(HelpBase(), "CDlgOptions", HelpButtonSuffix());
  const char* lines[4] = {
      "а) Для использования приёмников SDRplay нужна их библиотека api (<a href=\"%1\">подробнее</a>):",
      "б) Для исп. приёмников Rtl-Sdr нужна библиотека rtlsdr (<a href=\"%1\">подробнее</a>):",
      "в) Для исп. приёмников HackRF нужна библиотека hackrf (<a href=\"%1\">подробнее</a>):",
      "г) Различные Sdr-приёмники можно использовать через плагины от программы приёма ExtIO* "
      "(<a href=\"%1\">подробнее</a>), папка плагинов:"};
  const char* names[4] = {"c1001", "c1018", "c1019", "c1003"};
  const char* line_names[4] = {"c1171", "c1226", "c1229", "c1175"};
  int row = 0;
  for (int i = 0; i < 4; ++i) {
    QLabel* l = Wrapped(U(lines[i]).arg(U(help)), box);
    l->setObjectName(line_names[i]);
    l->setTextFormat(Qt::RichText);
    connect(l, &QLabel::linkActivated, this, [this](const QString& url) {
      LinkOpener opener(this);
      if (open_link) opener.open_url = open_link;
      opener.Open(url);
    });
    g->addWidget(l, row++, 0, 1, 4);
    library_[i] = new QPushButton(box);
    library_[i]->setObjectName(names[i]);
    connect(library_[i], &QPushButton::clicked, this, [this, i] { ChooseLibrary(i); });
    g->addWidget(library_[i], row, 0, 1, 3);
    if (i == 0) g->addWidget(NextStartNote(box), row, 3);  // for the four libraries
    ++row;
  }
  graph_ = Edit("c1210", 50);
  waterfall_ = Edit("c1212", 50);
  fps_ = new QLabel(box);
  fps_->setObjectName("c1215");
  auto* periods = new QHBoxLayout;
  periods->addWidget(new QLabel(U("Периоды обновления графика, мс:"), box));
  periods->addWidget(graph_);
  periods->addWidget(new QLabel(U("и водопада:"), box));
  periods->addWidget(waterfall_);
  periods->addStretch(1);
  g->addLayout(periods, row++, 0, 1, 4);
  g->addWidget(fps_, row++, 0, 1, 4);
  hysteresis_ = Edit("c1230", 50);
  convertor_ = new QCheckBox(U("Внешний конвертор: сдвиг частоты на"), box);
  convertor_->setObjectName("c1059");
  convertor_shift_ = Edit("c1246", 70);
  auto* misc = new QHBoxLayout;
  misc->addWidget(new QLabel(U("Гистерезис при упр. чувст, дБ:"), box));
  misc->addWidget(hysteresis_);
  misc->addStretch(1);
  results_ = new QPushButton(U("Результаты..."), box);
  results_->setObjectName("c1004");
  misc->addWidget(results_);
  g->addLayout(misc, row++, 0, 1, 4);
  auto* conv = new QHBoxLayout;
  conv->addWidget(convertor_);
  conv->addWidget(convertor_shift_);
  conv->addWidget(new QLabel(U("МГц"), box));
  conv->addStretch(1);
  g->addLayout(conv, row++, 0, 1, 4);
  connect(convertor_, &QCheckBox::toggled, this, [this](bool on) {
    convertor_shift_->setEnabled(on);
    if (!filling_) model_.SetConvertor(on);
  });
  connect(results_, &QPushButton::clicked, this,
          [this] { results_menu_->popup(results_->mapToGlobal(QPoint(0, results_->height()))); });
  return box;
}

QGroupBox* CDlgOptions::BuildGenerators() {
  auto* box = new QGroupBox(U("2. Настройка генераторов ВЧ-сигнала"), this);
  auto* g = new QGridLayout(box);
  int row = 0;
  crystal_ = EditableList("c1006", {U("не подключена"), U("25 МГц"), U("27 МГц")});
  si_ppm_ = Edit("c1228", 70);
  auto* si = new QHBoxLayout;
  si->addWidget(Wrapped(U("а) Генератор Si5351A на I2C, частота кварца 25-27 МГц:"), box), 1);
  si->addWidget(crystal_);
  g->addLayout(si, row++, 0, 1, 4);
  auto* ppm = new QHBoxLayout;
  ppm->addWidget(new QLabel(U("Поправка к частоте в частях на миллион (ppm):"), box));
  ppm->addWidget(si_ppm_);
  ppm->addStretch(1);
  g->addLayout(ppm, row++, 0, 1, 4);
  auto* maxima = new QHBoxLayout;
  maxima->addWidget(new QLabel(U("Макс. частоты для выходов CLK0,1,2:"), box));
  auto* outs = new QHBoxLayout;
  outs->addWidget(new QLabel(U("Фикс. частоты на выходах CLK0,1,2 (МГц):"), box));
  const char* max_names[3] = {"c1242", "c1243", "c1244"};
  const char* out_names[3] = {"c1032", "c1035", "c1039"};
  for (int k = 0; k < 3; ++k) {
    max_[k] = EditableList(max_names[k], {U("300 МГц"), U("250 МГц"), U("200 МГц"), U("160 МГц")});
    max_[k]->setMinimumWidth(90);
    maxima->addWidget(max_[k]);
    out_[k] = Edit(out_names[k], 70);
    outs->addWidget(out_[k]);
  }
  maxima->addStretch(1);
  outs->addStretch(1);
  g->addLayout(maxima, row++, 0, 1, 4);
  g->addWidget(Wrapped(U("(проверьте выход, прежде чем задавать ему меньше 250 МГц)"), box), row++, 0, 1, 4);
  g->addLayout(outs, row++, 0, 1, 4);
  g->addWidget(Wrapped(U("(можно запрограммировать выход на фиксированную частоту, либо укажите 0 для управления "
                         "частотой из программы и -1 для полной дезактивация выхода)"),
                       box),
               row++, 0, 1, 4);
  spi_summary_ = Wrapped(QString(), box);
  spi_summary_->setObjectName("c1227");
  g->addWidget(spi_summary_, row++, 0, 1, 4);

  cs_ = new QComboBox(box);
  cs_->setObjectName("c1015");
  cs_->addItems({U("RС0"), U("RС1"), U("RB2")});
  kind_ = new QComboBox(box);
  kind_->setObjectName("c1000");
  for (int k = 0; k < kGenKindCount; ++k) kind_->addItem(U(GenKind(k).options_text));
  auto* slot = new QHBoxLayout;
  slot->addWidget(new QLabel(U("CS:"), box));
  slot->addWidget(cs_);
  slot->addWidget(new QLabel(U("Тип генератора"), box));
  slot->addWidget(kind_, 1);
  g->addLayout(slot, row++, 0, 1, 4);
  power_ = new QSlider(Qt::Horizontal, box);
  power_->setObjectName("c1120");
  power_label_ = new QLabel(box);
  power_label_->setObjectName("c1178");
  power_label_->setMinimumWidth(220);
  auto* power = new QHBoxLayout;
  power->addWidget(power_, 1);
  power->addWidget(power_label_);
  g->addLayout(power, row++, 0, 1, 4);
  reference_ = EditableList("c1022", {U("25 МГц")});
  slot_ppm_ = Edit("c1223", 70);
  slot_fixed_ = Edit("c1239", 90);
  auto* fields = new QHBoxLayout;
  fields->addWidget(new QLabel(U("Fclk, МГц:"), box));
  fields->addWidget(reference_);
  fields->addWidget(new QLabel(U("ppm:"), box));
  fields->addWidget(slot_ppm_);
  fields->addWidget(new QLabel(U("Фикс. частота, МГц: (0 - изменяемая)"), box));
  fields->addWidget(slot_fixed_);
  fields->addStretch(1);
  g->addLayout(fields, row++, 0, 1, 4);
  QLabel* when = NextStartNote(box, "(фикс. частоты CLK, тип и фикс. частота генератора — после перезапуска "
                                    "программы; остальное — со следующего включения генераторов)");
  when->setWordWrap(true);
  g->addWidget(when, row++, 0, 1, 4);
  slot_note_ = Wrapped(QString(), box);
  slot_note_->setObjectName("c1181");
  slot_note_->setTextFormat(Qt::RichText);
  g->addWidget(slot_note_, row++, 0, 1, 4);

  // A choice from a list puts its value into the text and applies, as Enter does.
  for (QComboBox* c : {crystal_, max_[0], max_[1], max_[2], reference_}) {
    connect(c, &QComboBox::activated, this, [this] {
      if (!filling_) Apply();
    });
  }
  connect(cs_, &QComboBox::activated, this, [this](int slot_index) {
    slot_note_->setText(U(model_.SetSlot(slot_index)));
    ShowSlot();
    slot_note_->setText(U(model_.SetSlot(slot_index)));
  });
  connect(kind_, &QComboBox::activated, this, [this](int kind) {
    model_.SetKind(kind);
    ShowSlot();
  });
  connect(power_, &QSlider::valueChanged, this, [this](int value) {
    if (filling_) return;
    model_.SetPower(value);
    ShowSlot();
  });
  return box;
}

QGroupBox* CDlgOptions::BuildScan() {
  auto* box = new QGroupBox(U("3. Настройки сканирования по частоте и обработки сигнала Sdr"), this);
  box->setMaximumWidth(560);  // the long labels wrap instead of widening the window
  auto* g = new QGridLayout(box);
  g->setColumnStretch(0, 1);
  int row = 0;
  auto field = [&](const char* label, QWidget* w) {
    g->addWidget(Wrapped(U(label), box), row, 0);
    g->addWidget(w, row++, 1);
  };
  delay1_ = Edit("c1186", 60);
  delay1_cb_ = Edit("c1190", 60);
  field("Задержка от смены частоты Sdr приёмника до появления новых стабильных данных, мс:", delay1_);
  field("+ блоков данных от Sdr:", delay1_cb_);
  polosa_ = Edit("c1206", 60);
  field("Полоса пропускания, кГц:", polosa_);
  syn_type_ = new QComboBox(box);
  syn_type_->setObjectName("c1011");
  syn_type_->addItems({U("Выключение генератора"), U("Упр. мостом (00b для выкл)"), U("Упр. мостом (11b для выкл)")});
  field("Тип генерации синхропаузы:", syn_type_);
  tzond_ = Edit("c1217", 60);
  zond_n_ = Edit("c1219", 60);
  field("Длительность измерения на одной части моста (А или О), мс:", tzond_);
  field("и кол-во измерений на Ант:", zond_n_);
  group_time_ = new QLabel(box);
  group_time_->setObjectName("c1237");
  g->addWidget(group_time_, row++, 0, 1, 2);
  imps_tmax_ = Edit("c1201", 60);
  field("Макс. время зондирования без перестройки частоты приёмника, мс (дольше группа измерений "
        "на одной частоте приёмника не длится):",
        imps_tmax_);
  polosa_used_ = Edit("c1222", 60);
  polosa_rsp_ = new QCheckBox(U("от реальной"), box);
  polosa_rsp_->setObjectName("c1047");
  auto* used = new QHBoxLayout;
  used->addWidget(polosa_used_);
  used->addWidget(polosa_rsp_);
  g->addWidget(Wrapped(U("Исп. полосы обзора sdr, %:"), box), row, 0);
  g->addLayout(used, row++, 1);
  pps_ = Edit("c1240", 60);
  field("Поправка к длит. измерений, формируемых МК управления (частей на миллион). Положительная, "
        "когда кварц МК спешит:",
        pps_);
  http_ = new QCheckBox(U("Http-сервер"), box);
  http_->setObjectName("c1043");
  port_ = Edit("c1233", 60);
  address_ = Edit("c1235", 120);
  auto* web = new QHBoxLayout;
  web->addWidget(http_);
  web->addWidget(new QLabel(U("Порт:"), box));
  web->addWidget(port_);
  web->addWidget(new QLabel(U("Адр:"), box));
  web->addWidget(address_, 1);
  g->addLayout(web, row++, 0, 1, 2);
  g->addWidget(NextStartNote(box), row++, 0, 1, 2);
  web_status_ = Wrapped(QString(), box);
  web_status_->setObjectName("c1232");
  g->addWidget(web_status_, row++, 0, 1, 2);
  minus_ = EditableList("c1236", {U("Выкл (-5в не генерировать)"), U("250 КГц")});
  minus_->setMinimumWidth(190);
  field("Генератор -5в, частота:", minus_);

  connect(syn_type_, &QComboBox::activated, this, [this](int type) { model_.SetSynType(type); });
  connect(minus_, &QComboBox::activated, this, [this](int item) {
    model_.SetMinusGenItem(item);
    filling_ = true;
    SetText(minus_, MinusGenText(model_.Gen().m_MinusGenDivider));
    filling_ = false;
    MarkEdited(minus_, false);
  });
  connect(http_, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) model_.SetHttpServer(on);
  });
  connect(polosa_rsp_, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) model_.SetPolosaRsp(on);
  });
  return box;
}

void CDlgOptions::BuildResultsMenu() {
  results_menu_ = new QMenu(this);
  results_menu_->setObjectName("results_menu");
  results_menu_->addAction(U("Папка для сохранения результатов сканирования..."), this, [this] {
    const QString title = U("Выберите директорию для сохранения результатов сканирования");
    const QString start = U(model_.ResultsFolder());
    const QString folder = choose_folder ? choose_folder(title, start)
                                         : QFileDialog::getExistingDirectory(this, title, start);
    if (!folder.isEmpty()) model_.SetResultsFolder(folder.toStdString());
  });
  const char* toggles[5] = {"Включать в имя: Дата и время", "Включать в имя: Мин. КСВ",
                            "Включать в имя: Частоту мин. КСВ", "Включать в имя: режим sdr",
                            "Включать в имя: режим ген ВЧ"};
  for (int i = 0; i < 5; ++i) {
    QAction* a = results_menu_->addAction(U(toggles[i]));
    a->setCheckable(true);
    a->setChecked(model_.SaveFlags()[static_cast<size_t>(i)]);
    connect(a, &QAction::toggled, this, [this, i](bool on) { model_.SetSaveFlag(i, on); });
  }
  association_ = results_menu_->addAction(U("Установить ассоциации рабочего стола на файлы *.kant"), this,
                                          &CDlgOptions::RegisterKantFiles);
}

void CDlgOptions::RegisterKantFiles() {
  if (association_thread_) return;  // one at a time: the item is disabled meanwhile
  association_->setEnabled(false);
  const DesktopFileType type = KantFileType(QCoreApplication::applicationFilePath().toStdString());
  const std::vector<std::string> env = association_env.empty() ? CurrentEnvironment() : association_env;
  auto result = std::make_shared<FileTypeRegistration>();
  // The desktop's tools run on a worker: the window goes on while they work.
  association_thread_ = QThread::create([type, env, result] { *result = RegisterDesktopFileType(type, env); });
  connect(association_thread_, &QThread::finished, this, [this, result] {
    association_thread_->deleteLater();
    association_thread_ = nullptr;
    association_->setEnabled(true);
    const QString caption = U(result->ok ? kKantInfoCaption : kKantErrorCaption);
    const QString text = U(KantRegistrationText(*result));
    if (show_message) {
      show_message(!result->ok, caption, text);
    } else if (result->ok) {
      QMessageBox::information(this, caption, text);
    } else {
      QMessageBox::critical(this, caption, text);
    }
  });
  association_thread_->start();
}

void CDlgOptions::ChooseLibrary(int which) {
  QString chosen;
  if (which == 3) {
    const QString title = U("Выбирите директорию c плагинами sdr-приёмников ExtIO*.so");
    chosen = choose_folder ? choose_folder(title, QString())
                           : QFileDialog::getExistingDirectory(this, title);
  } else {
    const char* titles[3] = {"Выбирите файл libsdrplay_api.so, установенный вместе с дровами приёмника",
                             "Выбирете файл librtlsdr.so, установленный вместе с драйверами приёмника Rtl-Sdr",
                             "Выбирете файл libhackrf.so или ExtIO_HackRF.so"};
    const char* filters[3] = {"Файл api (libsdrplay_api.so*)", "Файл api (librtlsdr.so*)",
                              "Файлы api (*hackrf*.so*)"};
    const QString title = U(titles[which]);
    const QString filter = U(filters[which]);
    chosen = choose_file ? choose_file(title, filter) : QFileDialog::getOpenFileName(this, title, QString(), filter);
  }
  if (chosen.isEmpty()) return;
  model_.SetLibrary(which, chosen.toStdString());
  library_[which]->setText(U(model_.LibraryText(which)));
}

void CDlgOptions::ShowAll() {
  filling_ = true;
  const OptionsTexts t = model_.Texts();
  for (int i = 0; i < 4; ++i) library_[i]->setText(U(model_.LibraryText(i)));
  SetText(graph_, t.graph_ms);
  SetText(waterfall_, t.waterfall_ms);
  SetText(hysteresis_, t.hysteresis_db);
  convertor_->setChecked(model_.Receivers().is_convertor);
  convertor_shift_->setEnabled(model_.Receivers().is_convertor);
  SetText(convertor_shift_, t.convertor_mhz);
  SetText(crystal_, t.crystal);
  SetText(si_ppm_, t.si_ppm);
  for (size_t k = 0; k < 3; ++k) {
    SetText(max_[k], t.max_mhz[k]);
    SetText(out_[k], t.out_mhz[k]);
  }
  cs_->setCurrentIndex(model_.Slot());
  SetText(delay1_, t.delay1_ms);
  SetText(delay1_cb_, t.delay1_cb);
  SetText(polosa_, t.polosa_khz);
  syn_type_->setCurrentIndex(model_.Gen().m_SynType);
  SetText(tzond_, t.tzond_ms);
  SetText(zond_n_, t.zond_n);
  SetText(imps_tmax_, t.imps_tmax);
  SetText(polosa_used_, t.polosa_used);
  polosa_rsp_->setChecked(model_.Scan().m_MultyPolosaRsp != 0);
  SetText(pps_, t.pps);
  http_->setChecked(model_.Web().on);
  SetText(port_, t.port);
  SetText(address_, t.address);
  SetText(minus_, t.minus_khz);
  filling_ = false;
  ShowSlot();
  ShowDerived();
  while (!edited_.empty()) MarkEdited(edited_.back(), false);
}

void CDlgOptions::ShowSlot() {
  filling_ = true;
  const GenDesk& d = model_.SlotDesk();
  const SlotView v = kavu::ShowSlot(d);
  kind_->setCurrentIndex(d.m_GenRfmType);
  power_->setRange(0, v.slider_max);
  power_->setValue(v.slider_value);
  power_->setEnabled(v.slider_enabled);
  power_label_->setText(U(v.power));
  reference_->setEnabled(v.reference_enabled);
  SetText(reference_, v.reference);
  SetText(slot_ppm_, v.ppm);
  SetText(slot_fixed_, v.fixed_mhz);
  slot_note_->setText(U("Не путайте тип! Используйте мин. мощность - берегите приёмник и радиомодуль!"));
  Paint(slot_note_, v.warning);
  spi_summary_->setText(U(SpiSummary(model_.Desks())));
  filling_ = false;
  for (QWidget* w : {static_cast<QWidget*>(reference_), static_cast<QWidget*>(slot_ppm_),
                     static_cast<QWidget*>(slot_fixed_)}) {
    MarkEdited(w, false);
  }
}

void CDlgOptions::ShowDerived() {
  fps_->setText(U(FpsText(model_.Scan())));
  const GroupTimeView t = GroupTime(model_.Scan());
  group_time_->setText(U(t.text));
  Paint(group_time_, t.colour);
}

void CDlgOptions::ShowWebStatus() {
  const std::optional<std::string> status = model_.WebStatus();
  if (!status) {
    web_status_->setText(U("Http-сервер выключен, для включения перезапустите программу"));
    web_timer_->stop();
    return;
  }
  web_status_->setText(U(*status));
}

void CDlgOptions::FillTexts(OptionsTexts& t) const {
  auto text = [](const QLineEdit* e) { return e->text().toStdString(); };
  auto edit = [](const QComboBox* c) { return c->currentText().toStdString(); };
  t.graph_ms = text(graph_);
  t.waterfall_ms = text(waterfall_);
  t.hysteresis_db = text(hysteresis_);
  t.convertor_mhz = text(convertor_shift_);
  t.crystal = edit(crystal_);
  t.si_ppm = text(si_ppm_);
  for (size_t k = 0; k < 3; ++k) {
    t.out_mhz[k] = text(out_[k]);
    t.max_mhz[k] = edit(max_[k]);
  }
  t.slot_reference = edit(reference_);
  t.slot_ppm = text(slot_ppm_);
  t.slot_fixed_mhz = text(slot_fixed_);
  t.delay1_ms = text(delay1_);
  t.delay1_cb = text(delay1_cb_);
  t.polosa_khz = text(polosa_);
  t.tzond_ms = text(tzond_);
  t.zond_n = text(zond_n_);
  t.imps_tmax = text(imps_tmax_);
  t.polosa_used = text(polosa_used_);
  t.pps = text(pps_);
  t.port = text(port_);
  t.address = text(address_);
  t.minus_khz = edit(minus_);
}

void CDlgOptions::Apply() {
  OptionsTexts t;
  FillTexts(t);
  {
    SettingsStore::WriteGroup one_write(Settings());  // every key of Enter in one write of the file
    model_.Apply(t);
  }
  ShowAll();
}

void CDlgOptions::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Apply();  // never closes the window
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    const QPoint p = mapFromGlobal(QCursor::pos());
    LinkOpener opener(this);
    if (open_link) opener.open_url = open_link;
    opener.Open(U(HelpAddress(HelpBase(), "CDlgOptions", HelpF1Suffix(1, 0, 0, p.x(), p.y()))));
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Esc closes, dropping what was not applied
}

}  // namespace kavu
