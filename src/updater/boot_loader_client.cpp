#include "updater/boot_loader_client.h"

#include <chrono>
#include <thread>
#include <vector>

#include "updater/firmware_image.h"

namespace kavu {

void BootLoaderClient::Discard() {
  uint8_t scrap[8192];
  int count = 0;
  port_->ReadSome(scrap, static_cast<int>(sizeof scrap), &count);
}

void BootLoaderClient::WakeUp() {
  Discard();
  port_->Write(&kPrefix, 1);
  if (pause_) {
    pause_(kWakeUpGapMs);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(kWakeUpGapMs));
  }
  Discard();
  const uint8_t zero = 0x00;
  port_->Write(&zero, 1);
}

void BootLoaderClient::SendAddress(uint8_t command, uint32_t address, const uint8_t* data, size_t count) {
  uint8_t frame[5 + kFlashBlockSize];
  frame[0] = kPrefix;
  frame[1] = command;
  frame[2] = static_cast<uint8_t>(address);
  frame[3] = static_cast<uint8_t>(address >> 8);
  frame[4] = static_cast<uint8_t>(address >> 16);
  for (size_t i = 0; i < count; ++i) frame[5 + i] = data[i];
  port_->Write(frame, 5 + count);
}

int BootLoaderClient::ReadBlock(uint32_t address, uint8_t* out) {
  SendAddress(kCmdRead, address, nullptr, 0);
  return port_->ReadAll(out, static_cast<int>(kFlashBlockSize), kReadTimeoutMs, cancel_);
}

int BootLoaderClient::WriteBlock(uint32_t address, const uint8_t* data) {
  SendAddress(kCmdWrite, address, data, kFlashBlockSize);
  uint8_t reply = 0;
  return port_->ReadAll(&reply, 1, kWriteTimeoutMs, cancel_) == 1 ? reply : -1;
}

void BootLoaderClient::Start() {
  const uint8_t frame[2] = {kPrefix, kCmdStart};
  port_->Write(frame, sizeof frame);
}

void BootLoaderClient::SendCapture() {
  uint8_t frame[kCaptureBytes];
  for (uint8_t& b : frame) b = kPrefix;
  port_->Write(frame, sizeof frame);
}

}  // namespace kavu
