#include "receivers/o_rtl_sdr.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstring>

#include "results/calibration_table.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// The reading thread asks for real-time scheduling; a system that refuses is said once per run.
void RaiseReadingPriority() {
  static std::atomic<bool> refusal_logged{false};
  sched_param sp{};
  // Above every ordinary thread, well below the system's own real-time work.
  sp.sched_priority = (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
  const int rc = pthread_setschedparam(pthread_self(), SCHED_FIFO, &sp);
  if (rc != 0 && !refusal_logged.exchange(true)) {
    Log() << LogColour(kColourNotice)
          << "Поток приёма rtl-sdr: система не дала приоритет реального времени ("
          << std::strerror(rc) << "), работаю с обычным\n"
          << LogColour(kColourNormal);
  }
}

}  // namespace

ORtlSdr::ORtlSdr() = default;

ORtlSdr::~ORtlSdr() { MyStop(); }

std::string ORtlSdr::ErrorText() const {
  std::lock_guard lock(error_mutex_);
  return error_;
}

void ORtlSdr::SetErrorText(std::string text) {
  std::lock_guard lock(error_mutex_);
  error_ = std::move(text);
}

void ORtlSdr::Clear() {
  api_ = RtlSdrApi{};
  path_.clear();
  SetErrorText("");
  device_count_ = 0;
  device_index_ = 0;
  dev_ = nullptr;
  status_ = 0;
  manufact_.clear();
  product_.clear();
  serial_.clear();
  sampling_f_ = 0;
  frequency_ = 0;
  direct_mode_ = -123;
  gains_.clear();
  cur_ga_ = 0;
  sink_ = nullptr;
  context_ = nullptr;
}

int ORtlSdr::LoadApi(const std::string& path) {
  MyStop();
  lib_.Close();
  Clear();
  Log() << LogColour(kColourHeading) << "** Поддержка rtl-sdr, гружу " << path << " ** \n"
        << LogColour(kColourNormal);
  path_ = path;
  const DynLibrary::Result r = lib_.Open(path);
  if (r == DynLibrary::Result::kMissing) {
    Log() << " Нет файла librtlsdr.so.0 на диске ! \n";
    SetErrorText("нет файла '" + path +
                 "' на диске. Укажите путь к 'librtlsdr.so.0' в настройках или положите эту dll "
                 "рядом с основной программой.");
    return 1;
  }
  if (r == DynLibrary::Result::kFailed) {
    SetErrorText("не удалось загрузить '" + path + "', Err=" + std::to_string(lib_.ErrorCode()) +
                 ", " + (lib_.Error().empty() ? std::string("?") : lib_.Error()));
    Log() << LogColour(kColourError) << ErrorText() << "\n" << LogColour(kColourNormal);
    return -1;
  }
  api_.Resolve(lib_);
  return 0;
}

bool ORtlSdr::MyOpen(int32_t index) {
  MyStop();
  device_index_ = index;
  if (!api_.open) {
    SetErrorText("rtlsdr_open() отсутствует");
    return false;
  }
  rtlsdr_dev_t* dev = nullptr;
  const int rc = index < 0 ? -1 : api_.open(&dev, static_cast<uint32_t>(index));
  if (!dev) {
    SetErrorText("rtlsdr_open() err=" + std::to_string(rc));
    return false;
  }
  dev_ = dev;
  status_ = 1;
  if (api_.get_usb_strings) {
    char m[256] = {}, p[256] = {}, s[256] = {};
    api_.get_usb_strings(dev_, m, p, s);
    m[255] = p[255] = s[255] = 0;
    manufact_ = m;
    product_ = p;
    serial_ = s;
  }
  if (api_.set_tuner_gain_mode) {
    if (const int e = api_.set_tuner_gain_mode(dev_, 1); e != 0) {
      Log() << LogColour(kColourError) << "rtlsdr_set_tuner_gain_mode() вернула ошибку err=" << e
            << "\n" << LogColour(kColourNormal);
    }
  }
  if (api_.set_agc_mode) {
    if (const int e = api_.set_agc_mode(dev_, 0); e != 0) {
      Log() << LogColour(kColourError) << "rtlsdr_set_agc_mode() вернула ошибку err=" << e << "\n"
            << LogColour(kColourNormal);
    }
  }
  sampling_f_ = kOpenRate;
  if (api_.set_sample_rate) {
    if (const int e = api_.set_sample_rate(dev_, static_cast<uint32_t>(sampling_f_)); e != 0) {
      Log() << LogColour(kColourError) << "rtlsdr_set_sample_rate() вернула ошибку err=" << e
            << " для SamplingF = " << sampling_f_ << "\n" << LogColour(kColourNormal);
    }
  }
  if (api_.get_sample_rate) {
    sampling_f_ = static_cast<int32_t>(api_.get_sample_rate(dev_));
    Log() << "rtlsdr_get_sample_rate вернула " << sampling_f_ << "\n";
  }
  gains_.clear();
  const int n = api_.get_tuner_gains ? api_.get_tuner_gains(dev_, nullptr) : 0;
  if (n < 1 || n > kMaxGains) {
    Log() << LogColour(kColourError) << "rtlsdr_get_tuner_gains() вернула ошибку m_GsN=" << n
          << "\n" << LogColour(kColourNormal);
  } else {
    std::vector<int> list(static_cast<size_t>(kMaxGains), 0);
    const int got = api_.get_tuner_gains(dev_, list.data());
    const int use = got < 1 ? 0 : (got > n ? n : got);
    gains_.assign(list.begin(), list.begin() + use);
  }
  const int32_t ga = ChooseGain(rtl_ga_);
  cur_ga_ = ga;
  if (api_.set_tuner_gain) {
    if (const int e = api_.set_tuner_gain(dev_, ga); e != 0) {
      Log() << LogColour(kColourError) << "rtlsdr_set_tuner_gain() вернула ошибку err=" << e
            << " ga=" << ga << "\n" << LogColour(kColourNormal);
    }
  }
  return true;
}

bool ORtlSdr::MyStart(double frequency_hz, rtlsdr_read_async_cb_t sink, void* context) {
  frequency_ = frequency_hz;
  if (status_ != 1) {
    Log() << LogColour(kColourError) << "ORtlSdr::MyStart() отвергнут, статус m_Status="
          << status_.load() << "\n" << LogColour(kColourNormal);
    SetErrorText("ORtlSdr::MyStart() отвергнут, статус не 1");
    return false;
  }
  if (api_.reset_buffer) api_.reset_buffer(dev_);
  direct_mode_ = -123;
  SetCenterFreq(frequency_hz, nullptr, 0);
  if (!api_.read_async) {
    SetErrorText("rtlsdr_read_async() отсутствует");
    return false;
  }
  sink_ = sink;
  context_ = context;
  return StartThread();
}

bool ORtlSdr::StartThread() {
  status_ = 2;
  stop_requested_ = false;
  {
    std::lock_guard lock(thread_mutex_);
    thread_done_ = false;
  }
  try {
    const uint32_t len = 1u << static_cast<uint32_t>(buf_step_);
    thread_ = std::thread([this, len] { ReadingThread(len); });
  } catch (...) {
    status_ = 1;
    std::lock_guard lock(thread_mutex_);
    thread_done_ = true;
    SetErrorText("ORtlSdr::MyStart() - не удалось запустить поток приёма");
    return false;
  }
  return true;
}

void ORtlSdr::ReadingThread(uint32_t buf_len) {
  RaiseReadingPriority();
  if (!stop_requested_.load()) {
    const int rc = api_.read_async(dev_, sink_, context_, 32, buf_len);
    if (rc != 0) SetErrorText("rtlsdr_read_async() err=" + std::to_string(rc));
  }
  status_.fetch_sub(1);
  std::lock_guard lock(thread_mutex_);
  thread_done_ = true;
  thread_done_cv_.notify_all();
}

void ORtlSdr::StopThread() {
  if (!thread_.joinable()) return;
  stop_requested_ = true;
  // A cancel given before the library's read has begun is ignored by the library, so it is
  // repeated until the reading thread has ended.
  std::unique_lock lock(thread_mutex_);
  int rounds = 0;
  while (!thread_done_) {
    lock.unlock();
    if (api_.cancel_async) api_.cancel_async(dev_);
    lock.lock();
    thread_done_cv_.wait_for(lock, std::chrono::milliseconds(20), [this] { return thread_done_; });
    if (++rounds == 500) {
      Log() << LogColour(kColourError) << "Поток приёма rtl-sdr не завершается, жду дальше\n"
            << LogColour(kColourNormal);
    }
  }
  lock.unlock();
  thread_.join();
}

void ORtlSdr::MyStop() {
  if (thread_.joinable()) {
    StopThread();
    Log() << "Поток приёма rtl-sdr ушел удачно \n";
  }
  if (status_ == 1) {
    if (api_.close && dev_) api_.close(dev_);
    status_ = 0;
    dev_ = nullptr;
  }
}

bool ORtlSdr::RestartStreaming() {
  if (thread_.joinable()) StopThread();
  // Never started (nothing to deliver to): the new buffer size applies at the first start.
  if (!sink_) {
    if (status_ >= 1) return true;
    SetErrorText("устройство rtlsdr не открыто");
    return false;
  }
  return MyStart(frequency_, sink_, context_);
}

}  // namespace kavu
