#pragma once
// CDlgOptions: the program's settings window, "Настройки программы 'Антенный анализатор'",
// modal. Three groups: the receivers' libraries and the display, the RF generators (Si5351 and
// the SPI slots), the scan timing and the web server. It edits an OptionsModel, which keeps each
// key with its owner; the web server's keys and status come through the analyzer session, so
// the window needs nothing of the web server.
//
// Enter applies every text field (the model's five steps) and never closes the window; the
// "Применить" button does the same. A field edited and not yet applied is marked. Closing (the
// close box or Esc) keeps what was applied and drops the rest. Lists, check boxes and the power
// slider store at once. F1 opens the help topic "CDlgOptions". The results menu's last item
// registers *.kant with the user's desktop on a worker thread (the desktop's tools may take a
// while) and reports in a box when they are done.
//
// Controls carry object names "c<number>" after the numbers the help topic uses (c1186 …).
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scan/options_model.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QThread;
class QTimer;

namespace kavu {

class CDlgOptions : public QDialog {
  Q_OBJECT

 public:
  // `session` must outlive the window.
  explicit CDlgOptions(IAnalyzerSession& session, QWidget* parent = nullptr);
  ~CDlgOptions() override;

  OptionsModel& Model() { return model_; }
  // Enter: applies every text field and shows the values kept.
  void Apply();
  // The fields edited since the last apply (their object names).
  QStringList EditedFields() const;
  QMenu& ResultsMenu() { return *results_menu_; }

  // Replaced in tests: the file and folder choosers (an empty answer is a cancel) and the help
  // link opener (null: the desktop's browser).
  std::function<QString(const QString& title, const QString& filter)> choose_file;
  std::function<QString(const QString& title, const QString& start)> choose_folder;
  std::function<bool(const QString& url)> open_link;
  // The registration of *.kant (results menu): the environment its tools run in (empty: this
  // process's) and the box it ends with (null: a message box; `error` chooses the error caption).
  std::vector<std::string> association_env;
  std::function<void(bool error, const QString& caption, const QString& text)> show_message;
  // True while the desktop's tools run (the menu item is disabled meanwhile).
  bool AssociationRunning() const { return association_thread_ != nullptr; }
  QAction* AssociationAction() { return association_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QGroupBox* BuildLibraries();
  QGroupBox* BuildGenerators();
  QGroupBox* BuildScan();
  void BuildResultsMenu();
  QLineEdit* Edit(const char* name, int width = 80);
  QComboBox* EditableList(const char* name, const QStringList& items);
  void MarkEdited(QWidget* field, bool edited);
  // Shows every value of the model (texts, lists, check boxes, the slot, the derived texts).
  void ShowAll();
  void ShowSlot();
  void ShowDerived();
  void ShowWebStatus();
  void ChooseLibrary(int which);
  void RegisterKantFiles();
  void FillTexts(OptionsTexts& t) const;

  OptionsModel model_;
  bool filling_ = false;
  std::vector<QWidget*> edited_;
  // group 1
  QPushButton* library_[4] = {};
  QLineEdit *graph_ = nullptr, *waterfall_ = nullptr, *hysteresis_ = nullptr, *convertor_shift_ = nullptr;
  QLabel* fps_ = nullptr;
  QCheckBox* convertor_ = nullptr;
  QPushButton* results_ = nullptr;
  QMenu* results_menu_ = nullptr;
  QAction* association_ = nullptr;
  QThread* association_thread_ = nullptr;
  // group 2
  QComboBox* crystal_ = nullptr;
  QLineEdit* si_ppm_ = nullptr;
  QComboBox* max_[3] = {};
  QLineEdit* out_[3] = {};
  QLabel* spi_summary_ = nullptr;
  QComboBox* cs_ = nullptr;
  QComboBox* kind_ = nullptr;
  QSlider* power_ = nullptr;
  QLabel* power_label_ = nullptr;
  QComboBox* reference_ = nullptr;
  QLineEdit *slot_ppm_ = nullptr, *slot_fixed_ = nullptr;
  QLabel* slot_note_ = nullptr;
  // group 3
  QLineEdit *delay1_ = nullptr, *delay1_cb_ = nullptr, *polosa_ = nullptr, *tzond_ = nullptr, *zond_n_ = nullptr;
  QComboBox* syn_type_ = nullptr;
  QLabel* group_time_ = nullptr;
  QLineEdit *imps_tmax_ = nullptr, *polosa_used_ = nullptr, *pps_ = nullptr;
  QCheckBox* polosa_rsp_ = nullptr;
  QCheckBox* http_ = nullptr;
  QLineEdit *port_ = nullptr, *address_ = nullptr;
  QLabel* web_status_ = nullptr;
  QComboBox* minus_ = nullptr;
  QTimer* web_timer_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace kavu
