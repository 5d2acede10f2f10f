#pragma once
// A pseudo-terminal pair for the emulated board: the board speaks on the master side, the
// program opens the slave path like any serial device. The slave side is put in raw mode (no
// echo, no line editing) before anyone opens it, and the board keeps one slave descriptor open
// so that the program closing and reopening the port is no hang-up for the board.
#include <string>

namespace kavu::sim {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair; false with the reason in *error when it cannot.
  bool Create(std::string* error);
  // Closes both sides: to the program the device is gone (reads and writes fail with EIO).
  void Close();
  bool IsOpen() const { return master_ >= 0; }
  int MasterFd() const { return master_; }
  // "/dev/pts/7"; empty when not created.
  const std::string& SlavePath() const { return slave_path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace kavu::sim
