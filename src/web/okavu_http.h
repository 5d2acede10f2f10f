#pragma once
// OKavuHttp: the per-connection HTTP/1.0 handler the socket server (OKavuSocket) drives. It
// collects one request in its buffer, recognises GET, POST and HEAD, reads the few headers the
// program uses (Content-Length, Cookie, Range, If-Modified-Since) once the head is complete, and
// produces the answer as output stages: generated text (0), binary data (1), a file of the web
// folder read in chunks (2), and whatever a derived handler streams beyond (3).
//
// Every answer starts with its status line and the line "AASdr" (no header name: the phone-side
// bridge client relies on it) and ends its head with "Connection: close". Texts are code page
// 1251. The handler lives for the run of its slot and is reset for every connection. Loop thread
// only, except where an operation says otherwise.
#include <cstdint>
#include <string>
#include <vector>

namespace kavu {

class IOutsideEventSink;
class LogThrottle;

// Names one wait of one connection for an outside event (the bridge's serial output).
struct OutsideEventTicket {
  IOutsideEventSink* sink = nullptr;
  int slot = -1;
  uint64_t serial = 0;  // the connection's number; a ticket of an ended connection is ignored
  bool operator==(const OutsideEventTicket&) const = default;
};

// The server side of an outside event: any thread may post it; the server then calls the
// handler's OnMyIOEvent on its loop thread. `bytes` < 0 tells the handler to give up.
class IOutsideEventSink {
 public:
  virtual ~IOutsideEventSink() = default;
  virtual void PostOutsideEvent(const OutsideEventTicket& ticket, int bytes) = 0;
};

class OKavuHttp {
 public:
  static constexpr int kRecvMax = 0x5FFFF;       // receive area, bytes (plus a terminating zero)
  static constexpr int kOutHalf = 0x30000;       // generated text starts at most here
  static constexpr int kFileChunk = 0x60000;     // one file chunk read to the buffer start
  enum Status { kHead = 0, kBody = 1, kBigPost = 2, kComplete = 55, kError = -1 };
  enum OutKind { kSendMemory = 0, kSendFile = 1, kWaitEvent = 2, kNothing = -1 };

  OKavuHttp();
  virtual ~OKavuHttp() = default;
  OKavuHttp(const OKavuHttp&) = delete;
  OKavuHttp& operator=(const OKavuHttp&) = delete;

  // The web folder served by OutFile (set once by the server's owner).
  void SetWebFolder(std::string folder) { webFolder_ = std::move(folder); }
  // Paces the log lines about refused URLs (shared by the server's handlers; null: a line each).
  void SetRefusalLog(LogThrottle* throttle) { refusals_ = throttle; }

  // --- driven by the server ---
  // Starts a new connection: parser and output cleared, visitor id forgotten.
  void ResetRequest();
  // Where the next received bytes go and how many fit (0 when the area is full).
  char* GetReciveBuf(int* room);
  // Processes `n` bytes just received into GetReciveBuf's area.
  void OnRecvData(int n);
  int Status() const { return status_; }
  const std::string& ErrorText() const { return error_; }
  void SetClientAddress(uint32_t ipv4_host_order) { clientAddress_ = ipv4_host_order; }

  // What to send after `last_send` bytes of the previous buffer went out (0 at the start).
  virtual int OutGetType(int64_t last_send);
  // Stage 0 or 1: the memory to send (never empty after OutGetType said kSendMemory).
  const char* OutGetMemBuf(int* len);
  // Stage 2: the file, the chunk length, the offset and the number of earlier chunk reads.
  bool OutGetReadFile(int* fd, int* to_read, int64_t* offset, int* call_index);
  // The buffer the chunk is read into.
  char* FileChunkTarget() { return buf_.data(); }
  // After a chunk of `bytes` was read: the buffer to send, or null for 0 bytes.
  const char* FileChunkRead(int bytes) { return bytes > 0 ? buf_.data() : nullptr; }
  int64_t FileRest() const { return outFileSz_; }

  // Outside events (see IOutsideEventSink). The base posts at once and then has nothing.
  virtual void SendMyIOEvent(const OutsideEventTicket& ticket);
  virtual void CancelMyIOEvent(const OutsideEventTicket& ticket);
  virtual const char* OnMyIOEvent(int* bytes);
  // Forgets all output and closes any file (at every disconnect).
  virtual void ResetOutput();
  // False keeps the connection past its deadline (live bridge connections).
  virtual bool MayClose(int reason);
  // Called when GetReciveBuf gave no room although the request is fine (a bridge upload whose
  // ring is full): true when the handler arranged an outside event for when reading may go on
  // (the server then stops reading this connection); false to try again at once.
  virtual bool ReceivePaused(const OutsideEventTicket& /*ticket*/) { return false; }
  // Reading goes on after such a pause.
  virtual void OnReceiveResume() {}
  // 1 while receiving a bridge upload, 2 while streaming a bridge download, else 0.
  virtual int BridgeRole() const { return 0; }

  // --- parsed request (valid once the head is complete) ---
  const std::string& Method() const { return method_; }
  const std::string& Url() const { return url_; }
  const std::string& Query() const { return query_; }
  // The value of header `name` (case-insensitive), cut to capacity-1 bytes; empty when absent.
  std::string Header(const char* name, size_t capacity = 512) const;
  int64_t ContentLength() const { return contentLength_; }

 protected:
  // Request events for derived handlers.
  virtual void OnRequestLine() {}
  virtual void OnRequestHead() {}
  virtual void OnPostBody() {}
  virtual void OnBigPostData(int /*offset*/, int /*n*/);
  // At most this many bytes are taken by the next receive (the whole area by default).
  virtual int ReceiveLimit() const { return kRecvMax; }

  // Output writers (memory output, code page 1251 texts given as they are).
  void OutText(const std::string& text);
  void OutBytes(const void* data, size_t n);
  void OutI64(int64_t v) { OutText(std::to_string(v)); }
  void OutLe32(uint32_t v);
  void OutFloat(float v);
  // Memory output restarts at `pos` (0: the request is no longer needed).
  void OutRestartAt(int pos);
  int OutSize() const { return memEnd_ - memStart_; }
  int OutEnd() const { return memEnd_; }
  void SetBinaryOutput(const void* data, int64_t size);
  void Fail(const std::string& text);
  void SetStatus(int s) { status_ = s; }
  // Body bytes of the request (after the head).
  std::string Body() const;
  int HeadEnd() const { return headEnd_; }
  char* Buffer() { return buf_.data(); }
  int& TextPosEnd() { return textPosEnd_; }
  int TextPosEndValue() const { return textPosEnd_; }

  // Answers.
  void OutVisitorId(bool may_write);
  void Out404(const std::string& reason);
  void OutRedirect(const std::string& url);
  void Out400(const std::string& reason);
  void Out501();
  void OutIcon(const std::vector<uint8_t>& icon);
  void OutFile();
  uint64_t VisitorIdValue() const { return visitorId_; }
  bool VisitorIsNew() const { return visitorNew_; }
  int outStatus_ = 0;  // 0 memory, 1 binary, 2 file, 3 beyond

 private:
  bool CheckMethodPrefix();
  bool ScanHead();
  void ParseHeadFields();
  void BodyMaybeComplete();
  int OutFileRange(int64_t size, int64_t* first, int64_t* last);
  void CloseFile();
  void LogRefusal(const std::string& line);

  std::vector<char> buf_;
  std::string webFolder_;
  LogThrottle* refusals_ = nullptr;
  int status_ = kHead;
  int textPosEnd_ = 0;
  int scanPos_ = 0;
  int lineEnd_ = -1;
  int headEnd_ = -1;
  int64_t expectedEnd_ = 0;
  int64_t contentLength_ = -1;
  std::string method_, url_, query_;
  std::string cookie_, range_, ifModifiedSince_;
  std::string error_;
  int memStart_ = kOutHalf, memEnd_ = kOutHalf;
  const char* binData_ = nullptr;
  int64_t binSize_ = 0;
  int fileFd_ = -1;
  int64_t fileOffset_ = 0, outFileSz_ = 0;
  int fileReads_ = 0;
  uint64_t visitorId_ = 0;
  bool visitorNew_ = true;
  uint32_t clientAddress_ = 0;
};

}  // namespace kavu
