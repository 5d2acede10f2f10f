#include <gtest/gtest.h>

#include "platform/port_change_monitor.h"
#include "platform/port_list_udev.h"
#include "platform/port_numbering.h"

namespace kavu {
namespace {

TEST(PortNumberingTest, FixedFamiliesMapBothWays) {
  EXPECT_EQ(FixedPortNumber("ttyS0"), 1);
  EXPECT_EQ(FixedPortNumber("ttyS31"), 32);
  EXPECT_EQ(FixedPortNumber("ttyUSB0"), 101);
  EXPECT_EQ(FixedPortNumber("ttyUSB7"), 108);
  EXPECT_EQ(FixedPortNumber("ttyACM0"), 201);
  EXPECT_EQ(FixedPortNumber("ttyACM99"), 300);
  EXPECT_EQ(FixedPortNumber("rfcomm2"), 303);
  for (const char* other : {"ttyAMA0", "ttyUSB", "ttyUSB100", "ttyUSB01", "ttyS-1", "ttyUSBx", "tty"}) {
    EXPECT_EQ(FixedPortNumber(other), 0) << other;
  }
  for (int n : {1, 32, 101, 108, 201, 300, 303}) {
    EXPECT_EQ(FixedPortNumber(FixedPortName(n)), n) << n;
  }
  EXPECT_EQ(FixedPortName(0), "");
  EXPECT_EQ(FixedPortName(401), "");
}

TEST(PortNumberingTest, OtherDevicesGetNumbersFrom401InNameOrder) {
  const std::vector<NumberedPort> ports = NumberPorts({
      {"ttyUSB1", "/dev/ttyUSB1", "FT232R"},
      {"ttyXRUSB0", "/dev/ttyXRUSB0", ""},
      {"ttyAMA0", "/dev/ttyAMA0", "PL011"},
      {"ttyS0", "/dev/ttyS0", "16550A"},
      {"ttyUSB100", "/dev/ttyUSB100", ""},
      {"ttyUSB1", "/dev/ttyUSB1", "duplicate"},
  });
  ASSERT_EQ(ports.size(), 5u);
  EXPECT_EQ(ports[0].number, 1);
  EXPECT_EQ(ports[1].number, 102);
  EXPECT_EQ(ports[1].description, "FT232R");
  EXPECT_EQ(ports[2].number, 401);
  EXPECT_EQ(ports[2].path, "/dev/ttyAMA0");
  EXPECT_EQ(ports[3].number, 402);
  EXPECT_EQ(ports[3].path, "/dev/ttyUSB100");
  EXPECT_EQ(ports[4].number, 403);
  EXPECT_EQ(ports[4].path, "/dev/ttyXRUSB0");
}

TEST(PortNumberingTest, OtherNumbersStopAt900) {
  std::vector<TtyDeviceInfo> many;
  for (int i = 0; i < 600; ++i) many.push_back({"ttyX" + std::to_string(1000 + i), "/dev/x", ""});
  const auto ports = NumberPorts(many);
  ASSERT_EQ(ports.size(), 500u);
  EXPECT_EQ(ports.back().number, 900);
}

TEST(PortNumberingTest, ExtraPathsSplitOnColons) {
  EXPECT_EQ(SplitPortPaths("/dev/pts/3::/tmp/board:"),
            (std::vector<std::string>{"/dev/pts/3", "/tmp/board"}));
  EXPECT_TRUE(SplitPortPaths("").empty());
}

TEST(PortNumberingTest, PhantomLegacyPortsAreRecognised) {
  EXPECT_TRUE(IsPhantomSerialPort("ttyS3", "0"));
  EXPECT_FALSE(IsPhantomSerialPort("ttyS0", "4"));
  EXPECT_FALSE(IsPhantomSerialPort("ttyS0", nullptr));
  EXPECT_FALSE(IsPhantomSerialPort("ttyUSB0", "0"));
}

TEST(PortNumberingTest, ScanningThisMachineNeverFails) {
  for (const TtyDeviceInfo& d : ScanTtyDevices()) {
    EXPECT_FALSE(d.devnode.empty());
    EXPECT_FALSE(d.sysname.empty());
  }
}

}  // namespace
}  // namespace kavu


namespace kavu {
namespace {

TEST(UdevPortMonitorTest, StartsAndStopsCleanly) {
  // Containers may have no udev netlink socket: then Start says so and Stop still works.
  UdevPortMonitor monitor;
  const bool started = monitor.Start([] {});
  monitor.Stop();
  monitor.Stop();
  if (started) {
    EXPECT_TRUE(monitor.Start([] {}));
    monitor.Stop();
  }
}

}  // namespace
}  // namespace kavu
