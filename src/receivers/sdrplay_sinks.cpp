// The SDRplay sinks: the stream callbacks deliver into the sample rings, the event callback
// counts overloads and acknowledges them. All run on the API's threads.
#include <sys/syscall.h>
#include <unistd.h>

#include "receivers/receiver_set.h"
#include "shell/log_console.h"

namespace {

unsigned ThreadId() { return static_cast<unsigned>(syscall(SYS_gettid)); }

void LogReset(const char* name, const sdrplay_api_StreamCbParamsT* params, unsigned int n) {
  kavu::Log() << kavu::LogColour(kavu::kColourNotice) << name << "(), numSamples=" << n
              << ", firstSampleNum=" << (params ? params->firstSampleNum : 0u) << " ThId=" << ThreadId() << "\n"
              << kavu::LogColour(kavu::kColourNormal);
}

kavu::SampleRings* RingsOf(void* ctx) {
  return ctx ? static_cast<kavu::SdrPlaySinkContext*>(ctx)->rings : nullptr;
}

}  // namespace

extern "C" void StreamACbFnSingle(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                                  unsigned int reset, void* cbContext) {
  if (reset) LogReset("StreamACbFnSingle", params, numSamples);
  kavu::SampleRings* rings = RingsOf(cbContext);
  if (!rings || !xi || !xq) return;
  rings->DeliverI16(xi, xq, numSamples);
}

extern "C" void StreamACbFn(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                            unsigned int reset, void* cbContext) {
  if (reset) LogReset("StreamACbFn", params, numSamples);
  kavu::SampleRings* rings = RingsOf(cbContext);
  if (!rings || !xi || !xq) return;
  rings->StageA(xi, xq, numSamples);
}

extern "C" void StreamBCbFn(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                            unsigned int reset, void* cbContext) {
  if (reset) LogReset("StreamBCbFn", params, numSamples);
  kavu::SampleRings* rings = RingsOf(cbContext);
  if (!rings || !xi || !xq) return;
  rings->DeliverDualB(xi, xq, numSamples);
}

extern "C" void EventCbFn(int32_t eventId, int32_t tuner, sdrplay_api_EventParamsT* params, void* cbContext) {
  auto* sink = static_cast<kavu::SdrPlaySinkContext*>(cbContext);
  const auto yellow = [](const std::string& line) {
    kavu::Log() << kavu::LogColour(kavu::kColourNotice) << line << kavu::LogColour(kavu::kColourNormal);
  };
  switch (eventId) {
    case kSdrPlayGainChange:
      if (tuner == kSdrPlayTunerA || tuner == kSdrPlayTunerB) return;
      break;
    case kSdrPlayPowerOverloadChange:
      if (!sink) return;
      if (params && params->powerOverloadParams.powerOverloadChangeType == kSdrPlayOverloadDetected && sink->rings) {
        if (tuner == kSdrPlayTunerA) {
          sink->rings->m_OverloadA.fetch_add(1, std::memory_order_relaxed);
        } else {
          sink->rings->m_OverloadB.fetch_add(1, std::memory_order_relaxed);
        }
      }
      // Detected and corrected alike are acknowledged, on the event's tuner.
      if (sink->use) sink->use->AcknowledgeOverload(tuner);
      return;
    case kSdrPlayDeviceRemoved:
      yellow("EventCbFn sdrplay_api_DeviceRemoved\n");
      return;
    case kSdrPlayRspDuoModeChange:
      yellow("EventCbFn sdrplay_api_RspDuoModeChange\n");
      return;
    default:
      break;
  }
  yellow("EventCbFn необрабатываемое, eventId=" + std::to_string(eventId) + ", tuner=" + std::to_string(tuner) + "\n");
}
