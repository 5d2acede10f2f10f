#include "sim/board_firmware.h"

#include "sim/firmware_assumptions.h"

namespace kavu::sim {
namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

BoardFirmware::BoardFirmware(IBoardHardware& hardware, const EmulatedBoardConfig& config, IBoardClock* clock)
    : hw_(&hardware), config_(config), clock_(clock) {}

FirmwareReply BoardFirmware::Execute(const BoardFrame& frame, int64_t now_ns) {
  switch (frame.kind) {
    case BoardFrame::Kind::kCommand: return Command(frame, now_ns);
    case BoardFrame::Kind::kBatch: return Batch(frame, now_ns);
    default: return {};
  }
}

FirmwareReply BoardFirmware::Command(const BoardFrame& f, int64_t now_ns) {
  FirmwareReply r;
  const auto p = [&f](size_t i) { return f.params[i]; };
  switch (f.code) {
    case kCmdSetCs:
      outputs_ = static_cast<uint8_t>((outputs_ & p(1)) | p(0));
      hw_->SetOutputs(outputs_);
      r.bytes = {kReplySetCs};
      break;
    case kCmdSpiOut:
      r.bytes = {hw_->SpiTransfer(p(0))};
      break;
    case kCmdSpiSetMode:
      hw_->SetSpiMode(static_cast<uint8_t>(p(0) & 3));
      r.bytes = {kReplySpiMode1, kReplySpiMode2, p(0)};
      break;
    case kCmdI2cCond:
      if (p(0) == kI2cCondStart) hw_->I2cStart();
      if (p(0) == kI2cCondStop) hw_->I2cStop();
      if (p(0) == kI2cCondEndRead) hw_->I2cEndRead();
      break;
    case kCmdI2cOut:
      r.bytes = {hw_->I2cWrite(p(0))};
      r.i2c_code_index = 0;
      break;
    case kCmdI2cIn:
      r.bytes = {hw_->I2cRead()};
      break;
    case kCmdSetMinusGenPeriod:
      hw_->SetMinusGenPwm(p(0), p(1));
      r.bytes = {kReplyMinusGen};
      break;
    case kCmdGetMkBufSz: {
      const uint32_t size = static_cast<uint32_t>(config_.buffer_size) & 0xFFFF;
      PutU16(r.bytes, size);
      PutU16(r.bytes, size ^ 0xFFFF);
      break;
    }
    case kCmdSetBigCmdAbonent:
      target_ = {p(0), p(1), p(2)};
      r.bytes = {kReplyAbonent};
      break;
    case kCmdGetDelaysTimerInfo:
      for (int copy = 0; copy < 2; ++copy) {
        PutU32(r.bytes, config_.timer.clock_hz);
        PutU32(r.bytes, config_.timer.divider);
      }
      break;
    case kCmdGetTim4: {
      const double ticks = static_cast<double>(now_ns) * 1e-9 * config_.timer.TicksPerSecond();
      PutU16(r.bytes, static_cast<uint32_t>(static_cast<uint64_t>(ticks) & 0xFFFF));
      r.bytes.push_back(kReplyTim4);
      break;
    }
    case kCmdBigCmdExec:
      if (!has_batch_) {
        r.bytes = {0x00, 0x00, kReplyNoBatch};
        break;
      }
      return Run(false, now_ns);
    default:
      break;
  }
  return r;
}

FirmwareReply BoardFirmware::Batch(const BoardFrame& f, int64_t now_ns) {
  const bool run = f.code == kCmdBigCmdStoreRun;
  const bool fits = f.len >= 1 && f.len <= config_.buffer_size;
  if (!f.check_ok || !fits) {
    batch_.clear();
    has_batch_ = false;
    FirmwareReply r;
    r.bytes = {kReplyBadFrame};
    if (run) r.bytes.insert(r.bytes.end(), {f.raw[2], f.raw[3], 0x00});
    return r;
  }
  batch_ = f.params;
  has_batch_ = true;
  if (!run) return {{kReplyBigCmd}, false, 0, -1};
  return Run(true, now_ns);
}

FirmwareReply BoardFirmware::Run(bool with_store_reply, int64_t now_ns) {
  BatchRunContext ctx;
  ctx.timer = config_.timer;
  ctx.target = target_;
  ctx.outputs = outputs_;
  ctx.arrival_ns = now_ns;
  ctx.clock = clock_;
  const BatchRunResult result = hw_->PlayBatch(batch_, ctx);
  outputs_ = result.outputs;
  const uint32_t len = static_cast<uint32_t>(batch_.size());
  FirmwareReply r;
  r.is_run = true;
  r.run_ticks = result.duration_ticks;
  r.run_start_ns = result.anchor_ns;
  if (with_store_reply) r.bytes.push_back(kReplyBigCmd);
  PutU16(r.bytes, len);
  r.bytes.push_back(result.i2c_error);
  r.i2c_code_index = static_cast<int>(r.bytes.size()) - 1;
  return r;
}

}  // namespace kavu::sim
