#include "web/ovirt_net_com.h"

#include <algorithm>
#include <chrono>

#include "shell/log_console.h"

namespace kavu {
namespace {

void LogLostBytes(int64_t lost, int64_t total) {
  Log() << LogColour(kColourError) << "Сетевой com-порт не открыт: потеряно байт " << static_cast<long long>(lost)
        << " (всего " << static_cast<long long>(total) << ")\n" << LogColour(kColourNormal);
}

}  // namespace

OVirtNetCom::OVirtNetCom()
    : lostLog_([this](int64_t, int64_t bytes) { LogLostBytes(bytes, lost_.load()); }) {}

void OVirtNetCom::WakeLocked(std::optional<OutsideEventTicket>& waiter, int bytes) {
  if (!waiter) return;
  if (waiter->sink) waiter->sink->PostOutsideEvent(*waiter, bytes);
  waiter.reset();
}

size_t OVirtNetCom::Send(const uint8_t* data, size_t count) {
  std::lock_guard lock(mutex_);
  const int used = (downloadWrite_ - downloadRead_ + kRingSize) % kRingSize;
  const size_t take = std::min<size_t>(count, static_cast<size_t>(kRingSize - 1 - used));
  for (size_t i = 0; i < take; ++i) {
    download_[downloadWrite_] = data[i];
    downloadWrite_ = (downloadWrite_ + 1) % kRingSize;
  }
  if (take > 0) WakeLocked(downloadWaiter_, 0);
  return take;
}

bool OVirtNetCom::WaitForData(int seen_index, int timeout_ms) {
  std::unique_lock lock(mutex_);
  return dataArrived_.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                               [&] { return uploadWrite_.load() != seen_index; });
}

void OVirtNetCom::ReceiveRead(int read_index) {
  std::lock_guard lock(mutex_);
  uploadRead_ = ((read_index % kRingSize) + kRingSize) % kRingSize;
  if (UploadRoomLocked() > 0) WakeLocked(uploadWaiter_, 0);
}

void OVirtNetCom::ReaderAttached(bool attached) {
  std::lock_guard lock(mutex_);
  readerAttached_ = attached;
  uploadRead_ = uploadWrite_.load();
  WakeLocked(uploadWaiter_, 0);
}

int OVirtNetCom::NewUpload() {
  std::lock_guard lock(mutex_);
  // The waiting upload is now stale: woken, it fails and its connection is closed. Left asleep
  // it would hold its slot and descriptor until the reader freed room, perhaps never.
  WakeLocked(uploadWaiter_, 0);
  return uploadId_.fetch_add(1) + 1;
}

int OVirtNetCom::UploadRoomLocked() const {
  if (!readerAttached_) return kMaxBlock;
  const int used = (uploadWrite_.load() - uploadRead_ + kRingSize) % kRingSize;
  return kRingSize - 1 - used;
}

int OVirtNetCom::UploadRoom() const {
  std::lock_guard lock(mutex_);
  return UploadRoomLocked();
}

int OVirtNetCom::Upload(const uint8_t* data, int n) {
  int64_t lost = 0;
  int take = 0;
  {
    std::lock_guard lock(mutex_);
    if (!readerAttached_) {
      lost = n;
      take = n;
      uploadRead_ = uploadWrite_.load();
    } else {
      take = std::min(n, UploadRoomLocked());
      int w = uploadWrite_.load();
      for (int i = 0; i < take; ++i) {
        upload_[w] = data[i];
        w = (w + 1) % kRingSize;
      }
      uploadWrite_.store(w, std::memory_order_release);
    }
  }
  if (take > 0) dataArrived_.notify_all();
  if (lost > 0) {
    const int64_t total = lost_.fetch_add(lost) + lost;
    if (lostLog_.Add(lost)) LogLostBytes(lost, total);
  }
  return take;
}

bool OVirtNetCom::WaitUploadRoom(int id, const OutsideEventTicket& ticket) {
  std::lock_guard lock(mutex_);
  // A stale upload must not take the current one's place as the waiter: it is told to go on,
  // finds itself stale and fails.
  if (id != uploadId_.load() || UploadRoomLocked() > 0) return false;
  uploadWaiter_ = ticket;
  return true;
}

int OVirtNetCom::NewDownload() {
  std::lock_guard lock(mutex_);
  WakeLocked(downloadWaiter_, 0);
  downloadRead_ = downloadWrite_;
  return ++downloadId_;
}

int OVirtNetCom::DownloadId() const {
  std::lock_guard lock(mutex_);
  return downloadId_;
}

void OVirtNetCom::InitMyIOEvent(int id, const OutsideEventTicket& ticket) {
  std::lock_guard lock(mutex_);
  if (id != downloadId_) {
    Log() << "OVirtNetCom::InitMyIOEvent() изменился IdConnect \n";
    if (ticket.sink) ticket.sink->PostOutsideEvent(ticket, -1);
    return;
  }
  if (downloadRead_ != downloadWrite_) {
    Log() << "OVirtNetCom::InitMyIOEvent() - уже есть данные для отправки \n";
    if (ticket.sink) ticket.sink->PostOutsideEvent(ticket, 0);
    return;
  }
  downloadWaiter_ = ticket;
}

void OVirtNetCom::CancelMyIOEvent(const OutsideEventTicket& ticket) {
  std::lock_guard lock(mutex_);
  if (downloadWaiter_ && *downloadWaiter_ == ticket) WakeLocked(downloadWaiter_, 0);
}

int OVirtNetCom::TakeDownload(int id, uint8_t* out, int max) {
  std::lock_guard lock(mutex_);
  if (id != downloadId_) return -1;
  int n = 0;
  while (downloadRead_ != downloadWrite_ && n < max) {
    out[n++] = download_[downloadRead_];
    downloadRead_ = (downloadRead_ + 1) % kRingSize;
  }
  return n;
}

}  // namespace kavu
