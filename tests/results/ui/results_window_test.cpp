#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <memory>

#include "results/ant_izm_file.h"
#include "results/ui/cshow_data_window.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/temp_dir.h"
#include "shell/ui/link_opener.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QCheckBox>
#include <QTextBrowser>

namespace kavu {
namespace {

struct WindowFixture {
  test::TempDir dir;
  std::unique_ptr<ResultsStore> store;
  std::unique_ptr<CShowDataWindow> window;
  QStringList next_files;
  int confirms = 0;
  bool answer = true;
  std::vector<std::pair<QString, QString>> boxes;  // caption, text

  WindowFixture() {
    test::QtTestApp();
    UseSettingsFile(dir.Path() + "/settings.ini");
    Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", dir.Path());
    store = std::make_unique<ResultsStore>(1024);
    window = std::make_unique<CShowDataWindow>(*store);
    window->choose_files = [this](const QString&, const QString&) { return next_files; };
    window->confirm = [this](const QString&, const QString&) { ++confirms; return answer; };
    window->inform = [this](bool, const QString& c, const QString& t) { boxes.emplace_back(c, t); };
    window->resize(1000, 700);
  }
  std::string Scan(const std::string& name, int points) {
    std::vector<AntIzm> p(static_cast<size_t>(points), EmptyAntIzm());
    for (int i = 0; i < points; ++i) p[static_cast<size_t>(i)].freqHz = 1e6 + i * 1e5, p[static_cast<size_t>(i)].a = -10;
    const std::string path = dir.Path() + "/" + name;
    EXPECT_TRUE(WriteScanFile(path, p.data(), points, std::nullopt));
    return path;
  }
};

TEST(ResultsWindowTest, OpeningThreeFilesFillsCurrentAndTwoSlots) {
  WindowFixture f;
  f.next_files = {QString::fromStdString(f.Scan("a.kant", 10)), QString::fromStdString(f.Scan("b.kant", 7)),
                  QString::fromStdString(f.Scan("c.kant", 5))};
  f.window->Command(2799);
  EXPECT_EQ(f.confirms, 0);  // nothing unsaved
  EXPECT_EQ(f.store->Set(0).Count(), 10);
  EXPECT_EQ(f.store->Slot(1).Count(), 7);
  EXPECT_EQ(f.store->Slot(2).Count(), 5);
  EXPECT_EQ(f.window->Panel().Values().m_IsFile[1], 1);
  EXPECT_EQ(f.window->Panel().Values().m_IsFile[2], 1);
  EXPECT_TRUE(f.window->windowTitle().startsWith("Файл [10]: "));
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName2", ""), f.next_files[2].toStdString());
  // The SWR graph now has a line per shown set.
  int swr_lines = 0;
  for (int g = 0; g < f.window->List().GetGraphCount(); ++g) {
    for (int l = 0; l < f.window->List().GetLineCount(g); ++l) swr_lines += (f.window->List().LineCode(g, l) & 0xFFFF) == 603;
  }
  EXPECT_EQ(swr_lines, 3);
}

TEST(ResultsWindowTest, EightComparisonFilesWrapAroundFromSlotFive) {
  WindowFixture f;
  for (int k = 0; k < 8; ++k) f.next_files << QString::fromStdString(f.Scan("f" + std::to_string(k) + ".kant", k + 2));
  f.window->Command(2704);
  EXPECT_EQ(f.store->slot_names[5], f.next_files[6].toStdString());
  EXPECT_EQ(f.store->slot_names[6], f.next_files[7].toStdString());
  EXPECT_EQ(f.store->slot_names[1], f.next_files[2].toStdString());
  EXPECT_EQ(f.store->Slot(5).Count(), 8);
  EXPECT_TRUE(f.window->windowTitle().startsWith("Файл №5 [8]: "));
}

TEST(ResultsWindowTest, UnsavedScanAsksAndRunningScanRefuses) {
  WindowFixture f;
  for (int i = 0; i < 10; ++i) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = 1e6 + i;
    f.store->Set(0).Append(p);
  }
  f.next_files = {QString::fromStdString(f.Scan("a.kant", 3))};
  f.answer = false;
  f.window->Command(2799);
  EXPECT_EQ(f.confirms, 1);
  EXPECT_EQ(f.store->Set(0).Count(), 10);  // kept
  f.answer = true;
  f.window->Command(2799);
  EXPECT_EQ(f.store->Set(0).Count(), 3);
  f.window->Command(2799);
  EXPECT_EQ(f.confirms, 2);  // a loaded file is not asked about
  f.window->scan_running = [] { return true; };
  f.window->Command(2799);
  ASSERT_FALSE(f.boxes.empty());
  EXPECT_EQ(f.boxes.back().first, "ОШИБКА");
}

TEST(ResultsWindowTest, ExportReportsSuccessAndFailure) {
  WindowFixture f;
  f.next_files = {QString::fromStdString(f.Scan("a.kant", 4))};
  f.window->Command(2799);
  f.window->Command(2000);
  ASSERT_EQ(f.boxes.size(), 1u);
  EXPECT_EQ(f.boxes[0].first, "СОЗДАН УСПЕШНО");
  f.store->file_name0 = f.dir.Path() + "/missing/dir/x.kant";
  f.window->Command(2000);
  ASSERT_EQ(f.boxes.size(), 2u);
  EXPECT_EQ(f.boxes[1].first, "ОШИБКА, не удалось создать");
  f.window->Command(3100);  // the R and X diagram opens without a notice
  EXPECT_EQ(f.boxes.size(), 2u);
  ASSERT_NE(f.window->RxDiagram(), nullptr);
  EXPECT_TRUE(f.window->RxDiagram()->isVisible());
}

TEST(ResultsWindowTest, EscapeGoesToThePanelAndArrowsMoveTheGraph) {
  WindowFixture f;
  f.next_files = {QString::fromStdString(f.Scan("a.kant", 50))};
  f.window->Command(2799);
  f.window->show();
  f.window->Graph().Rendered();
  f.window->Graph().HandleKey(Qt::Key_Right, Qt::ShiftModifier);
  const double s0 = f.window->Graph().Horizontal().m_Show0;
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QApplication::sendEvent(f.window.get(), &right);
  EXPECT_GT(f.window->Graph().Horizontal().m_Show0, s0);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(f.window.get(), &esc);
  QApplication::processEvents();
  EXPECT_TRUE(f.window->Panel().hasFocus() || QApplication::focusWidget() == &f.window->Panel());
}

TEST(ResultsWindowTest, PanelNumbersAndThreeStateBoxes) {
  WindowFixture f;
  auto* ksv = qobject_cast<QLineEdit*>(f.window->Panel().NumberControl("m_KsvMax"));
  ASSERT_NE(ksv, nullptr);
  ksv->setText("0.5");
  emit ksv->editingFinished();
  EXPECT_EQ(ksv->text(), "1.02");
  EXPECT_EQ(Settings().GetProfileDouble("CDlg_SelectGraph", "m_KsvMax", 0), 1.02);
  auto* most1 = qobject_cast<QComboBox*>(f.window->Panel().NumberControl("m_Most1"));
  most1->lineEdit()->setText("1e999");
  emit most1->lineEdit()->editingFinished();
  EXPECT_EQ(f.window->Panel().Values().m_Most1, 56);
  auto* most5 = qobject_cast<QComboBox*>(f.window->Panel().NumberControl("m_Most5"));
  most5->setCurrentIndex(3);
  emit most5->activated(3);
  EXPECT_EQ(most5->currentText(), "0");
  EXPECT_EQ(f.window->Panel().Values().m_Most5, 0);
  QCheckBox* markers = f.window->Panel().Box("m_IsMarkers");
  ASSERT_NE(markers, nullptr);
  markers->setCheckState(Qt::Unchecked);
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    markers->click();
    seen.push_back(Settings().GetProfileInt("CDlg_SelectGraph", "m_IsMarkers", -1));
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 0}));
}

}  // namespace
}  // namespace kavu

namespace kavu {
namespace {

TEST(ResultsWindowHelpTest, HelpButtonOpensTheComposedAddressOrOffersTheClipboard) {
  WindowFixture f;
  Settings().WriteProfileString("Help", "m_HelpBase", "https://example.org/");
  QString opened;
  f.window->open_link = [&](const QString& url) { opened = url; return true; };
  f.window->Help("B");
  EXPECT_EQ(opened, "https://example.org/KavuSdrAA/Prog1/Help/DlgSelectGraph/B");
  LinkOpener opener;
  opener.open_url = [](const QString&) { return false; };
  QString asked;
  opener.ask = [&](const QString& caption, const QString&) { asked = caption; return true; };
  QString reported;
  opener.report = [&](const QString& c, const QString&) { reported = c; };
  EXPECT_FALSE(opener.Open("https://example.org/x"));
  EXPECT_EQ(asked, "ОШИБКА ОТКРЫТИЯ ССЫЛКИ В БРАУЗЕРЕ");
  // The clipboard took the link, or the failure was reported: never silence.
  EXPECT_TRUE(QGuiApplication::clipboard()->text() == "https://example.org/x" || reported == "ОШИБКА");
}

TEST(ResultsWindowHelpTest, TheWindowMenusAboutBoxCarriesItsLinksAndItsHelpKey) {
  WindowFixture f;
  Settings().WriteProfileString("Help", "m_HelpBase", "https://example.org/");
  std::vector<QString> opened;
  f.window->open_link = [&](const QString& url) {
    opened.push_back(url);
    return true;
  };
  QList<QAction*> items = f.window->Panel().WindowMenu().actions();
  ASSERT_EQ(items.size(), 1);
  EXPECT_EQ(items[0]->text().toStdString(), "&О программе KavuSdrAA");
  items[0]->trigger();
  auto* about = f.window->findChild<QWidget*>("about");
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  items[0]->trigger();  // a second time: the same box, raised
  EXPECT_EQ(f.window->findChildren<QWidget*>("about").size(), 1);
  auto* text = about->findChild<QTextBrowser*>("aboutText");
  ASSERT_NE(text, nullptr);
  EXPECT_NE(text->toPlainText().toStdString().find("Версия 4.08 от 14.01.2023"), std::string::npos);
  // The help line is a link; following it opens the help address through the window's opener.
  const QString help = "https://example.org/KavuSdrAA/Prog1/Help/DlgAbout/B";
  EXPECT_TRUE(text->toHtml().contains("href=\"" + help + "\"")) << text->toHtml().toStdString();
  emit text->anchorClicked(QUrl(help));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], help);
  // F1, here on the text: the About topic with the pointer's place.
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(text, &f1);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_TRUE(opened[1].startsWith("https://example.org/KavuSdrAA/Prog1/Help/DlgAbout/HI&1,0,0;")) << opened[1].toStdString();
  about->close();
}

}  // namespace
}  // namespace kavu
