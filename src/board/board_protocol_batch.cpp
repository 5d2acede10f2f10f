// Batch frames of OBoardProtocol: BigCmd2 and BigCmd2_Exec.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "board/board_crc8.h"
#include "board/board_protocol.h"
#include "board/board_reply.h"
#include "platform/num_convert.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string HexText(uint32_t v) {
  char text[12];
  std::snprintf(text, sizeof text, "%X", v);
  return text;
}

constexpr int kRunMarginMs = 2000;

void AppendFrame(std::vector<uint8_t>& out, const uint8_t* data, int len, bool exec) {
  out.push_back(0xCD);
  out.push_back(exec ? 0x5C : 0x5A);
  out.push_back(static_cast<uint8_t>(len & 0xFF));
  out.push_back(static_cast<uint8_t>(len >> 8));
  out.insert(out.end(), data, data + len);
  out.push_back(BoardCheckByte(data, static_cast<uint16_t>(len)));
}

}  // namespace

std::vector<uint8_t> OBoardProtocol::EncodeBigCmd2Frame(const uint8_t* data, int len, bool exec) {
  std::vector<uint8_t> frame;
  if (len < 1 || len > kMaxBatchLen) return frame;
  frame.reserve(static_cast<size_t>(len) + 5);
  AppendFrame(frame, data, len, exec);
  return frame;
}

uint64_t OBoardProtocol::BatchDurationTicks(const uint8_t* data, int len) {
  uint64_t ticks = 0;
  int i = 0;
  while (i < len) {
    const uint8_t b = data[i];
    const auto delay_at = [&](int k) {
      return static_cast<uint64_t>(((data[k] & 0x7F) << 8) | data[k + 1]);
    };
    if (b < 0x80) {
      if (i + 1 >= len) break;
      ticks += delay_at(i);
      i += 2;
    } else if (b == 0x86) {
      if (i + 4 < len && data[i + 1] == 0x12) {
        ticks += 2 * delay_at(i + 2) * data[i + 4];
        i += 5;
      } else {
        i += 2;
      }
    } else if (b == 0x80 || b == 0x83 || b == 0x84 || b == 0x85 || b == 0x87 || b == 0xFE) {
      i += 1;
    } else if ((b & 0xF0) == 0x90 || (b & 0xF0) == 0xA0) {
      i += 1 + (b & 0x0F);
    } else {
      break;  // 0xFF ends the batch; an unknown code ends what can be read of it
    }
  }
  return ticks;
}

int OBoardProtocol::RunReplyTimeoutMs(uint64_t ticks) const {
  const double rate = TicksPerSecond();
  const double ms = rate > 0 ? std::ceil(static_cast<double>(ticks) / rate * 1000.0) : 0.0;
  const int64_t total = RoundToInt64(ms).value_or(INT32_MAX) + kRunMarginMs;
  return static_cast<int>(std::clamp<int64_t>(total, kBatchReplyMs, INT32_MAX));
}

bool OBoardProtocol::PrepareBatch(const uint8_t* data, int len, bool exec) {
  if (len < 1 || len > kMaxBatchLen) {
    LogRed("ODlgSpektr::BigCmd2(), недопустимая Len=" + std::to_string(len) + "\n");
    return false;
  }
  last_batch_len_ = len;
  last_batch_ticks_ = BatchDurationTicks(data, len);
  frame_.clear();
  AppendFrame(frame_, data, len, exec);
  return true;
}

bool OBoardProtocol::CheckBatchReply(int len, bool exec, const uint8_t* r, int n) const {
  const int want = exec ? 4 : 1;
  const std::string len_hex = HexText(static_cast<uint32_t>(len));
  if (n < want) {
    LogRed("Не принят ответ на BigCmd2, RdSz=" + std::to_string(n) + " Rsz=" + std::to_string(want) +
        " R[0]=" + HexText(r[0]) + " Len=" + std::to_string(len) + " = 0x" + len_hex + "\n");
    return false;
  }
  if (r[0] != 0x9C) {
    LogRed("Неверный ответ на BigCmd2() " + HexText(r[0]) + " != 0x9c, Len=" + len_hex + "\n");
    return false;
  }
  if (!exec) return true;
  const RunReplyVerdict verdict = CheckRunReply(r[1], r[3], len);
  if (verdict == RunReplyVerdict::kWrongLength) {
    LogRed("Неверный ответ на BigCmd2() с исп. " + HexText(r[1]) + " Len=" + len_hex + "\n");
    return false;
  }
  if (verdict == RunReplyVerdict::kI2cError) {
    LogRed("Неверный ответ на BigCmd2 с исп. , I2C_Error " + HexText(r[3]) + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::BigCmd2(const uint8_t* data, int len, bool exec) {
  if (!port_->IsOpen()) return false;
  if (!PrepareBatch(data, len, exec)) return false;
  uint8_t r[4] = {};
  const int timeout = exec ? RunReplyTimeoutMs(last_batch_ticks_) : kBatchReplyMs;
  const int n = Transact("BigCmd2", frame_.data(), frame_.size(), r, exec ? 4 : 1, timeout);
  return CheckBatchReply(len, exec, r, n);
}

bool OBoardProtocol::CheckExecReply(const uint8_t* r, int n) const {
  const uint32_t len = static_cast<uint32_t>(last_batch_len_);
  if (n < 3) {
    LogRed("Err ответ BigCmd2_Exec, RdSz=" + std::to_string(n) + " R[0]=0x" + HexText(r[0]) + ", Len=" +
        HexText(len) + "\n");
    return false;
  }
  const RunReplyVerdict verdict = CheckRunReply(r[0], r[2], last_batch_len_);
  if (verdict == RunReplyVerdict::kWrongLength) {
    LogRed("Err ответ BigCmd2_Exec, R[0]=0x" + HexText(r[0]) + " R[1]=" + HexText(r[1]) + " не равен Len=" +
        std::to_string(len) + " = 0x" + HexText(len) + "\n");
    return false;
  }
  if (verdict == RunReplyVerdict::kI2cError) {
    LogRed("Err ответ BigCmd2_Exec, I2C_Error " + HexText(r[2]) + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::BigCmd2_Exec() {
  if (!port_->IsOpen()) return false;
  uint8_t r[3] = {};
  const int n = Transact("BigCmd2_Exec", {0xCD, 0x5B}, r, 3, RunReplyTimeoutMs(last_batch_ticks_));
  return CheckExecReply(r, n);
}

}  // namespace kavu
