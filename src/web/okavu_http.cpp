#include "web/okavu_http.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/text_cp1251.h"
#include "shell/fatal_error.h"
#include "shell/log_console.h"
#include "web/http_text.h"

namespace kavu {
namespace {

constexpr const char* kMethods[] = {"GET ", "POST ", "HEAD "};

std::string Printable(const char* p, int n) {
  std::string s;
  for (int i = 0; i < n && i < 31; ++i) s += (p[i] == '\r' || p[i] == '\n' || p[i] == 0) ? '?' : p[i];
  return Cp1251ToUtf8(s);
}

}  // namespace

OKavuHttp::OKavuHttp() : buf_(kFileChunk + 16, 0) { ResetRequest(); }

void OKavuHttp::ResetRequest() {
  ResetOutput();
  status_ = kHead;
  textPosEnd_ = scanPos_ = 0;
  lineEnd_ = headEnd_ = -1;
  expectedEnd_ = 0;
  contentLength_ = -1;
  method_.clear();
  url_.clear();
  query_.clear();
  cookie_.clear();
  range_.clear();
  ifModifiedSince_.clear();
  error_.clear();
  visitorId_ = 0;
  visitorNew_ = true;
  buf_[0] = 0;
}

void OKavuHttp::ResetOutput() {
  binData_ = nullptr;
  binSize_ = 0;
  CloseFile();
  fileOffset_ = outFileSz_ = 0;
  fileReads_ = 0;
  memStart_ = memEnd_ = kOutHalf;
  outStatus_ = 0;
}

void OKavuHttp::CloseFile() {
  if (fileFd_ >= 0) ::close(fileFd_);
  fileFd_ = -1;
}

void OKavuHttp::Fail(const std::string& text) {
  error_ = text;
  status_ = kError;
}

char* OKavuHttp::GetReciveBuf(int* room) {
  *room = kRecvMax - textPosEnd_;
  if (*room <= 0 && (status_ == kHead || status_ == kBody || status_ == kBigPost)) {
    Fail("Данных слишко много, m_TextPosEnd=" + std::to_string(textPosEnd_) + ", Sz=0");
    *room = 0;
  }
  *room = std::max(0, std::min(*room, ReceiveLimit()));
  return buf_.data() + textPosEnd_;
}

void OKavuHttp::OnRecvData(int n) {
  if (status_ == kComplete || status_ == kError || n <= 0) return;
  if (static_cast<int64_t>(textPosEnd_) + n > kRecvMax) {
    Fail("Данных слишко много, m_TextPosEnd=" + std::to_string(textPosEnd_) + ", Sz=" + std::to_string(n));
    return;
  }
  const int before = textPosEnd_;
  textPosEnd_ += n;
  buf_[static_cast<size_t>(textPosEnd_)] = 0;
  if (status_ == kBody) return BodyMaybeComplete();
  if (status_ == kBigPost) return OnBigPostData(before, n);
  if (!CheckMethodPrefix() || !ScanHead()) return;
  ParseHeadFields();
  if (method_ == "POST" || std::strncmp(buf_.data(), "POST ", 5) == 0) {
    const bool fits = contentLength_ >= 0 && contentLength_ <= kRecvMax && headEnd_ + contentLength_ <= kRecvMax;
    if (fits) {
      expectedEnd_ = headEnd_ + contentLength_;
      status_ = kBody;
    } else {
      status_ = kBigPost;
    }
  } else {
    status_ = kComplete;
  }
  memStart_ = memEnd_ = std::min(headEnd_, kOutHalf);
  OnRequestHead();
  if (status_ == kBody) BodyMaybeComplete();
}

bool OKavuHttp::CheckMethodPrefix() {
  for (const char* m : kMethods) {
    const int len = static_cast<int>(std::strlen(m));
    if (std::memcmp(buf_.data(), m, static_cast<size_t>(std::min(len, textPosEnd_))) == 0) return true;
  }
  Fail("Запрос не поддерживается: " + Printable(buf_.data(), textPosEnd_));
  return false;
}

// Finds the request line and the end of the head; false while more data is needed or on error.
bool OKavuHttp::ScanHead() {
  const char* b = buf_.data();
  int i = scanPos_;
  for (; i < textPosEnd_; ++i) {
    const unsigned char c = static_cast<unsigned char>(b[i]);
    if (c < 9) {
      Fail("Недопустимый символ в принятых данных (код " + std::to_string(c) + ") ");
      return false;
    }
    int end = -1;  // position after this line end
    if (c == '\n') {
      end = i + 1;
    } else if (c == '\r') {
      if (i + 1 >= textPosEnd_) break;  // wait: CR LF may be split
      if (b[i + 1] == '\n') end = i + 2;
    }
    if (end < 0) continue;
    if (lineEnd_ < 0) {
      lineEnd_ = i;
      const std::string line(b, static_cast<size_t>(i));
      const size_t sp = line.find(' ');
      method_ = line.substr(0, std::min<size_t>(sp, 31));
      std::string url;
      if (sp != std::string::npos) {
        const size_t start = sp + 1;
        url = line.substr(start, line.find(' ', start) - start);
      }
      if (!url.empty() && url[0] == '/') url.erase(0, 1);
      const size_t q = url.find('?');
      if (q != std::string::npos) {
        query_ = url.substr(q + 1);
        url.resize(q);
      }
      url_ = url.substr(0, 511);
      OnRequestLine();
    }
    // Another line end right after this one ends the head; wait when the next bytes are missing.
    if (end >= textPosEnd_ || (b[end] == '\r' && end + 1 >= textPosEnd_)) {
      scanPos_ = i;
      return false;
    }
    if (b[end] == '\n') {
      headEnd_ = end + 1;
    } else if (b[end] == '\r' && b[end + 1] == '\n') {
      headEnd_ = end + 2;
    }
    if (headEnd_ >= 0) return true;
    i = end - 1;
  }
  scanPos_ = i;
  return false;
}

void OKavuHttp::ParseHeadFields() {
  cookie_ = Header("Cookie", 4096);
  range_ = Header("Range", 128);
  ifModifiedSince_ = Header("If-Modified-Since", 128);
  contentLength_ = -1;
  const std::string len = Header("Content-Length", 64);
  int64_t v = 0;
  size_t i = 0;
  for (; i < len.size() && len[i] >= '0' && len[i] <= '9'; ++i) {
    if (v > (INT64_MAX - 9) / 10) return;  // too large: no usable length
    v = v * 10 + (len[i] - '0');
  }
  if (i == 0) return;
  if (i < len.size() && len[i] != ' ' && len[i] != '\t' && len[i] != '-') return;
  contentLength_ = v;
}

void OKavuHttp::BodyMaybeComplete() {
  if (textPosEnd_ < expectedEnd_) return;
  status_ = kComplete;
  memStart_ = memEnd_ = std::min(textPosEnd_, kOutHalf);
  OnPostBody();
}

void OKavuHttp::OnBigPostData(int, int) { Log() << "Приняты данные большого POST\n"; }

std::string OKavuHttp::Header(const char* name, size_t capacity) const {
  const int limit = headEnd_ >= 0 ? headEnd_ : textPosEnd_;
  const size_t name_len = std::strlen(name);
  int pos = 0;
  while (pos < limit) {
    int eol = pos;
    while (eol < limit && buf_[static_cast<size_t>(eol)] != '\n') ++eol;
    const std::string line(buf_.data() + pos, static_cast<size_t>(eol - pos));
    pos = eol + 1;
    if (line.size() < name_len || !SameTextCp1251(line.substr(0, name_len), name)) continue;
    size_t i = name_len;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || line[i] != ':') continue;
    ++i;
    while (i < line.size() && line[i] == ' ') ++i;
    size_t e = i;
    while (e < line.size() && static_cast<unsigned char>(line[e]) >= 32) ++e;
    return line.substr(i, std::min(e - i, capacity - 1));
  }
  return "";
}

std::string OKavuHttp::Body() const {
  if (headEnd_ < 0 || textPosEnd_ <= headEnd_) return "";
  return std::string(buf_.data() + headEnd_, static_cast<size_t>(textPosEnd_ - headEnd_));
}

void OKavuHttp::OutRestartAt(int pos) { memStart_ = memEnd_ = pos; }

void OKavuHttp::OutBytes(const void* data, size_t n) {
  const size_t room = static_cast<size_t>(kFileChunk - memEnd_);
  n = std::min(n, room);
  std::memcpy(buf_.data() + memEnd_, data, n);
  memEnd_ += static_cast<int>(n);
}

void OKavuHttp::OutText(const std::string& text) { OutBytes(text.data(), text.size()); }

void OKavuHttp::OutLe32(uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  OutBytes(b, 4);
}

void OKavuHttp::OutFloat(float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  OutLe32(bits);
}

void OKavuHttp::SetBinaryOutput(const void* data, int64_t size) {
  binData_ = static_cast<const char*>(data);
  binSize_ = size;
}

int OKavuHttp::OutGetType(int64_t last) {
  if (last < 0) FatalError("OKavuHttp::OutGetType() - ошибка, LastSendSz < 0");
  if (status_ == kHead || status_ == kBody || status_ == kBigPost || status_ == kError)
    FatalError("OKavuHttp::OutGetType() - ошибка, недопустимое внутреннее состояние = IsAddData || IsError");
  for (;;) {
    if (outStatus_ == 0) {
      if (last > memEnd_ - memStart_)
        FatalError("OKavuHttp::OutGetType(), m_OutStatus=0, ошибка, LastSendSz > размера данных для передачи");
      memStart_ += static_cast<int>(last);
      last = 0;
      if (memEnd_ > memStart_) return kSendMemory;
      outStatus_ = 1;
    } else if (outStatus_ == 1) {
      if (binData_) {
        if (last > binSize_) FatalError("OKavuHttp::OutGetType(), m_OutStatus=1, ошибка, LastSendSz > размера m_OutBinDataSz");
        binData_ += last;
        binSize_ -= last;
        last = 0;
        if (binSize_ > 0) return kSendMemory;
      }
      outStatus_ = 2;
    } else if (outStatus_ == 2) {
      if (fileFd_ >= 0) {
        if (last > outFileSz_) FatalError("OKavuHttp::OutGetType(), m_OutStatus=2, ошибка, LastSendSz > размера m_OutFileSz");
        fileOffset_ += last;
        outFileSz_ -= last;
        last = 0;
        if (outFileSz_ > 0) return kSendFile;
        CloseFile();
      }
      outStatus_ = 3;
    } else {
      return kNothing;
    }
  }
}

const char* OKavuHttp::OutGetMemBuf(int* len) {
  if (outStatus_ == 0) {
    *len = memEnd_ - memStart_;
    return buf_.data() + memStart_;
  }
  if (outStatus_ == 1) {
    *len = static_cast<int>(std::min<int64_t>(binSize_, kFileChunk));
    return binData_;
  }
  FatalError("OKavuHttp::OutGetMemBuf() - неизвестный m_OutStatus");
}

bool OKavuHttp::OutGetReadFile(int* fd, int* to_read, int64_t* offset, int* call_index) {
  if (outStatus_ != 2) FatalError("OKavuHttp::OutGetReadFile() - неизвестный m_OutStatus");
  *fd = fileFd_;
  *to_read = static_cast<int>(std::min<int64_t>(outFileSz_, kFileChunk));
  *offset = fileOffset_;
  *call_index = fileReads_++;
  return fileFd_ >= 0 && *to_read > 0;
}

void OKavuHttp::SendMyIOEvent(const OutsideEventTicket& ticket) {
  if (ticket.sink) ticket.sink->PostOutsideEvent(ticket, 0);
}

void OKavuHttp::CancelMyIOEvent(const OutsideEventTicket&) {}

const char* OKavuHttp::OnMyIOEvent(int* bytes) {
  *bytes = std::min(*bytes, 0);
  return nullptr;
}

bool OKavuHttp::MayClose(int) { return true; }

}  // namespace kavu
