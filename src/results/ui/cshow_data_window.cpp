#include "results/ui/cshow_data_window.h"

#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "results/help_links.h"
#include "results/ui/about_box.h"
#include "results/results_text_export.h"
#include "shell/ui/link_opener.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr const char* kSection = "CShowDataWindow";
}

CShowDataWindow::CShowDataWindow(ResultsStore& store, QWidget* parent)
    : CShowDataWindow(store, std::make_unique<MeasureKeeper>(), nullptr, parent) {}

CShowDataWindow::CShowDataWindow(ResultsStore& store, MeasureKeeper& measure, QWidget* parent)
    : CShowDataWindow(store, nullptr, &measure, parent) {}

CShowDataWindow::CShowDataWindow(ResultsStore& store, std::unique_ptr<MeasureKeeper> own, MeasureKeeper* shared,
                                 QWidget* parent)
    : QWidget(parent), store_(&store), own_measure_(std::move(own)), measure_(shared ? shared : own_measure_.get()) {
  setWindowTitle("Результаты");
  setAttribute(Qt::WA_DeleteOnClose, false);
  choose_files = [this](const QString& title, const QString& start) {
    return QFileDialog::getOpenFileNames(this, title, start, "KavuAnt - файлы (*.kant);;Все файлы (*.*)");
  };
  confirm = [this](const QString& caption, const QString& text) {
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) ==
           QMessageBox::Yes;
  };
  inform = [this](bool error, const QString& caption, const QString& text) {
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, caption, text, QMessageBox::Ok, this);
    box.exec();
  };
  panel_ = new CDlg_SelectGraph(this);
  graph_ = new CDlgGraph(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // The panel wraps its columns to the window's width (never scrolling sideways); when its lines
  // would take more than half the window, it scrolls up and down instead.
  strip_ = new QScrollArea(this);
  strip_->setWidget(panel_);
  strip_->setWidgetResizable(true);
  strip_->setFrameShape(QFrame::NoFrame);
  strip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  strip_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(strip_);
  FitPanel();
  layout->addWidget(graph_, 1);
  rebuild_timer_.setSingleShot(true);
  rebuild_timer_.setInterval(10);
  connect(&rebuild_timer_, &QTimer::timeout, this, &CShowDataWindow::Rebuild);
  connect(panel_, &CDlg_SelectGraph::changed, this, [this] { rebuild_timer_.start(); });
  connect(panel_, &CDlg_SelectGraph::command, this, &CShowDataWindow::Command);
  connect(panel_, &CDlg_SelectGraph::calibrationToggled, this, [this](bool on) {
    CalibrationSwitch sw = LoadCalibrationSwitch();
    sw.is_cal = on;
    SaveCalibrationSwitch(sw);
    UpdateCalibration();
    Rebuild();
    if (on && !measure_->Current()->Cal().IsCalibrationValid() && open_calibration) open_calibration();
  });
  connect(panel_, &CDlg_SelectGraph::calibrationSetupAsked, this, [this] {
    if (open_calibration) return open_calibration();
    NotBuiltYet("Окно калибровки");
  });
  connect(panel_, &CDlg_SelectGraph::helpAsked, this, [this] { Help(HelpButtonSuffix()); });
  graph_->Horizontal().m_IsLog = Settings().GetProfileInt(kSection, "IsLogDia", 0);
  for (int s = 1; s <= 6; ++s) {
    store_->slot_names[static_cast<size_t>(s)] =
        Settings().GetProfileString(kSection, "sFileName" + std::to_string(s), ResultsStore::ResultsFolder() + "/default.kant");
  }
  ReloadSlots();
  UpdateCalibration();
  Rebuild();
}

CShowDataWindow::~CShowDataWindow() { graph_->SetList(nullptr); }

void CShowDataWindow::DataChanged() {
  if (source_ && measure_->Current()->Version() != source_->Snapshot().Version()) {
    const Calibration& cal = measure_->Current()->Cal();
    panel_->ShowCalibration(cal.IsCal(), cal.IsCalibrationValid(), cal.Number());
    return Rebuild();
  }
  graph_->Invalidate();
  if (rx_ && rx_->isVisible()) rx_->Recalc();
}

void CShowDataWindow::UpdateCalibration() {
  const Calibration& cal = measure_->ReloadCalibration()->Cal();
  panel_->ShowCalibration(cal.IsCal(), cal.IsCalibrationValid(), cal.Number());
}

void CShowDataWindow::LoadAnts(const std::string& command_line_file) {
  store_->LoadAnts(command_line_file);
  panel_->Exchange(true);
  setWindowTitle(QString("Файл [%1]: %2").arg(store_->Set(0).Count()).arg(QString::fromStdString(store_->file_name0)));
  Rebuild();
}

void CShowDataWindow::Rebuild() {
  rebuild_timer_.stop();
  panel_->Exchange(false);
  list_panel_ = panel_->Values();
  // The panel's bridge is an options change for every reader of the keeper.
  auto source = std::make_unique<ResultsPointSource>(measure_->SetBridge(BridgeFromPanel(list_panel_)));
  auto list = std::make_unique<OGrList_EKG>(*store_, list_panel_, *source);
  const bool duo = BuildResultsGraphList(*list, list_panel_, *store_);
  panel_->EnableDuo(duo);
  graph_->Horizontal().m_IsLogAllowed = 1;
  Settings().WriteProfileInt(kSection, "IsLogDia", graph_->Horizontal().m_IsLog);
  graph_->SetList(list.get());
  list_ = std::move(list);
  source_ = std::move(source);
  if (rx_) rx_->Recalc();
}

void CShowDataWindow::ShowRxDiagram() {
  if (!rx_) {
    rx_ = new CDlgRX(*store_, [this] { return CDlgRX::Inputs{&list_panel_, source_.get()}; }, this);
  }
  rx_->showNormal();
  rx_->raise();
  rx_->activateWindow();
}

void CShowDataWindow::FitPanel() {
  const int width = std::max(1, strip_->width());
  const int lines = panel_->heightForWidth(width);
  const int most = std::max(panel_->minimumSizeHint().height(), height() / 2);
  if (lines <= most) {
    strip_->setFixedHeight(lines);
    return;
  }
  const int bar = strip_->verticalScrollBar()->sizeHint().width();
  strip_->setFixedHeight(std::min(most, panel_->heightForWidth(std::max(1, width - bar))));
}

void CShowDataWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  FitPanel();
}

void CShowDataWindow::Command(int code) {
  if (code == CDlg_SelectGraph::kAboutCommand) return void(ShowAboutBox(*this, open_link));
  if (code == 2000) return Export();
  if (code >= 2700 && code <= 2705) return OpenComparison(code - 2700);
  if (code == 2799) return OpenCurrent();
  if (code >= 2800 && code <= 2805) return ComparisonBoxChanged(code - 2800);
  if (code == 3100) return ShowRxDiagram();
  if (code == 11000) return UpdateCalibration(), Rebuild();
}

void CShowDataWindow::NotBuiltYet(const QString& what) {
  inform(false, "Результаты", what + ": это окно ещё не сделано в этой версии программы.");
}

void CShowDataWindow::ReloadSlots() {
  for (int s = 1; s <= 6; ++s) {
    AntIzms& slot = store_->Slot(s);
    store_->ResetAntIzms(slot);
    const std::string& name = store_->slot_names[static_cast<size_t>(s)];
    if (panel_->Values().m_IsFile[static_cast<size_t>(s)] && !name.empty()) store_->LoadAntIzmsFile(name, slot);
  }
}

void CShowDataWindow::TitleForSlot(const char* format, int slot) {
  setWindowTitle(QString(format)
                     .arg(slot)
                     .arg(store_->Slot(slot).Count())
                     .arg(QString::fromStdString(store_->slot_names[static_cast<size_t>(slot)])));
}

void CShowDataWindow::OpenCurrent() {
  if (scan_running()) {
    inform(true, "ОШИБКА", "Идёт сканирование: файл можно открыть после его окончания.");
    return;
  }
  AntIzms& s0 = store_->Set(0);
  if (s0.Count() > 0 && !s0.fromFile &&
      !confirm("УТОЧНЕНИЕ", "Затереть результаты сканирования, вы уверены?")) {
    return;
  }
  QStringList files = choose_files("Выбирете файл с обмерами антенны для загрузки в результат",
                                   QString::fromStdString(store_->file_name0));
  if (files.isEmpty()) return;
  if (files.size() > 16) files = files.mid(0, 16);
  for (int k = 0; k < files.size(); ++k) Log() << "NamesN=" << k << " Name=" << files[k].toStdString() << "\n";
  store_->file_name0 = files[0].toStdString();
  Log() << "m_sFileName0 = " << store_->file_name0 << "\n";
  Settings().WriteProfileString(kSection, "sFileName0", store_->file_name0);
  for (int n : {0, 2, 4}) store_->ResetAntIzms(store_->Set(n));
  store_->LoadAntIzmsFile(store_->file_name0, s0);
  setWindowTitle(QString("Файл [%1]: %2").arg(s0.Count()).arg(files[0]));
  for (int k = 1; k < files.size(); ++k) {
    const int slot = ((k - 1) % 6) + 1;
    store_->slot_names[static_cast<size_t>(slot)] = files[k].toStdString();
    Settings().WriteProfileString(kSection, "sFileName" + std::to_string(slot), files[k].toStdString());
    Log() << "iF=" << slot - 1 << " s=" << files[k].toStdString() << "\n";
    panel_->SetFileBox(slot, true);
  }
  if (files.size() > 1) ReloadSlots();
  Rebuild();
}

void CShowDataWindow::OpenComparison(int s) {
  QStringList files = choose_files(QString("Выбирете файл с обмерами антенны для загрузки в файл №%1").arg(s + 1),
                                   QString::fromStdString(store_->slot_names[static_cast<size_t>(s + 1)]));
  if (files.isEmpty()) return;
  if (files.size() > 16) files = files.mid(0, 16);
  for (int k = 0; k < files.size(); ++k) {
    const int slot = ((s + k) % 6) + 1;
    store_->slot_names[static_cast<size_t>(slot)] = files[k].toStdString();
    Settings().WriteProfileString(kSection, "sFileName" + std::to_string(slot), files[k].toStdString());
    panel_->SetFileBox(slot, true);
  }
  ReloadSlots();
  TitleForSlot("Файл №%1 [%2]: %3", s + 1);
  Rebuild();
}

void CShowDataWindow::ComparisonBoxChanged(int i) {
  Log() << "click check iF=" << i << "\n";
  const int slot = i + 1;
  AntIzms& set = store_->Slot(slot);
  if (panel_->Values().m_IsFile[static_cast<size_t>(slot)] && set.Count() == 0) {
    store_->LoadAntIzmsFile(store_->slot_names[static_cast<size_t>(slot)], set);
    Log() << "Попытка загрузки iF=" << i << " N=" << set.Count() << "\n";
    if (set.Count() == 0) panel_->SetFileBox(slot, false);
  }
  TitleForSlot("Файл%1 [%2]: %3", slot);
}

void CShowDataWindow::Export() {
  const std::string path = store_->file_name0 + ".txt";
  ResultsPointSource source(measure_->SetBridge(BridgeFromPanel(panel_->Values())));
  const TextExportResult r = WriteResultsTextExport(path, store_->Set(0), panel_->Values(), source);
  if (r.ok) {
    inform(false, "СОЗДАН УСПЕШНО", QString::fromStdString(path));
  } else {
    Log() << LogColour(kColourError) << "Экспорт: " << path << " - " << r.error << "\n" << LogColour(kColourNormal);
    inform(true, "ОШИБКА, не удалось создать", QString::fromStdString(path + "\n" + r.error));
  }
}

void CShowDataWindow::Help(const std::string& suffix) {
  const std::string url = HelpAddress(HelpBase(), "DlgSelectGraph", suffix);
  LinkOpener opener(this);
  if (open_link) opener.open_url = open_link;
  opener.Open(QString::fromStdString(url));
}

void CShowDataWindow::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    const QPoint p = mapFromGlobal(QCursor::pos());
    return Help(HelpF1Suffix(1, 0, 0, p.x(), p.y()));
  }
  if (e->key() == Qt::Key_Escape) {
    panel_->setFocus();
    return;
  }
  if (!graph_->HandleKey(e->key(), e->modifiers(), e->count())) QWidget::keyPressEvent(e);
}

}  // namespace kavu
