// The ExtIO back end through the receiver set, on the simulated plug-in and its variants: opening
// in order with every failure, the status texts, LO handling, block conversion, status notices,
// the plug-in's window and the unload order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "receivers/receiver_set.h"
#include "sim/sim_feeder_abi.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

const std::string kVariants = test::SimFeed::LibraryFolder() + "/extio-variants";

// The script functions of one plug-in file (the same instance the program loads).
class PluginScript {
 public:
  explicit PluginScript(const std::string& path) {
    EXPECT_EQ(lib_.Open(path), DynLibrary::Result::kLoaded) << lib_.Error();
    set_ = reinterpret_cast<int (*)(const char*, double)>(lib_.Symbol("kavu_simextio_set"));
    block_ = reinterpret_cast<int (*)(uint32_t)>(lib_.Symbol("kavu_simextio_block"));
    notice_ = reinterpret_cast<int (*)(int)>(lib_.Symbol("kavu_simextio_notice"));
    calls_ = reinterpret_cast<int (*)(char*, int)>(lib_.Symbol("kavu_simextio_calls"));
    auto reset = reinterpret_cast<void (*)()>(lib_.Symbol("kavu_simextio_reset"));
    EXPECT_TRUE(set_ && block_ && notice_ && calls_ && reset);
    if (reset) reset();
    Set("manual", 1);  // blocks only when a test pushes them
  }
  void Set(const char* name, double value) { ASSERT_EQ(set_(name, value), 0) << name; }
  int Block(uint32_t pairs) { return block_(pairs); }
  int Notice(int status) { return notice_(status); }
  std::vector<std::string> Calls() const {
    std::string text(static_cast<size_t>(calls_(nullptr, 0)) + 1, '\0');
    calls_(text.data(), static_cast<int>(text.size()));
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1) {
      lines.push_back(text.substr(from, nl - from));
    }
    return lines;
  }

 private:
  DynLibrary lib_;
  int (*set_)(const char*, double) = nullptr;
  int (*block_)(uint32_t) = nullptr;
  int (*notice_)(int) = nullptr;
  int (*calls_)(char*, int) = nullptr;
};

struct ExtIOHost : IReceiverSetHost {
  std::vector<double> rates;
  std::vector<std::string> captions;
  std::mutex mutex;
  std::vector<std::function<void()>> posted;
  double frequency = 100e6;
  bool mark_cleared = false;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  double ReceiverFrequency() override { return frequency; }
  void ClearFrequencyFailedMark() override { mark_cleared = true; }
  void StatusChanged(const ReceiverStatus& s) override { captions.push_back(s.caption); }
  void PostToWindowThread(std::function<void()> task) override {
    std::lock_guard lock(mutex);
    posted.push_back(std::move(task));
  }
  // Runs what the plug-in's thread posted, as the window thread would.
  size_t RunPosted() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex);
      tasks.swap(posted);
    }
    for (auto& t : tasks) t();
    return tasks.size();
  }
};

class ExtIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* s : {"OSdrPlayUse", "OHackRfUse"}) Settings().WriteProfileString(s, "m_PathApiDll", empty_.Path());
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", empty_.Path());
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override { Log().SetCapture(false); }

  // A receiver set whose plug-in folder is `folder`; its entry `file` selected (the result).
  bool Select(const std::string& folder, const std::string& file) {
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", folder);
    set_.reset();  // the previous set unloads its plug-in before the new one starts
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    set_->Discover();
    const int i = set_->FindKey("ExtIO_plugin " + file);
    EXPECT_GE(i, 0) << file;
    return set_->SelectReceiver(i);
  }
  bool SelectFull() { return Select(test::SimFeed::LibraryFolder(), "ExtIO_KavuSim.so"); }
  static std::string FullPath() { return test::SimFeed::LibraryFolder() + "/ExtIO_KavuSim.so"; }
  static std::string VariantPath(const char* file) { return kVariants + "/" + file; }
  const std::string& Line() const { return set_->Status().text; }

  test::ScopedSettings settings_;
  test::TempDir empty_;
  SampleRings rings_{1 << 14};
  ExtIOHost host_;
  std::unique_ptr<ReceiverSet> set_;
};

bool Has(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST_F(ExtIOTest, OpensInOrderStreamsEachAcceptedTypeAndCountsPairs) {
  for (const int type : {3, 7, 9}) {
    SCOPED_TRACE(type);
    set_.reset();  // the previous type's plug-in unloaded before the script starts over
    PluginScript plugin(FullPath());
    plugin.Set("type", type);
    plugin.Set("offset", -7);
    rings_.ResetCounters();
    ASSERT_TRUE(SelectFull()) << Line();
    EXPECT_EQ(plugin.Calls(), (std::vector<std::string>{"InitHW", "SetCallback", "OpenHW", "StartHW 100000000"}));
    EXPECT_EQ(set_->Status().colour, StatusColour::kNormal);
    const std::string word = type == 3 ? "int16" : type == 7 ? "float" : "uchar";
    EXPECT_EQ(Line(), "ОТКРЫТ KavuSim, Virtual bench, " + word + ", 2.400 МГц [" + FullPath() + "]");
    EXPECT_EQ(set_->ActiveSampleRate(), 2.4e6);
    EXPECT_TRUE(host_.mark_cleared);

    // cnt counts pairs for every type: 1001 pairs fill 1001 entries.
    ASSERT_EQ(plugin.Block(1001), 0);
    EXPECT_EQ(rings_.m_RingWr.load(), 1001);
    EXPECT_EQ(rings_.m_MaxBlockN.load(), 1001u);
    const int period = type == 9 ? 100 : 1000;
    for (const int k : {0, 1, 999, 1000}) {
      EXPECT_FLOAT_EQ(rings_.RingA()[k].i, static_cast<float>(k % period)) << k;
      EXPECT_FLOAT_EQ(rings_.RingA()[k].q, -static_cast<float>(k % period)) << k;
    }
    EXPECT_EQ(rings_.m_OverloadA.load(), 0);
  }
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("GetAttenuators \n res=0 att idx=0 at=0, 0\n res=0 att idx=1 at=-10, -10\n res=1 att idx=2"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Mode = I\n"), std::string::npos);
  EXPECT_NE(log.find("ExtIO NS = 16384 m_SamplingF=2400000\n"), std::string::npos);
}

TEST_F(ExtIOTest, RefusedTypesFailBeforeOpenHWAndSayCannot) {
  const struct {
    int type;
    const char* word;
    const char* log;
  } cases[] = {
      {5, "int24", "Тип данных от ExtIO - 24 бита, работа с ними не поддерживается."},
      {4, "Type=4", "Данные от ExtIO должны поступать через звуковую карту"},
      {6, "int32", "Тип данных от ExtIO - int32, работа с ними не поддерживается."},
      {10, "schar", "Тип данных от ExtIO - schar,"},
      {11, "int32+", "Тип данных от ExtIO - int32+,"},
      {42, "Type=42", "Тип данных от ExtIO Type=42 не известен! \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    PluginScript plugin(FullPath());
    plugin.Set("type", c.type);
    EXPECT_FALSE(SelectFull());
    EXPECT_FALSE(Has(plugin.Calls(), "OpenHW"));
    EXPECT_EQ(Line().rfind("Ошибка OpenHW KavuSim, Virtual bench, ", 0), 0u) << Line();
    EXPECT_NE(Line().find(std::string(c.word) + "(не_умею!)"), std::string::npos) << Line();
    EXPECT_EQ(set_->Status().colour, StatusColour::kError);
    EXPECT_NE(Log().TakeCaptured().find(c.log), std::string::npos);
    EXPECT_EQ(set_->ActiveSampleRate(), 0.0);
  }
}

TEST_F(ExtIOTest, EachOpeningFailureStopsThereWithItsStatus) {
  {
    PluginScript plugin(FullPath());
    plugin.Set("init_ok", 0);
    EXPECT_FALSE(SelectFull());
    EXPECT_EQ(Line(), "Ошибка InitHW  [" + FullPath() + "]");
    EXPECT_EQ(plugin.Calls(), std::vector<std::string>{"InitHW"});
    EXPECT_NE(Log().TakeCaptured().find("err InitHW \n"), std::string::npos);
  }
  {
    PluginScript plugin(FullPath());
    plugin.Set("open_ok", 0);
    EXPECT_FALSE(SelectFull());
    EXPECT_EQ(Line().rfind("Ошибка OpenHW KavuSim, Virtual bench, int16, 0.000 МГц", 0), 0u) << Line();
    EXPECT_FALSE(Has(plugin.Calls(), "CloseHW")) << "never opened, never closed";
  }
  {
    PluginScript plugin(FullPath());
    plugin.Set("start_result", -1);
    EXPECT_FALSE(SelectFull());
    EXPECT_EQ(Line().rfind("Ошибка StartHW KavuSim, Virtual bench, int16, 2.400 МГц", 0), 0u) << Line();
    EXPECT_EQ(set_->Status().colour, StatusColour::kError);
    set_.reset();
    EXPECT_EQ(plugin.Calls().back(), "CloseHW") << "opened: closed, but never stopped";
    EXPECT_FALSE(Has(plugin.Calls(), "StopHW"));
  }
  {
    PluginScript plugin(VariantPath("ExtIO_NoCallback.so"));
    EXPECT_FALSE(Select(kVariants, "ExtIO_NoCallback.so"));
    EXPECT_NE(Log().TakeCaptured().find("Отсутствует функция SetCallback(), дальнейшая работа с ExtIO не возможна! \n"),
              std::string::npos);
    EXPECT_FALSE(Has(plugin.Calls(), "OpenHW"));
  }
  {
    // Without StopHW a streaming plug-in could not be stopped before it is unloaded.
    PluginScript plugin(VariantPath("ExtIO_NoStop.so"));
    EXPECT_FALSE(Select(kVariants, "ExtIO_NoStop.so"));
    EXPECT_NE(Log().TakeCaptured().find("Отсутствует функция StopHW(), дальнейшая работа с ExtIO не возможна! \n"),
              std::string::npos);
    EXPECT_FALSE(Has(plugin.Calls(), "OpenHW"));
    EXPECT_FALSE(Has(plugin.Calls(), "StartHW"));
  }
  {
    // A file that is not a library.
    test::TempDir dir;
    const std::string path = dir.Path() + "/ExtIO_Broken.so";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("not a library", f);
    std::fclose(f);
    EXPECT_FALSE(Select(dir.Path(), "ExtIO_Broken.so"));
    EXPECT_EQ(Line(), "ОШИБКА ЗАГРУЗКИ  [" + path + "]");
    const std::string error = set_->ExtIO().ErrorText();
    EXPECT_EQ(error.rfind("Не удалось загрузить '" + path + "', Err=", 0), 0u) << error;
    EXPECT_GT(error.size(), ("Не удалось загрузить '" + path + "', Err=0, ").size());
  }
}

TEST_F(ExtIOTest, StartsAtLeastAt2500HzThenTunesTheRestByTheBestSetter) {
  host_.frequency = 1000;
  {
    PluginScript plugin(FullPath());
    ASSERT_TRUE(SelectFull());
    EXPECT_EQ(plugin.Calls(), (std::vector<std::string>{"InitHW", "SetCallback", "OpenHW", "StartHW 2500",
                                                        "SetHWLO_dbl 1000"}));
  }
  {
    PluginScript plugin(VariantPath("ExtIO_Lo64.so"));
    ASSERT_TRUE(Select(kVariants, "ExtIO_Lo64.so"));
    EXPECT_EQ(plugin.Calls().back(), "SetHWLO64 1000");
    plugin.Set("lo_result", 3);
    EXPECT_FALSE(set_->Tune(7e6, nullptr, 0)) << "a non-zero answer fails the tuning";
    EXPECT_NE(set_->TuneReport().find(" ERR SetHWLO64(7000000) вернула 3"), std::string::npos) << set_->TuneReport();
  }
  {
    PluginScript plugin(VariantPath("ExtIO_Lo32.so"));
    ASSERT_TRUE(Select(kVariants, "ExtIO_Lo32.so"));
    EXPECT_EQ(plugin.Calls().back(), "SetHWLO 2500") << "stays at 2500 Hz";
    // 3 GHz does not fit SetHWLO: clamped to its largest value, never wrapped.
    EXPECT_TRUE(set_->Tune(3e9, nullptr, 0));
    EXPECT_EQ(plugin.Calls().back(), "SetHWLO 2147483647");
    EXPECT_FALSE(set_->Tune(std::nan(""), nullptr, 0));
    EXPECT_EQ(plugin.Calls().back(), "SetHWLO 2147483647") << "a non-number is not passed on";
    EXPECT_EQ(set_->TunedFrequency(), 3e9);
  }
  host_.frequency = 3e9;
  {
    PluginScript plugin(VariantPath("ExtIO_Lo32.so"));
    ASSERT_TRUE(Select(kVariants, "ExtIO_Lo32.so"));
    const auto calls = plugin.Calls();
    EXPECT_TRUE(Has(calls, "StartHW 2147483647"));
    EXPECT_EQ(calls.back(), "SetHWLO 2147483647");
  }
}

TEST_F(ExtIOTest, RateNoticesReplanOnlyOnAChangeAndNoRateRefusesScans) {
  PluginScript plugin(FullPath());
  ASSERT_TRUE(SelectFull());
  ASSERT_EQ(host_.rates, std::vector<double>{2.4e6});
  const size_t captions = host_.captions.size();
  plugin.Notice(100);  // rate unchanged
  EXPECT_EQ(host_.RunPosted(), 1u);
  EXPECT_EQ(host_.rates.size(), 1u);
  EXPECT_EQ(host_.captions.size(), captions) << "nothing changes";
  plugin.Set("rate", 1'200'000);  // sends notice 100
  EXPECT_EQ(host_.rates.size(), 1u) << "handled on the window thread only";
  EXPECT_EQ(host_.RunPosted(), 1u);
  EXPECT_EQ(host_.rates, (std::vector<double>{2.4e6, 1.2e6}));
  EXPECT_NE(set_->Status().caption.find("int16, 1.200 МГц"), std::string::npos) << set_->Status().caption;
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("extIOCallback status=100\n"), std::string::npos);
  EXPECT_NE(log.find("Смена частоты дискретизации ExtIO \n"), std::string::npos);
  EXPECT_TRUE(set_->ScanRefusal().empty());

  plugin.Set("rate", 0);
  host_.RunPosted();
  EXPECT_EQ(set_->ActiveSampleRate(), 0.0);
  EXPECT_EQ(set_->ScanRefusal(), ReceiverSet::kExtIONoRateText);
  EXPECT_EQ(set_->Status().colour, StatusColour::kError);
  EXPECT_EQ(host_.rates.size(), 2u) << "no plan for no rate";

  // Without GetHWSR the plug-in never reports a rate: opened, but no scan.
  PluginScript bare(VariantPath("ExtIO_Bare.so"));
  EXPECT_FALSE(Select(kVariants, "ExtIO_Bare.so"));
  EXPECT_TRUE(Has(bare.Calls(), "StartHW 100000000"));
  EXPECT_NE(Line().find(ReceiverSet::kExtIONoRateText), std::string::npos) << Line();
  EXPECT_EQ(set_->ScanRefusal(), ReceiverSet::kExtIONoRateText);
  EXPECT_NE(Log().TakeCaptured().find("Не найдена SetHWLO_dbl\n"), std::string::npos);
}

TEST_F(ExtIOTest, ShowsThePluginsWindowOnlyWhenItHasOne) {
  {
    PluginScript plugin(FullPath());
    ASSERT_TRUE(SelectFull());
    EXPECT_TRUE(set_->ShowExtIOGui(true));
    EXPECT_TRUE(set_->ShowExtIOGui(false));
    const auto calls = plugin.Calls();
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"ShowGUI", "HideGUI"}));
  }
  PluginScript bare(VariantPath("ExtIO_Bare.so"));
  Select(kVariants, "ExtIO_Bare.so");
  EXPECT_FALSE(set_->ShowExtIOGui(true));
}

TEST_F(ExtIOTest, UnloadsStopThenCloseAndLateCallbacksTouchNothing) {
  PluginScript plugin(FullPath());
  plugin.Set("long_name", 1);
  ASSERT_TRUE(SelectFull());
  EXPECT_EQ(set_->ExtIO().Name(), std::string(kExtIONameSize - 1, 'N')) << "terminated before use";
  ASSERT_EQ(plugin.Block(10), 0);
  const uint64_t written = rings_.m_WriteCount.load();
  set_->SelectReceiver(set_->FindKey("ExtIO_plugin ExtIO_KavuSim.so"));  // closes first, then reopens
  const auto calls = plugin.Calls();
  const auto stop = std::find(calls.begin(), calls.end(), "StopHW");
  ASSERT_NE(stop, calls.end());
  EXPECT_EQ(*(stop + 1), "CloseHW");
  EXPECT_EQ(*(stop + 2), "InitHW");
  set_->Shutdown();
  EXPECT_EQ(plugin.Calls().back(), "CloseHW");
  EXPECT_FALSE(set_->ExtIO().IsLoaded());
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("call StopHW \ncall CloseHW \nDLL ExtIO выгружена \n"), std::string::npos) << log;

  // The plug-in still holds the callback: a block and a notice after the unload change nothing.
  plugin.Block(100);
  plugin.Notice(100);
  EXPECT_EQ(rings_.m_WriteCount.load(), written);
  EXPECT_EQ(host_.RunPosted(), 0u);
}

TEST_F(ExtIOTest, AStreamingPluginFeedsTheRingsUntilStopped) {
  PluginScript plugin(FullPath());
  plugin.Set("manual", 0);
  plugin.Set("block", 4096);
  plugin.Set("rate", 1'000'000);
  ASSERT_TRUE(SelectFull());
  // Blocks arrive on the plug-in's thread; the bound is reached only by a hang.
  for (int i = 0; i < 2000 && rings_.m_WriteCount.load() < 3 * 4096u; ++i) rings_.m_hDataEvent.Wait(50);
  EXPECT_GE(rings_.m_WriteCount.load(), 3 * 4096u);
  EXPECT_EQ(rings_.m_MaxBlockN.load(), 4096u);
  set_->Shutdown();
  const uint64_t after_stop = rings_.m_WriteCount.load();
  EXPECT_EQ(after_stop % 4096, 0u) << "whole blocks only";
  EXPECT_EQ(plugin.Calls().back(), "CloseHW");
}

// A feeder for the plug-in: a constant signal in whatever format is asked for, its clock always
// a block ahead, a fault chosen by the test, and the settings it was told.
struct TestFeeder {
  std::atomic<int32_t> fault{kKavuSimOk};
  std::atomic<uint64_t> due{0};
  std::atomic<uint64_t> center{0};
  std::atomic<int32_t> format{-1};
  KavuSimSource Source() {
    KavuSimSource s{};
    s.abi_version = kKavuSimAbiVersion;
    s.ctx = this;
    s.configure = [](void* ctx, uint32_t, uint64_t c, int32_t, int32_t) { static_cast<TestFeeder*>(ctx)->center = c; };
    s.due = [](void* ctx) { return static_cast<TestFeeder*>(ctx)->due += 4096; };
    s.fill = [](void* ctx, uint64_t, int32_t f, void* buf, uint32_t n) {
      static_cast<TestFeeder*>(ctx)->format = f;
      if (f == kKavuSimI16) {
        for (uint32_t k = 0; k < 2 * n; ++k) static_cast<int16_t*>(buf)[k] = 100;
      }
    };
    s.fault = [](void* ctx) { return static_cast<TestFeeder*>(ctx)->fault.load(); };
    return s;
  }
};

TEST_F(ExtIOTest, TheFeedersSignalFormatCentreAndFaultsReachTheProgram) {
  PluginScript plugin(FullPath());
  DynLibrary lib;
  ASSERT_EQ(lib.Open(FullPath()), DynLibrary::Result::kLoaded);
  const auto attach = reinterpret_cast<kavu_sim_attach_fn>(lib.Symbol("kavu_simextio_attach"));
  ASSERT_TRUE(attach);
  TestFeeder feeder;
  const KavuSimSource source = feeder.Source();
  ASSERT_EQ(attach(&source), 0);
  KavuSimSource other = source;
  other.abi_version = 1;
  EXPECT_EQ(attach(&other), -1) << "another interface version is refused";

  feeder.fault = kKavuSimOpenFails;
  EXPECT_FALSE(SelectFull());
  EXPECT_EQ(Line().rfind("Ошибка OpenHW ", 0), 0u) << Line();
  feeder.fault = kKavuSimUnplugged;
  EXPECT_FALSE(SelectFull());
  EXPECT_EQ(Line().rfind("Ошибка InitHW ", 0), 0u) << Line();

  feeder.fault = kKavuSimOk;
  plugin.Set("manual", 0);
  host_.frequency = 3e9;  // beyond 32 bits: the feeder gets the exact centre through SetHWLO_dbl
  rings_.ResetCounters();
  ASSERT_TRUE(SelectFull()) << Line();
  EXPECT_EQ(feeder.center.load(), 3'000'000'000u);
  for (int i = 0; i < 2000 && rings_.m_WriteCount.load() == 0; ++i) rings_.m_hDataEvent.Wait(50);
  ASSERT_GT(rings_.m_WriteCount.load(), 0u);
  EXPECT_EQ(feeder.format.load(), kKavuSimI16);
  EXPECT_FLOAT_EQ(rings_.RingA()[0].i, 100.0f) << "the offset the plug-in added is removed";
  EXPECT_FLOAT_EQ(rings_.RingA()[0].q, 100.0f);
  set_.reset();
  EXPECT_EQ(attach(nullptr), 0);
}

}  // namespace
}  // namespace kavu
