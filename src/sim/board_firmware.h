#pragma once
// The emulated board's firmware: it carries out one parsed frame on the hardware and says what
// to answer and when (firmware_assumptions.h lists the behaviour). No I/O and no clock of its
// own: the EmulatedBoard feeds it frames and sends the replies.
#include <cstdint>
#include <vector>

#include "sim/board_frame_parser.h"
#include "sim/board_hardware.h"
#include "sim/firmware_assumptions.h"

namespace kavu::sim {

struct EmulatedBoardConfig {
  int buffer_size = kDefaultBufferSize;  // batch buffer reported by GetMKBufSz, bytes (1..65535)
  BoardTimer timer;        // reported by GetDelaysTimerInfo and used to time runs
  // The serial line's rate: every byte in either direction takes 10 bits' time (start, 8 data,
  // stop), so a command arrives, and its reply comes back, as late as on the real line. 0: the
  // line takes no time.
  int baud = 115200;
  // The board is switched on in its boot loader (firmware_assumptions.h, M1), not the
  // application.
  bool start_in_monitor = false;
  // Time the boot loader's flash takes per written block, us.
  int flash_block_us = kMonitorFlashBlockUs;
  // Time one byte takes on the line, ns (0 at baud 0).
  int64_t ByteNs() const { return baud > 0 ? 10'000'000'000LL / baud : 0; }
};

struct FirmwareReply {
  std::vector<uint8_t> bytes;  // may be empty (no reply)
  // A batch run: the reply goes out `run_ticks` timer ticks after the run started, at
  // `run_start_ns` on the board clock (when the command arrived, or later on a late board).
  bool is_run = false;
  uint64_t run_ticks = 0;
  int64_t run_start_ns = 0;
  // The reply carries an I2C error code at this index (-1: none); fault injection changes it.
  int i2c_code_index = -1;
};

class BoardFirmware {
 public:
  // `clock` (optional): the board's clock, which lets a late board start its runs late (see
  // BatchRunContext::clock).
  BoardFirmware(IBoardHardware& hardware, const EmulatedBoardConfig& config, IBoardClock* clock = nullptr);

  // Carries out `frame`, which arrived at board-clock time `now_ns`.
  FirmwareReply Execute(const BoardFrame& frame, int64_t now_ns);

  uint8_t Outputs() const { return outputs_; }
  const BatchTarget& Target() const { return target_; }
  const std::vector<uint8_t>& StoredBatch() const { return batch_; }
  bool HasBatch() const { return has_batch_; }

 private:
  FirmwareReply Command(const BoardFrame& frame, int64_t now_ns);
  FirmwareReply Batch(const BoardFrame& frame, int64_t now_ns);
  FirmwareReply Run(bool with_store_reply, int64_t now_ns);

  IBoardHardware* hw_;
  EmulatedBoardConfig config_;
  IBoardClock* clock_ = nullptr;
  uint8_t outputs_ = kPowerOnOutputs;
  BatchTarget target_;
  std::vector<uint8_t> batch_;
  bool has_batch_ = false;
};

}  // namespace kavu::sim
