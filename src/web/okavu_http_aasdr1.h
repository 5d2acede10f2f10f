#pragma once
// OKavuHttpAASdr1: the analyzer's web application on top of OKavuHttp. GET serves the web folder
// (the page, the icon); POST "KavuAASdr/AntIzm.dat" answers the page's data commands;
// "KavuSdrAA1_ComPort_send.dat" and "KavuSdrAA1_ComPort_rcv.dat" carry the network serial
// bridge. URLs are compared case-insensitively. A POST with a complete body to any other URL
// gets no answer. Loop thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "web/okavu_http.h"
#include "web/ovirt_net_com.h"
#include "web/web_analyzer.h"

namespace kavu {

class OKavuHttpAASdr1 : public OKavuHttp {
 public:
  static constexpr const char* kDataUrl = "KavuAASdr/AntIzm.dat";
  static constexpr const char* kSendUrl = "KavuSdrAA1_ComPort_send.dat";
  static constexpr const char* kRcvUrl = "KavuSdrAA1_ComPort_rcv.dat";

  // `analyzer` and `bridge` may be null (no data commands / no bridge); they, `icon` and the
  // console function must outlive the handler.
  OKavuHttpAASdr1(IWebAnalyzer* analyzer, OVirtNetCom* bridge, const std::vector<uint8_t>* icon,
                  std::string (*console)());

  int OutGetType(int64_t last_send) override;
  void SendMyIOEvent(const OutsideEventTicket& ticket) override;
  void CancelMyIOEvent(const OutsideEventTicket& ticket) override;
  const char* OnMyIOEvent(int* bytes) override;
  void ResetOutput() override;
  bool MayClose(int reason) override;
  int BridgeRole() const override;
  bool ReceivePaused(const OutsideEventTicket& ticket) override;
  void OnReceiveResume() override;

 protected:
  void OnRequestHead() override;
  void OnPostBody() override;
  void OnBigPostData(int offset, int n) override;
  int ReceiveLimit() const override;

 private:
  void AnswerDataCommand();
  void StartDownload();
  void StartUpload();
  void FlushUpload();
  void WriteDataHead(bool with_visitor);

  IWebAnalyzer* analyzer_;
  OVirtNetCom* bridge_;
  const std::vector<uint8_t>* icon_;
  std::string (*console_)();
  int m_OutContent = 0;             // 0 ordinary, 3 bridge download
  int m_VirtNetCompConnectId = 0;   // this request's bridge id (download or upload)
  bool uploading_ = false;
};

}  // namespace kavu
