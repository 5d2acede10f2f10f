// kavusdraa-cli flash against kavusdraa-cli sim-board in its boot loader, run as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/run_command.h"
#include "support/sim_board_process.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

std::string Record(unsigned address, const std::vector<unsigned>& data) {
  char piece[16];
  std::snprintf(piece, sizeof piece, ":%02X%04X00", static_cast<unsigned>(data.size()), address);
  std::string line = piece;
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF);
  for (unsigned b : data) {
    std::snprintf(piece, sizeof piece, "%02X", b);
    line += piece;
    sum += b;
  }
  std::snprintf(piece, sizeof piece, "%02X", (256 - sum % 256) % 256);
  return line + piece;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(CliFlashTest, WriteVerifyBackUpStartAndCaptureOnTheEmulatedBootLoader) {
  test::TempDir dir;
  const std::string link = dir.File("board");
  test::SimBoardProcess sim(link, dir.Path(), {"--monitor", "--baud", "0", "--flash-us", "0"});
  ASSERT_EQ(sim.FirstLine().rfind("device: /dev/pts/", 0), 0u) << sim.FirstLine();
  const std::vector<std::string> env{"KAVU_EXTRA_PORTS=" + link, "XDG_CONFIG_HOME=" + dir.Path()};
  const std::string cli = test::CliPath();

  std::vector<std::string> lines;
  std::string hex;
  for (unsigned a = 0x400; a < 0x1400; a += 16) {
    std::vector<unsigned> data(16);
    for (unsigned i = 0; i < 16; ++i) data[i] = ((a + i) * 7 + 3) & 0xFF;
    lines.push_back(Record(a, data));
    hex += lines.back() + "\r\n";
  }
  const std::string file = dir.File("fw.hex");
  std::ofstream(file) << hex << ":00000001FF\r\n";

  auto r = test::RunCommand({cli, "flash", "--port", "901", file}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("written: 2048 blocks, protected: 32, protected_user: 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("user_errors: 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("config_errors: 0\n"), std::string::npos);
  EXPECT_NE(r.err.find("Конец записи, записано блоков = 2048"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ИНФОРМАЦИЯ: Несовпадения есть только в области монитора"), std::string::npos);

  // The backup holds the program as written, record for record.
  const std::string backup = dir.File("backup.hex");
  r = test::RunCommand({cli, "flash", "--port", "901", "--read", backup, "--start"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("started\n"), std::string::npos);
  const std::string saved = ReadWhole(backup);
  for (const std::string& l : lines) ASSERT_NE(saved.find(l + "\n"), std::string::npos) << l;

  // Started: the application does not answer the boot loader's commands.
  r = test::RunCommand({cli, "flash", "--port", "901", "--verify-only", file}, env);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("Err, RdSz=0"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ОШИБКА ЧТЕНИЯ: Ошибка при считывании данных из модуля!"), std::string::npos);
  // Captured again (the bench switches the board on under capture), it verifies.
  r = test::RunCommand({cli, "flash", "--port", "901", "--capture", "5", "--verify-only", file}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("user_errors: 0\n"), std::string::npos);

  // A damaged file is refused before anything is sent; the chip keeps its program.
  const std::string damaged = dir.File("damaged.hex");
  std::ofstream(damaged) << lines[0] << "\n" << lines[1].substr(0, lines[1].size() - 2) << "00\n";
  r = test::RunCommand({cli, "flash", "--port", "901", damaged}, env);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("строка 2: неверная контрольная сумма"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Начинаю запись"), std::string::npos);
  r = test::RunCommand({cli, "flash", "--port", "901", "--verify-only", file}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;

  // A different program fails the verification.
  const std::string other = dir.File("other.hex");
  std::ofstream(other) << Record(0x800, {1, 2, 3}) << "\n:00000001FF\n";
  r = test::RunCommand({cli, "flash", "--port", "901", "--verify-only", other}, env);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("ОШИБКА ВЕРИФИКАЦИИ: Данные пользователя не совпадают!"), std::string::npos) << r.err;

  EXPECT_EQ(test::RunCommand({cli, "flash", file}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({cli, "flash", "--port", "901", "--verify-only"}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({cli, "flash", "--port", "907", file}, env).exit_status, 1);
}

}  // namespace
}  // namespace kavu
