// The board's long exchanges without blocking the window thread: the upload and the run go out
// from the exchange thread, their results come back as window-thread tasks, and the port serves
// one command at a time (others queue, or wait, never interleave).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "board/emulated_board_fixture.h"
#include "platform/event_loop.h"
#include "sim/firmware_assumptions.h"

namespace kavu::test {
namespace {

using Clock = std::chrono::steady_clock;
using sim::BoardFaultKind;

class BoardProtocolAsyncTest : public EmulatedBoardTest {
 protected:
  void SetUp() override {
    EmulatedBoardTest::SetUp();
    sim::EmulatedBoardConfig config;
    config.buffer_size = 8192;
    config.timer = {16'000'000, 128};  // 125,000 ticks/s
    StartBoard(config);
    proto_.SetWindowThread(&loop_);
    Logged();
  }
  // Runs the loop until `done` or 15 s; returns done().
  bool RunUntil(const std::function<bool()>& done) { return loop_.RunUntil(done, std::chrono::seconds(15)); }
  std::vector<int> Codes() {
    std::vector<int> codes;
    for (const auto& e : board_->CommandLog().Entries()) codes.push_back(e.code);
    return codes;
  }

  EventLoop loop_;
};

TEST_F(BoardProtocolAsyncTest, LateRunReplyLeavesTheWindowThreadFreeAndQueuesOtherCommands) {
  // 37,500 ticks: the run lasts 300 ms; its reply comes 1.5 s later still.
  hw_.SetBatchDurationTicks(37'500);
  const uint8_t batch[] = {0x7F, 0xFF, 0xFF};
  board_->InjectFault({BoardFaultKind::kLateReply, sim::kCmdBigCmdExec});
  std::vector<std::string> order;
  int stored = -1, ran = -1;
  const auto t0 = Clock::now();
  proto_.BigCmd2Async(batch, sizeof batch, false, [&](bool ok) {
    stored = ok;
    order.push_back("stored");
  });
  proto_.BigCmd2_ExecAsync([&](bool ok) {
    ran = ok;
    order.push_back("ran");
  });
  EXPECT_TRUE(proto_.Busy());
  // Sending returned at once (checked against the exchange's length below), and the window
  // thread keeps running tasks meanwhile.
  const auto sending = Clock::now() - t0;
  // A 10 ms timer: the longest gap between its calls is the longest the window thread was held.
  int ticks = 0;
  int64_t longestGapMs = 0;
  auto last = Clock::now();
  loop_.StartTimer(1, 10, [&] {
    const auto now = Clock::now();
    longestGapMs = std::max<int64_t>(longestGapMs,
                                     std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
    last = now;
    ++ticks;
  });
  // A command asked for while the run is out waits its turn.
  proto_.WhenFree([&] {
    order.push_back("poll");
    EXPECT_TRUE(proto_.SetCS(0x28, 0xE7));
  });
  ASSERT_TRUE(RunUntil([&] { return ran >= 0 && order.size() == 3; }));
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(ran, 1);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(1790));
  loop_.StopTimer(1);
  EXPECT_GT(ticks, 20) << "the window thread was held while the run was out";
  EXPECT_LT(longestGapMs, 1000) << "the window thread was held while the run was out";
  EXPECT_EQ(order, (std::vector<std::string>{"stored", "ran", "poll"}));
  EXPECT_EQ(Codes(), (std::vector<int>{sim::kCmdBigCmdStore, sim::kCmdBigCmdExec, sim::kCmdSetCs}));
  EXPECT_GE(proto_.LongestExchangeMs(), 1790);
  const double sendingMs = std::chrono::duration<double, std::milli>(sending).count();
  EXPECT_LT(sendingMs * 10, proto_.LongestExchangeMs());
  EXPECT_FALSE(proto_.Busy());
}

TEST_F(BoardProtocolAsyncTest, BlockingCommandWaitsForTheExchangeHoldingThePort) {
  hw_.SetBatchDurationTicks(25'000);  // 200 ms
  const uint8_t batch[] = {0x7F, 0xFF, 0xFF};
  ASSERT_TRUE(proto_.BigCmd2(batch, sizeof batch, false));
  int ran = -1;
  proto_.BigCmd2_ExecAsync([&](bool ok) { ran = ok; });
  // Called directly instead of through WhenFree: it waits for the run's reply, so the board sees
  // the two commands one after the other and each gets its own reply.
  EXPECT_TRUE(proto_.SetCS(0x28, 0xE7));
  EXPECT_NE(Logged().find("ждёт ответа"), std::string::npos);
  ASSERT_TRUE(RunUntil([&] { return ran >= 0; }));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(Codes(), (std::vector<int>{sim::kCmdBigCmdStore, sim::kCmdBigCmdExec, sim::kCmdSetCs}));
  EXPECT_EQ(Reply(2), "51");
}

TEST_F(BoardProtocolAsyncTest, FailuresComeBackAsFalseWithTheirLogLines) {
  const uint8_t batch[] = {0x00, 0x10, 0xFF};
  ASSERT_TRUE(proto_.BigCmd2(batch, sizeof batch, false));
  // A run the board refuses (I2C error in the reply), then one it never answers.
  board_->InjectFault({BoardFaultKind::kI2cNack, sim::kCmdBigCmdExec});
  std::vector<int> results;
  proto_.BigCmd2_ExecAsync([&](bool ok) { results.push_back(ok); });
  ASSERT_TRUE(RunUntil([&] { return results.size() == 1; }));
  EXPECT_NE(Logged().find("Err ответ BigCmd2_Exec, I2C_Error"), std::string::npos);
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdBigCmdExec});
  const auto t0 = Clock::now();
  proto_.BigCmd2_ExecAsync([&](bool ok) { results.push_back(ok); });
  ASSERT_TRUE(RunUntil([&] { return results.size() == 2; }));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(7900));  // the run reply's 8 s wait
  EXPECT_NE(Logged().find("Err ответ BigCmd2_Exec, RdSz=0"), std::string::npos);
  EXPECT_EQ(results, (std::vector<int>{0, 0}));
  // A closed port: false at once, still as a window-thread task.
  port_.Close();
  proto_.BigCmd2Async(batch, sizeof batch, false, [&](bool ok) { results.push_back(ok); });
  EXPECT_EQ(results.size(), 2u);
  loop_.RunPending();
  EXPECT_EQ(results, (std::vector<int>{0, 0, 0}));
}

TEST_F(BoardProtocolAsyncTest, CancelLetsThePortGoAndDropsTheQueue) {
  const uint8_t batch[] = {0x00, 0x10, 0xFF};
  ASSERT_TRUE(proto_.BigCmd2(batch, sizeof batch, false));
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdBigCmdExec});
  int ran = -1;
  bool queued = false;
  proto_.BigCmd2_ExecAsync([&](bool ok) { ran = ok; });
  proto_.WhenFree([&] { queued = true; });
  ASSERT_TRUE(board_->WaitForFrames(2, 2000));
  const auto t0 = Clock::now();
  proto_.CancelPending();
  // The exchange let go of the port without sitting out the reply's wait.
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(proto_.RunReplyTimeoutMs(0) / 4));
  ASSERT_TRUE(RunUntil([&] { return ran >= 0; }));
  EXPECT_EQ(ran, 0);
  EXPECT_FALSE(queued);
  EXPECT_FALSE(proto_.Busy());
}

TEST_F(BoardProtocolAsyncTest, JobRunsItsCommandsInOneExchangeInTheQueuesOrder) {
  hw_.SetBatchDurationTicks(25'000);  // 200 ms
  const uint8_t batch[] = {0x7F, 0xFF, 0xFF};
  std::vector<std::string> order;
  std::thread::id jobThread;
  proto_.BigCmd2Async(batch, sizeof batch, true, [&](bool ok) { order.push_back(ok ? "run" : "run failed"); });
  // Queued behind the run; its blocking commands go straight out, none of them waits or logs so.
  proto_.RunAsync(
      "Job",
      [&] {
        jobThread = std::this_thread::get_id();
        return proto_.SetCS(0x28, 0xE7) && proto_.GetMKBufSz() && proto_.SetCS(0x08, 0xE7);
      },
      [&](bool ok) { order.push_back(ok ? "job" : "job failed"); });
  proto_.WhenFree([&] { order.push_back("after"); });
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(RunUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<std::string>{"run", "job", "after"}));
  EXPECT_NE(jobThread, std::this_thread::get_id());
  EXPECT_EQ(Codes(), (std::vector<int>{sim::kCmdBigCmdStoreRun, sim::kCmdSetCs, sim::kCmdGetMkBufSz, sim::kCmdSetCs}));
  EXPECT_EQ(Logged().find("ждёт ответа"), std::string::npos);
  EXPECT_EQ(proto_.BufferSize(), 8192);

  // A job's failure comes back as false; a closed port runs nothing and answers false.
  bool jobRan = false;
  int result = -1;
  proto_.RunAsync(
      "Job",
      [&] {
        proto_.SetCS(0, 0xE7);
        return false;
      },
      [&](bool ok) { result = ok; });
  ASSERT_TRUE(RunUntil([&] { return result >= 0; }));
  EXPECT_EQ(result, 0);
  port_.Close();
  result = -1;
  proto_.RunAsync(
      "Job",
      [&] {
        jobRan = true;
        return true;
      },
      [&](bool ok) { result = ok; });
  loop_.RunPending();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(jobRan);
}

TEST_F(BoardProtocolAsyncTest, QuestionFromAJobIsAskedOnTheWindowThread) {
  RecordingNotice notice;
  notice.SetAnswer(NoticeAnswer::kYes);
  int result = -1;
  proto_.RunAsync("Job", [&] { return proto_.Ask(notice, "ОШИБКА", "Продолжить?") == NoticeAnswer::kYes; },
                  [&](bool ok) { result = ok; });
  ASSERT_TRUE(RunUntil([&] { return result >= 0; }));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(notice.Questions(), (std::vector<std::string>{"ОШИБКА\nПродолжить?"}));

  // Cancelled while the question waits for the window thread: the job hears Cancel, and the
  // question is never put.
  result = -1;
  proto_.RunAsync("Job", [&] { return proto_.Ask(notice, "ОШИБКА", "Ещё?") == NoticeAnswer::kYes; },
                  [&](bool ok) { result = ok; });
  const auto t0 = Clock::now();
  proto_.CancelPending();
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(proto_.RunReplyTimeoutMs(0) / 4));
  ASSERT_TRUE(RunUntil([&] { return result >= 0; }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(notice.Questions().size(), 1u);
}

}  // namespace
}  // namespace kavu::test
