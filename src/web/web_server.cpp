#include "web/web_server.h"

#include <sys/stat.h>

#include <fstream>

#include "platform/user_paths.h"
#include "shell/log_console.h"
#include "web/console_mirror.h"
#include "web/okavu_http_aasdr1.h"
#include "web/web_folder.h"

namespace kavu {

namespace {

void LogRefusedSummary(int64_t events, int64_t) {
  Log() << "Http-сервер: ещё отклонено URL: " << static_cast<long long>(events) << "\n";
}

}  // namespace

WebServer::WebServer(IWebAnalyzer* analyzer)
    : analyzer_(analyzer), refusals_(&LogRefusedSummary), icon_(ProgramIcon()) {}

WebServer::~WebServer() { Stop(); }

bool UnpackHttp(const std::string& folder) {
  if (!MakeDirs(folder)) {
    Log() << LogColour(kColourError) << "ОШИБКА, нет могу создать " << folder << "\n" << LogColour(kColourNormal);
    return false;
  }
  const std::string existing = FindNameIgnoringCase(folder, "index.html");
  if (!existing.empty()) return true;
  const std::string path = folder + "/Index.html";
  Log() << LogColour(kColourNotice) << "Ради http создаём " << path << "\n" << LogColour(kColourNormal);
  const std::string page = WebPageCp1251();
  std::ofstream out(path, std::ios::binary);
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
  out.close();
  if (!out) {
    Log() << LogColour(kColourError) << "ОШИБКА, нет могу создать " << path << "\n" << LogColour(kColourNormal);
    return false;
  }
  return true;
}

int WebServer::Start(const WebServerOptions& options) {
  folder_ = options.folder.empty() ? DefaultWebFolder() : options.folder;
  UnpackHttp(folder_);
  const std::string folder = folder_;
  bridge_.SetLogClock(options.clock);
  refusals_.SetClock(options.clock);
  socket_ = std::make_unique<OKavuSocket>(
      [this, folder] {
        auto h = std::make_unique<OKavuHttpAASdr1>(analyzer_, &bridge_, &icon_, &LogConsoleMirrorText);
        h->SetWebFolder(folder);
        h->SetRefusalLog(&refusals_);
        return h;
      },
      options.clock, options.limits);
  socket_->SetTickHook([this] {
    refusals_.Flush();
    bridge_.FlushLog();
  });
  return socket_->Listen(options.address, options.port);
}

void WebServer::Stop() {
  if (socket_) socket_->Stop();
}

}  // namespace kavu
