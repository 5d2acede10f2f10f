// The options window on the bench, offscreen: opened from the main window, Enter applies and
// never closes, Esc drops what was not applied, the slot's controls follow its kind, and the
// main window takes the options when it closes.
#include "scan/ui/cdlg_options.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/user_paths.h"
#include "scan/ui/main_window_fixture.h"
#include "support/temp_dir.h"
#include "scan/options_model.h"

namespace kavu::test {
namespace {

class OptionsWindow : public MainWindowBench {
 protected:
  CDlgOptions* Open() {
    window_->MenuCommand(20001);
    auto* dlg = window_->findChild<CDlgOptions*>();
    EXPECT_NE(dlg, nullptr);
    if (dlg) {
      EXPECT_TRUE(dlg->isVisible() && dlg->isModal());
    }
    return dlg;
  }
  template <class T>
  static T* In(CDlgOptions* dlg, const char* name) {
    T* w = dlg->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Types `text` over the field's text, as a user does.
  static void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(e, &press);
    }
  }
};

TEST_F(OptionsWindow, EnterAppliesAndKeepsTheWindowEscDropsWhatWasNotApplied) {
  ASSERT_TRUE(Start());
  QPointer<CDlgOptions> dlg = Open();
  ASSERT_TRUE(dlg);
  EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Настройки программы 'Антенный анализатор'"));
  EXPECT_EQ(In<QLabel>(dlg, "c1237")->text().toStdString(), GroupTime(dlg->Model().Scan()).text);
  EXPECT_EQ(In<QLabel>(dlg, "c1215")->text().toStdString(), FpsText(dlg->Model().Scan()));
  // Every control fits a 1366 × 768 screen without scrolling.
  EXPECT_LE(dlg->sizeHint().width(), 1366);
  EXPECT_LE(dlg->sizeHint().height(), 740);
  if (const char* shot = std::getenv("KAVU_OPTIONS_SCREENSHOT")) {
    dlg->resize(dlg->sizeHint());
    EXPECT_TRUE(dlg->grab().save(QString::fromUtf8(shot)));
  }

  // The −5 V field (an editable list) and the port: typed, marked, applied by Enter.
  QLineEdit* minus = In<QComboBox>(dlg, "c1236")->lineEdit();
  Type(minus, "125");
  QLineEdit* port = In<QLineEdit>(dlg, "c1233");
  Type(port, "70000");
  QLineEdit* address = In<QLineEdit>(dlg, "c1235");
  Type(address, QString(241, QChar('a')));
  QLineEdit* tzond = In<QLineEdit>(dlg, "c1217");
  Type(tzond, "3,5");
  EXPECT_EQ(dlg->EditedFields().size(), 4) << dlg->EditedFields().join(",").toStdString();
  PressKey(port, Qt::Key_Return);
  ASSERT_TRUE(dlg) << "Enter closed the window";
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(dlg->EditedFields().isEmpty());
  EXPECT_EQ(GenSetupOptions::Load().m_MinusGenDivider, 80);
  EXPECT_EQ(minus->text(), QString::fromUtf8("125 КГц"));
  EXPECT_EQ(port->text(), "8888") << "a port outside 1 … 65535 gives 8888";
  EXPECT_EQ(address->text(), "") << "an address longer than 240 characters is emptied";
  EXPECT_EQ(ScanOptions::Load().m_TZond10, 35);
  EXPECT_EQ(tzond->text(), "3.5");
  EXPECT_EQ(In<QLabel>(dlg, "c1237")->text().toStdString(), GroupTime(ScanOptions::Load()).text);

  // The button does what Enter does.
  Type(In<QLineEdit>(dlg, "c1219"), "2");
  Click(In<QPushButton>(dlg, "apply"));
  EXPECT_EQ(ScanOptions::Load().m_ZondN, 2);

  // Esc: the window closes, the un-applied edit is dropped, the station takes what was kept.
  Type(In<QLineEdit>(dlg, "c1186"), "777");
  PressKey(dlg, Qt::Key_Escape);
  ASSERT_TRUE(RunUntil([&] { return dlg.isNull(); }, std::chrono::seconds(10)));
  EXPECT_EQ(ScanOptions::Load().m_Delay1_ms, 100);
  EXPECT_EQ(window_->Station().Options().m_TZond10, 35);
  EXPECT_EQ(window_->Station().Options().m_ZondN, 2);
  EXPECT_EQ(window_->Station().Gen().Options().m_MinusGenDivider, 80);
}

TEST_F(OptionsWindow, TheSlotControlsFollowTheKindAndStoreAtOnce) {
  ASSERT_TRUE(Start());
  CDlgOptions* dlg = Open();
  ASSERT_NE(dlg, nullptr);
  auto* cs = In<QComboBox>(dlg, "c1015");
  auto* kind = In<QComboBox>(dlg, "c1000");
  auto* slider = In<QSlider>(dlg, "c1120");
  auto* reference = In<QComboBox>(dlg, "c1022");
  cs->activated(1);
  cs->setCurrentIndex(1);
  EXPECT_EQ(In<QLabel>(dlg, "c1181")->text(), QString::fromUtf8("Настройка генератора на SPI с CS на RС1"));
  kind->activated(1);  // Rfm22b
  EXPECT_EQ(slider->maximum(), 7);
  EXPECT_TRUE(slider->isEnabled());
  EXPECT_FALSE(reference->isEnabled());
  EXPECT_EQ(reference->currentText(), QString::fromUtf8("30 МГц"));
  slider->setValue(7);
  EXPECT_EQ(GenDesk::Load(1).m_GenPowerRfm22, 7);
  auto* power = In<QLabel>(dlg, "c1178");
  EXPECT_EQ(power->text(), QString::fromUtf8("Мощность 20 dbm (100.00 мВт)"));
  EXPECT_EQ(In<QLabel>(dlg, "c1181")->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_NE(In<QLabel>(dlg, "c1227")->text().indexOf(QString::fromUtf8("RB1: Rfm22b")), -1);

  kind->activated(7);  // ADF4351: the reference is typed, the slider has four steps
  EXPECT_EQ(slider->maximum(), 3);
  EXPECT_TRUE(reference->isEnabled());
  Type(reference->lineEdit(), "5");
  PressKey(reference->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(GenDesk::Load(1).m_ADF4351_BaseFM, 25e6);
  EXPECT_EQ(reference->currentText(), "25");

  kind->activated(0);
  EXPECT_FALSE(slider->isEnabled());
  EXPECT_EQ(power->text(), QString::fromUtf8("Мощность"));
  EXPECT_EQ(GenDesk::Load(1).m_GenRfmType, 0);
  // What waits for the next program start is said beside it: the library buttons, the Si5351
  // fixed outputs with the slot's kind and fixed frequency, and the web server.
  const QList<QLabel*> notes = dlg->findChildren<QLabel*>("next_start");
  EXPECT_EQ(notes.size(), 3);
  int naming_next_init = 0;
  for (const QLabel* n : notes) {
    EXPECT_NE(n->text().indexOf(QString::fromUtf8("после перезапуска программы")), -1) << n->text().toStdString();
    if (n->text().contains(QString::fromUtf8("со следующего включения генераторов"))) ++naming_next_init;
  }
  EXPECT_EQ(naming_next_init, 1);
  dlg->close();
}

TEST_F(OptionsWindow, TheResultsMenuRegistersKantFilesWithoutHoldingUpTheWindow) {
  ASSERT_TRUE(Start());
  CDlgOptions* dlg = Open();
  ASSERT_NE(dlg, nullptr);
  TempDir home;
  struct Box {
    bool shown = false, error = false;
    QString caption, text;
  } box;
  dlg->show_message = [&box](bool error, const QString& caption, const QString& text) {
    box = {true, error, caption, text};
  };
  const std::string data = home.File("data");
  const std::string bin = home.File("empty-bin");
  ASSERT_TRUE(MakeDirs(bin));
  const std::vector<std::string> env = {"HOME=" + home.Path(), "XDG_DATA_HOME=" + data,
                                        "XDG_CONFIG_HOME=" + home.File("config"), "XDG_DATA_DIRS=" + home.File("sys")};
  QAction* item = dlg->AssociationAction();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QString::fromUtf8("Установить ассоциации рабочего стола на файлы *.kant"));
  EXPECT_TRUE(dlg->ResultsMenu().actions().contains(item));

  // Without the desktop's tools: the error box names the first one missing.
  dlg->association_env = env;
  dlg->association_env.push_back("PATH=" + bin);
  item->trigger();
  EXPECT_TRUE(dlg->AssociationRunning() || box.shown);
  ASSERT_TRUE(RunUntil([&] { return box.shown; }, std::chrono::seconds(120)));
  EXPECT_TRUE(box.error);
  EXPECT_EQ(box.caption, QString::fromUtf8("ОШИБКА ДОБАВЛЕНИЯ В КОНТЕКСТНОЕ МЕНЮ ДЛЯ *.kant"));
  EXPECT_NE(box.text.indexOf("update-mime-database"), -1) << box.text.toStdString();
  EXPECT_TRUE(item->isEnabled());

  // With them: "ИНФО", and the entry opens files with this very program.
  box = {};
  dlg->association_env = env;
  dlg->association_env.push_back("PATH=/usr/bin:/bin");
  item->trigger();
  EXPECT_FALSE(item->isEnabled() && dlg->AssociationRunning());
  ASSERT_TRUE(RunUntil([&] { return box.shown; }, std::chrono::seconds(120)));
  EXPECT_FALSE(box.error) << box.text.toStdString();
  EXPECT_EQ(box.caption, QString::fromUtf8("ИНФО"));
  const std::string entry = ReadFile(data + "/applications/io.github.kavusdraa.KavuAntSdr.desktop");
  EXPECT_NE(entry.find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\" %f"),
            std::string::npos)
      << entry;
  dlg->close();
}

}  // namespace
}  // namespace kavu::test
