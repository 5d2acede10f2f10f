// OSerialPortSelector with the emulated board as the device and a list standing in for the
// drop-down control.
#include <gtest/gtest.h>

#include <cstdlib>

#include "board/emulated_board_fixture.h"
#include "board/serial_port_selector.h"
#include "platform/event_loop.h"
#include "platform/port_change_monitor.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

class ListView : public IPortListView {
 public:
  void Clear() override { items.clear(), selection = -1; }
  void AddItem(const std::string& text, int data) override { items.push_back({text, data}); }
  void Select(int index) override { selection = index; }
  int Selection() const override { return selection; }
  int ItemData(int index) const override { return items[static_cast<size_t>(index)].second; }
  int IndexOf(int data) const {
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].second == data) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<std::pair<std::string, int>> items;
  int selection = -1;
};

class ManualChangeSource : public IPortChangeSource {
 public:
  bool Start(std::function<void()> fn) override {
    on_change = std::move(fn);
    return true;
  }
  void Stop() override { on_change = nullptr; }
  std::function<void()> on_change;
};

class SerialPortSelectorTest : public EmulatedBoardTest {
 protected:
  void SetUp() override {
    EmulatedBoardTest::SetUp();
    SetTtyScannerForTests([] { return std::vector<TtyDeviceInfo>{}; });
    StartBoard();
    port_.Close();
    port_.SetPathResolver(nullptr);
    Settings().WriteProfileString("OSerialPortSelector", "m_ExtraPorts", board_->DevicePath());
  }
  void TearDown() override {
    SetTtyScannerForTests(nullptr);
    EmulatedBoardTest::TearDown();
  }
  int SavedPort() { return Settings().GetProfileInt("OSerialPortSelector", "m_PortSelect_0", 0); }

  ScopedSettings settings_;
  ListView view_;
  RecordingNotice notice_;
  ErrorBox errors_{notice_};
  OSerialPortSelector selector_{port_, view_, &errors_};
};

TEST_F(SerialPortSelectorTest, SavedPortIsOpenedSilently) {
  Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", 901);
  selector_.InitFromSettings();
  ASSERT_EQ(view_.items.size(), 3u);
  EXPECT_EQ(view_.items[0], (std::pair<std::string, int>{"Не выбран", 0}));
  EXPECT_EQ(view_.items[1], (std::pair<std::string, int>{"COM901 " + board_->DevicePath(), 901}));
  EXPECT_EQ(view_.items[2], (std::pair<std::string, int>{"сеть - андрод_otg", -33}));
  EXPECT_EQ(view_.selection, 1);
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
}

TEST_F(SerialPortSelectorTest, AbsentSavedPortLeavesNoSelectionAndKeepsTheSetting) {
  Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", 150);
  selector_.InitFromSettings();
  EXPECT_EQ(view_.selection, -1);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(SavedPort(), 150);
  EXPECT_TRUE(notice_.Texts().empty());
}

TEST_F(SerialPortSelectorTest, ChoosingAPortThatFailsShowsTheErrorAndKeepsTheSetting) {
  selector_.InitFromSettings();
  EXPECT_EQ(view_.selection, 0);
  view_.Select(view_.IndexOf(-33));
  selector_.OnSelChange();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(view_.selection, 0);
  EXPECT_EQ(SavedPort(), -33);
  ASSERT_EQ(notice_.Texts().size(), 1u);
  EXPECT_NE(notice_.Texts()[0].find("ОШИБКА ОТКРЫТИЯ COM-33\nСетевой com-порт недоступен!"), std::string::npos);
  view_.Select(view_.IndexOf(901));
  selector_.OnSelChange();
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(SavedPort(), 901);
}

TEST_F(SerialPortSelectorTest, UnplugClosesThePortAndReplugReopensIt) {
  SetTtyScannerForTests([] { return std::vector<TtyDeviceInfo>{{"ttyUSB0", "/dev/ttyUSB0", "FT232R"}}; });
  Settings().WriteProfileString("OSerialPortSelector", "m_ExtraPorts", "");
  // The chosen port is a listed device; here it is the board reached as port 101.
  port_.SetPathResolver([this](int) { return board_->DevicePath(); });
  Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", 101);
  selector_.InitFromSettings();
  ASSERT_TRUE(port_.IsOpen());

  EventLoop loop;
  ManualChangeSource source;
  int acted = 0;
  selector_.Attach(source, loop, [&] { ++acted; });
  // The device goes away: the list no longer holds it.
  SetTtyScannerForTests([] { return std::vector<TtyDeviceInfo>{}; });
  source.on_change();
  loop.RunPending();
  EXPECT_EQ(acted, 1);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(view_.selection, -1);
  EXPECT_EQ(SavedPort(), 101);
  // It comes back: re-opened without a message.
  SetTtyScannerForTests([] { return std::vector<TtyDeviceInfo>{{"ttyUSB0", "/dev/ttyUSB0", "FT232R"}}; });
  source.on_change();
  loop.RunPending();
  EXPECT_EQ(acted, 2);
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(view_.items[static_cast<size_t>(view_.selection)].first, "COM101 FT232R (/dev/ttyUSB0)");
  EXPECT_TRUE(notice_.Texts().empty());
  // Nothing changed for the open port: no action.
  source.on_change();
  loop.RunPending();
  EXPECT_EQ(acted, 2);
  EXPECT_NE(Logged().find("enumports \n"), std::string::npos);
  selector_.Detach();
  EXPECT_FALSE(source.on_change);
}

}  // namespace
}  // namespace kavu::test
