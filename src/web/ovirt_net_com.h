#pragma once
// OVirtNetCom: the network serial bridge. A phone that hosts the control board on its USB port
// streams the board's bytes up with POST "KavuSdrAA1_ComPort_send.dat" (upload) and receives
// what the analyzer writes through a long POST "KavuSdrAA1_ComPort_rcv.dat" (download); the
// analyzer's serial port (number -33) reads and writes the two 4096-byte rings.
//
// No byte is dropped or overwritten silently: an upload takes only the room the port's reader
// has freed (the connection stops being read meanwhile), a write to a full download ring is
// short, and bytes that arrive while the port is closed are counted and reported as lost (at
// most one log line a second, with the bytes lost since the previous line). Each new connection
// of a direction supersedes the previous one: a superseded download is woken and closed, and so
// is a superseded upload that waits for room in the ring; a superseded upload that is not
// waiting fails at its next block.
//
// Threads: the web server's loop thread (connections) and the thread using the serial port.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "board/network_serial_bridge.h"
#include "web/log_throttle.h"
#include "web/okavu_http.h"

namespace kavu {

class OVirtNetCom : public INetworkSerialBridge {
 public:
  static constexpr int kFirstUploadId = 1000000;
  static constexpr int kMaxBlock = kRingSize - 1;  // bytes taken from the network at a time

  OVirtNetCom();
  // The clock the lost-bytes report is paced by (null: the steady clock); set before use.
  void SetLogClock(const IWebClock* clock) { lostLog_.SetClock(clock); }
  // Writes the lost-bytes report held back for pacing, when it is due (the server's tick).
  void FlushLog() { lostLog_.Flush(); }

  // INetworkSerialBridge (the serial port's side)
  const uint8_t* ReceiveRing() const override { return upload_; }
  int ReceiveWriteIndex() const override { return uploadWrite_.load(std::memory_order_acquire); }
  size_t Send(const uint8_t* data, size_t count) override;
  bool WaitForData(int seen_index, int timeout_ms) override;
  void ReceiveRead(int read_index) override;
  void ReaderAttached(bool attached) override;

  // --- upload (loop thread) ---
  // A new upload connection: its id; earlier uploads become stale, and the one waiting for room
  // (if any) is woken to find that out.
  int NewUpload();
  int UploadId() const { return uploadId_.load(); }
  // Room for the next upload bytes (0 .. kMaxBlock).
  int UploadRoom() const;
  // Appends up to `n` bytes; returns how many were taken (all of them while no reader is
  // attached: those are counted as lost).
  int Upload(const uint8_t* data, int n);
  // Upload `id` waits for room: `ticket` is woken once the reader frees some (or a newer upload
  // starts). False, and nothing remembered, when there is room already or `id` is stale.
  bool WaitUploadRoom(int id, const OutsideEventTicket& ticket);
  int64_t LostBytes() const { return lost_.load(); }

  // --- download (loop thread) ---
  // A new download connection: wakes the waiting one (it will find itself stale), drops unsent
  // bytes of earlier downloads; returns the new id.
  int NewDownload();
  int DownloadId() const;
  // The connection `id` waits for bytes: remembered, or woken at once (bytes waiting: 0;
  // stale id: -1).
  void InitMyIOEvent(int id, const OutsideEventTicket& ticket);
  // Withdraws the wait of `ticket` (only that connection's own).
  void CancelMyIOEvent(const OutsideEventTicket& ticket);
  // Moves the waiting bytes (at most `max`) to `out` for download `id`; -1 when `id` is stale.
  int TakeDownload(int id, uint8_t* out, int max);

 private:
  int UploadRoomLocked() const;
  void WakeLocked(std::optional<OutsideEventTicket>& waiter, int bytes);

  mutable std::mutex mutex_;
  std::condition_variable dataArrived_;
  uint8_t upload_[kRingSize] = {};
  std::atomic<int> uploadWrite_{0};
  int uploadRead_ = 0;  // the port reader's position (under the lock)
  bool readerAttached_ = false;
  std::atomic<int> uploadId_{kFirstUploadId};
  std::optional<OutsideEventTicket> uploadWaiter_;  // always the current upload's
  std::atomic<int64_t> lost_{0};
  LogThrottle lostLog_;

  uint8_t download_[kRingSize] = {};
  int downloadRead_ = 0, downloadWrite_ = 0;
  int downloadId_ = 0;
  std::optional<OutsideEventTicket> downloadWaiter_;
};

}  // namespace kavu
