#include "web/okavu_http_aasdr1.h"

#include <cstring>

#include "shell/fatal_error.h"
#include "shell/log_console.h"
#include "web/data_command.h"
#include "web/http_text.h"

namespace kavu {

OKavuHttpAASdr1::OKavuHttpAASdr1(IWebAnalyzer* analyzer, OVirtNetCom* bridge, const std::vector<uint8_t>* icon,
                                 std::string (*console)())
    : analyzer_(analyzer), bridge_(bridge), icon_(icon), console_(console) {}

void OKavuHttpAASdr1::ResetOutput() {
  OKavuHttp::ResetOutput();
  m_OutContent = 0;
  uploading_ = false;
}

void OKavuHttpAASdr1::OnRequestHead() {
  if (Status() == kBigPost) return StartUpload();
  if (Status() != kComplete) return;
  m_OutContent = 0;
  if (!SameTextCp1251(Method(), "GET") && !SameTextCp1251(Method(), "POST")) return Out501();
  if (SameTextCp1251(Url(), "FAVICON.ICO") && icon_) return OutIcon(*icon_);
  OutFile();
}

void OKavuHttpAASdr1::OnPostBody() {
  m_OutContent = 0;
  if (SameTextCp1251(Url(), kDataUrl)) return AnswerDataCommand();
  if (SameTextCp1251(Url(), kRcvUrl)) return StartDownload();
  // Any other POST is not answered.
}

void OKavuHttpAASdr1::WriteDataHead(bool with_visitor) {
  OutText("HTTP/1.0 200 OK\r\nAASdr\r\nContent-Type: application/octet-stream\r\n"
          "Cache-Control: no-cache, must-revalidate\r\n");
  if (with_visitor) OutVisitorId(true);
  OutText("Connection: close\r\n\r\n");
}

void OKavuHttpAASdr1::AnswerDataCommand() {
  const std::string body = Body();  // taken before the answer overwrites the request
  OutRestartAt(0);
  WriteDataHead(false);
  if (!analyzer_) return;
  const size_t room = static_cast<size_t>(kFileChunk - OutEnd());
  const std::string reply = DataCommandReply(body, *analyzer_, room, console_);
  OutBytes(reply.data(), reply.size());
}

void OKavuHttpAASdr1::StartDownload() {
  OutRestartAt(0);
  WriteDataHead(true);
  if (!bridge_) return;
  m_OutContent = 3;
  m_VirtNetCompConnectId = bridge_->NewDownload();
  Log() << LogColour(3) << "Ответ с ожиданием появления реальных данных, m_VirtNetCompConnectId="
        << m_VirtNetCompConnectId << "\n" << LogColour(kColourNormal);
}

void OKavuHttpAASdr1::StartUpload() {
  Log() << "OKavuHttpAASdr1::OnBigPostDataHead(), url = " << Url() << "\n";
  if (!SameTextCp1251(Url(), kSendUrl) || !bridge_) return Fail("POST большого объёма не поддерживается");
  m_VirtNetCompConnectId = bridge_->NewUpload();
  uploading_ = true;
  // Keep only the body bytes, at the start of the receive area, and hand on what fits.
  char* b = Buffer();
  const int body = TextPosEnd() - HeadEnd();
  std::memmove(b, b + HeadEnd(), static_cast<size_t>(body));
  TextPosEnd() = body;
  FlushUpload();
}

void OKavuHttpAASdr1::FlushUpload() {
  if (!uploading_ || TextPosEnd() <= 0) return;
  char* b = Buffer();
  const int taken = bridge_->Upload(reinterpret_cast<const uint8_t*>(b), TextPosEnd());
  std::memmove(b, b + taken, static_cast<size_t>(TextPosEnd() - taken));
  TextPosEnd() -= taken;
}

void OKavuHttpAASdr1::OnBigPostData(int, int) {
  if (!uploading_) return;
  if (m_VirtNetCompConnectId != bridge_->UploadId()) return Fail("Прервано новым соед");
  FlushUpload();
}

int OKavuHttpAASdr1::ReceiveLimit() const {
  if (!uploading_) return kRecvMax;
  if (TextPosEndValue() > 0) return 0;  // earlier bytes still wait for room
  return bridge_->UploadRoom();
}

bool OKavuHttpAASdr1::ReceivePaused(const OutsideEventTicket& ticket) {
  return uploading_ && bridge_->WaitUploadRoom(m_VirtNetCompConnectId, ticket);
}

void OKavuHttpAASdr1::OnReceiveResume() {
  if (!uploading_) return;
  if (m_VirtNetCompConnectId != bridge_->UploadId()) return Fail("Прервано новым соед");
  FlushUpload();
}

int OKavuHttpAASdr1::OutGetType(int64_t last_send) {
  const int kind = OKavuHttp::OutGetType(outStatus_ >= 3 ? 0 : last_send);
  if (kind == kNothing && m_OutContent == 3) return kWaitEvent;
  return kind;
}

void OKavuHttpAASdr1::SendMyIOEvent(const OutsideEventTicket& ticket) {
  if (m_OutContent != 3) FatalError("OKavuHttpHome::InitMyIOEvent() - не знаю зачем для данного m_OutContent");
  bridge_->InitMyIOEvent(m_VirtNetCompConnectId, ticket);
}

void OKavuHttpAASdr1::CancelMyIOEvent(const OutsideEventTicket& ticket) {
  if (m_OutContent != 3) FatalError("OKavuHttpHome::CancelMyIOEvent() - не знаю зачем для данного m_OutContent");
  bridge_->CancelMyIOEvent(ticket);
}

const char* OKavuHttpAASdr1::OnMyIOEvent(int* bytes) {
  if (m_OutContent != 3) FatalError("OKavuHttpHome::OnMyIOEvent() - не знаю зачем для данного m_OutContent");
  if (*bytes < 0) return nullptr;
  const int n = bridge_->TakeDownload(m_VirtNetCompConnectId, reinterpret_cast<uint8_t*>(Buffer()), kFileChunk);
  *bytes = n;
  return n > 0 ? Buffer() : nullptr;
}

bool OKavuHttpAASdr1::MayClose(int) {
  if (!bridge_) return true;
  if (m_OutContent == 3 && outStatus_ >= 3 && m_VirtNetCompConnectId == bridge_->DownloadId()) return false;
  if (Status() == kBigPost && uploading_ && m_VirtNetCompConnectId == bridge_->UploadId()) return false;
  return true;
}

int OKavuHttpAASdr1::BridgeRole() const {
  if (Status() == kBigPost && uploading_) return 1;
  if (m_OutContent == 3) return 2;
  return 0;
}

}  // namespace kavu
