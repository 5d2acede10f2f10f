// OBoardProtocol's exchanges that do not block the window thread, and the port's queue.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "board/board_protocol.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

int64_t NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void OBoardProtocol::BigCmd2Async(const uint8_t* data, int len, bool exec, std::function<void(bool)> done) {
  if (!port_->IsOpen() || !window_ || !PrepareBatch(data, len, exec)) {
    FailSoon(std::move(done));
    return;
  }
  auto x = std::make_shared<Exchange>();
  x->name = "BigCmd2";
  x->request = frame_;
  x->want = exec ? 4 : 1;
  x->timeout_ms = exec ? RunReplyTimeoutMs(last_batch_ticks_) : kBatchReplyMs;
  x->check = [this, len, exec](const uint8_t* r, int n) { return CheckBatchReply(len, exec, r, n); };
  x->done = std::move(done);
  Submit(std::move(x));
}

void OBoardProtocol::BigCmd2_ExecAsync(std::function<void(bool)> done) {
  if (!port_->IsOpen() || !window_) {
    FailSoon(std::move(done));
    return;
  }
  auto x = std::make_shared<Exchange>();
  x->name = "BigCmd2_Exec";
  x->request = {0xCD, 0x5B};
  x->want = 3;
  x->check = [this](const uint8_t* r, int n) { return CheckExecReply(r, n); };
  x->done = std::move(done);
  Submit(std::move(x));
}

void OBoardProtocol::RunAsync(const char* name, std::function<bool()> job, std::function<void(bool)> done) {
  if (!port_->IsOpen() || !window_) {
    FailSoon(std::move(done));
    return;
  }
  auto x = std::make_shared<Exchange>();
  x->name = name;
  x->timeout_ms = kBatchReplyMs;  // not used: the job's commands keep their own time-outs
  x->job = std::move(job);
  x->check = [](const uint8_t*, int n) { return n == 1; };
  x->done = std::move(done);
  Submit(std::move(x));
}

NoticeAnswer OBoardProtocol::Ask(INotice& notice, const std::string& caption, const std::string& text) {
  if (!OnExchangeThread() || !window_) return notice.AskYesNoCancel(caption, text);
  struct Question {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<NoticeAnswer> answer;
    bool abandoned = false;
  };
  auto q = std::make_shared<Question>();
  window_->Post([q, &notice, caption, text] {
    {
      std::lock_guard lock(q->mutex);
      if (q->abandoned) return;
    }
    const NoticeAnswer a = notice.AskYesNoCancel(caption, text);
    std::lock_guard lock(q->mutex);
    q->answer = a;
    q->answered.notify_all();
  });
  std::unique_lock lock(q->mutex);
  while (!q->answer) {
    if (cancel_.load() || window_waits_.load()) {
      q->abandoned = true;
      return NoticeAnswer::kCancel;
    }
    q->answered.wait_for(lock, std::chrono::milliseconds(20));
  }
  return *q->answer;
}

void OBoardProtocol::FailSoon(std::function<void(bool)> done) {
  if (!window_) {
    if (done) done(false);
    return;
  }
  window_->Post([alive = alive_.Watch(), done = std::move(done)] {
    if (!alive.Expired() && done) done(false);
  });
}

void OBoardProtocol::Submit(std::shared_ptr<Exchange> exchange) {
  if (!Busy()) {
    Start(std::move(exchange));
    return;
  }
  ++waited_for_port_;
  queue_.push_back([this, exchange = std::move(exchange)]() mutable {
    // The port may have closed while the exchange waited.
    if (!port_->IsOpen()) {
      if (exchange->done) exchange->done(false);
      return;
    }
    Start(std::move(exchange));
  });
}

void OBoardProtocol::Start(std::shared_ptr<Exchange> x) {
  busy_ = true;
  cancel_ = false;
  // The run's time-out is known only now: the batch it runs is the one stored last.
  if (x->timeout_ms == 0) x->timeout_ms = RunReplyTimeoutMs(last_batch_ticks_);
  x->start_ns = NowNs();
  thread_.Run([this, x, alive = alive_.Watch()] {
    if (x->job) {
      x->got = x->job() ? 1 : 0;
    } else {
      x->got = TransactNow(x->name, x->request.data(), x->request.size(), x->reply, x->want, x->timeout_ms,
                           &cancel_);
    }
    // The window thread is told last: from here on the port is the window thread's again.
    window_->Post([this, x, alive] {
      if (!alive.Expired()) Finish(x);
    });
  });
}

void OBoardProtocol::Finish(const std::shared_ptr<Exchange>& x) {
  // The job has posted this task as its last act; wait for it to have let go of the port.
  thread_.WaitIdle();
  busy_ = false;
  const double ms = static_cast<double>(NowNs() - x->start_ns) * 1e-6;
  if (ms > longest_exchange_ms_) longest_exchange_ms_ = ms;
  const bool ok = x->check(x->reply, x->got);
  if (x->done) x->done(ok);
  RunQueued();
}

void OBoardProtocol::RunQueued() {
  while (!busy_ && !queue_.empty()) {
    std::function<void()> next = std::move(queue_.front());
    queue_.pop_front();
    next();
  }
}

void OBoardProtocol::WhenFree(std::function<void()> fn) {
  if (!Busy()) {
    fn();
    return;
  }
  ++waited_for_port_;
  queue_.push_back(std::move(fn));
}

void OBoardProtocol::WaitForPort(const char* command) {
  // A job's own commands own the port already.
  if (!thread_.Running() || OnExchangeThread()) return;
  ++waited_for_port_;
  Log() << LogColour(kColourNotice) << "Команда " << command << " ждёт ответа на предыдущую команду\n"
        << LogColour(kColourNormal);
  window_waits_ = true;
  thread_.WaitIdle();
  window_waits_ = false;
}

void OBoardProtocol::CancelPending() {
  queue_.clear();
  cancel_ = true;
  thread_.WaitIdle();
}

}  // namespace kavu
