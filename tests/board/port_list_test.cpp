// The port list: devices, extra paths from the settings and the environment, the network entry;
// and opening what the list offers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "board/emulated_board_fixture.h"
#include "board/network_serial_bridge.h"
#include "board/port_list.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value, 1);
  }
  ~ScopedEnv() { had_ ? (void)::setenv(name_, old_.c_str(), 1) : (void)::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

struct ScopedScanner {
  explicit ScopedScanner(std::vector<TtyDeviceInfo> devices) {
    SetTtyScannerForTests([devices] { return devices; });
  }
  ~ScopedScanner() { SetTtyScannerForTests(nullptr); }
};

class PortListTest : public EmulatedBoardTest {};

TEST_F(PortListTest, ExtraPathsAreListedFrom901AndTheNetworkEntryLast) {
  ScopedSettings settings;
  Settings().WriteProfileString("OSerialPortSelector", "m_ExtraPorts", "/dev/pts/91:/tmp/kavu-board");
  ScopedEnv env("KAVU_EXTRA_PORTS", "/tmp/not-there:/dev/pts/91");
  ScopedScanner scan({{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART"}, {"ttyAMA0", "/dev/ttyAMA0", ""}});
  const PortList list = BuildPortList();
  ASSERT_EQ(list.entries.size(), 6u);
  EXPECT_EQ(list.entries[0].number, 101);
  EXPECT_EQ(list.entries[0].text, "FT232R USB UART (/dev/ttyUSB0)");
  EXPECT_EQ(list.entries[1].number, 401);
  EXPECT_EQ(list.entries[1].text, "/dev/ttyAMA0");
  EXPECT_EQ(list.entries[2].number, 901);
  EXPECT_EQ(list.entries[2].path, "/dev/pts/91");
  EXPECT_EQ(list.entries[3].number, 902);
  EXPECT_EQ(list.entries[3].path, "/tmp/kavu-board");
  EXPECT_EQ(list.entries[4].number, 903);
  EXPECT_EQ(list.entries[4].path, "/tmp/not-there");
  EXPECT_EQ(list.entries[5].number, kNetworkPortNumber);
  EXPECT_EQ(list.entries[5].text, "сеть - андрод_otg");
  EXPECT_NE(Logged().find("Вижу 5 COM-портов, время опроса списка "), std::string::npos);
  EXPECT_EQ(PortPathForNumber(903), "/tmp/not-there");
  EXPECT_EQ(PortPathForNumber(401), "/dev/ttyAMA0");
  EXPECT_EQ(PortPathForNumber(105), "/dev/ttyUSB4");
  EXPECT_EQ(PortPathForNumber(904), "");

  // A listed path that does not exist fails to open with the open-failure text.
  OSerialPort port;
  EXPECT_FALSE(port.Open(903, OSerialPort::kBaud));
  EXPECT_EQ(port.LastErrorText(), "Не могу открыть выбранный порт /tmp/not-there\nNo such file or directory");
}

TEST_F(PortListTest, AnEmptyMachineStillListsTheNetworkEntry) {
  ScopedSettings settings;
  ScopedScanner scan({});
  const PortList list = BuildPortList();
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0].number, -33);
}

TEST_F(PortListTest, ListAndTextPoolLimits) {
  std::vector<TtyDeviceInfo> many;
  for (int i = 0; i < 300; ++i) many.push_back({"ttyX" + std::to_string(1000 + i), "/dev/ttyX", ""});
  PortList list = MakePortList(many, {});
  EXPECT_EQ(list.entries.size(), PortList::kMaxEntries);
  EXPECT_EQ(list.Find(kNetworkPortNumber), nullptr);  // no room left for it
  std::vector<TtyDeviceInfo> wordy;
  for (int i = 0; i < 100; ++i) wordy.push_back({"ttyUSB" + std::to_string(i), "/dev/u", std::string(200, 'x')});
  list = MakePortList(wordy, {});
  size_t pool = 0;
  for (const auto& e : list.entries) pool += e.number > 0 ? e.text.size() + 1 : 0;
  EXPECT_LE(pool, PortList::kTextPoolBytes);
  EXPECT_LT(list.entries.size(), 100u);
}

TEST_F(PortListTest, TheEmulatedBoardOpensThroughTheEnvironment) {
  ScopedSettings settings;
  StartBoard();
  port_.Close();
  port_.SetPathResolver(nullptr);
  ScopedEnv env("KAVU_EXTRA_PORTS", board_->DevicePath().c_str());
  ASSERT_TRUE(port_.Open(901, OSerialPort::kBaud)) << port_.LastErrorText();
  EXPECT_EQ(port_.DevicePath(), board_->DevicePath());
  const std::string log = Logged();
  // A pseudo-terminal refuses the modem lines: logged, and the port works on.
  EXPECT_NE(log.find("Открываю " + board_->DevicePath() + "\n"), std::string::npos);
  EXPECT_NE(log.find("!!! Не могу установить для порта требуемый режим (115200  бод) !\n"), std::string::npos);
  EXPECT_NE(log.find("Ради кривого cdc от stm32 игнорирую это проблему и пытаюсь продолжить работу \n"),
            std::string::npos);
  EXPECT_NE(log.find("m_dcb.BaudRate = 115200   \n"), std::string::npos);
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
}

// A bridge standing in for the web server's.
class FakeBridge : public INetworkSerialBridge {
 public:
  const uint8_t* ReceiveRing() const override { return ring; }
  int ReceiveWriteIndex() const override { return write; }
  size_t Send(const uint8_t* data, size_t count) override {
    sent.insert(sent.end(), data, data + count);
    return count;
  }
  bool WaitForData(int seen, int) override { return write != seen; }
  void Put(uint8_t b) {
    ring[write] = b;
    write = (write + 1) % kRingSize;
  }
  uint8_t ring[kRingSize] = {};
  int write = 0;
  std::vector<uint8_t> sent;
};

TEST_F(PortListTest, NetworkPortNeedsTheWebServer) {
  OSerialPort port;
  EXPECT_FALSE(port.Open(kNetworkPortNumber, OSerialPort::kBaud));
  EXPECT_EQ(port.LastErrorText(),
            "Сетевой com-порт недоступен! Включите в настройках запуск Http сервера и перезапустите "
            "программу\n");
  FakeBridge bridge;
  for (int i = 0; i < 4094; ++i) bridge.Put(0xEE);  // arrived before Open: never delivered
  port.SetNetworkBridge(&bridge);
  ASSERT_TRUE(port.Open(kNetworkPortNumber, OSerialPort::kBaud));
  EXPECT_TRUE(port.IsNetwork());
  const uint8_t cmd[] = {0xCD, 0x50};
  port.Write(cmd, 2);
  EXPECT_EQ(bridge.sent, (std::vector<uint8_t>{0xCD, 0x50}));
  for (uint8_t b : {0x01, 0x02, 0x03, 0x04}) bridge.Put(b);  // wraps around the ring's end
  uint8_t got[8] = {};
  EXPECT_EQ(port.ReadAll(got, 4, 10), 4);
  EXPECT_EQ(got[0], 0x01);
  EXPECT_EQ(got[3], 0x04);
  EXPECT_EQ(port.ReadAll(got, 1, 10), 0);
  // Taking the bridge away closes a network port that uses it, and -33 no longer opens.
  port.SetNetworkBridge(nullptr);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Open(kNetworkPortNumber, OSerialPort::kBaud));
  EXPECT_NE(Logged().find("Открываю сетевой com-порт (мост Cеть - Angroid - usb_host)\n"), std::string::npos);
}

}  // namespace
}  // namespace kavu::test
