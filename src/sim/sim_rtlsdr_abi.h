#pragma once
// The C interface between the simulated RTL-SDR library (simlib/, built as librtlsdr.so.0 into
// the simulated-library folder) and whatever feeds it samples in the same process: the virtual
// bench, or a test.
//
// The simulated library exports the RTL-SDR library's functions plus one more,
//   int kavu_simrtl_attach(const KavuSimRtlSource* source);
// which a feeder calls after loading the library by its full path (the program later loads the
// same file and so gets the same, attached, instance). A null source detaches: the library then
// feeds itself (low noise around mid-scale, its own clock). Attach and detach are safe while the
// library streams; the source's functions are never called after attach returned for a new one.
//
// Sample clock: the source owns it. due() tells how many samples the stream has produced by now
// (counted from any fixed origin, growing with time at the current rate); the library delivers
// samples [next, next + n) by calling fill() once they are due, and starts each stream at the
// sample that is due when the stream starts. So every sample index maps to one instant, and an
// event on the feeder's side (a board's run command) can be placed on the same clock.
#include <cstdint>

extern "C" {

enum KavuSimRtlFault : int32_t {
  kKavuSimRtlOk = 0,
  kKavuSimRtlUnplugged = 1,  // no device listed; an open device fails and its stream ends
  kKavuSimRtlStall = 2,      // the stream delivers nothing more (but does not end)
  kKavuSimRtlOpenFails = 3,  // rtlsdr_open fails
};

struct KavuSimRtlSource {
  uint32_t abi_version;  // kKavuSimRtlAbiVersion
  void* ctx;
  // Device settings now in force: rate in samples per second, centre in Hz, gain in tenths of
  // dB, direct sampling 0 (tuner), 1 (I), 2 (Q). Called on every change, before later samples.
  void (*configure)(void* ctx, uint32_t rate, uint32_t center_hz, int32_t gain, int32_t direct);
  // Samples due by now on the source's clock at the current rate.
  uint64_t (*due)(void* ctx);
  // Writes `len` bytes (len / 2 samples of unsigned 8-bit I, Q) for samples first, first + 1, ...
  void (*fill)(void* ctx, uint64_t first, unsigned char* buf, uint32_t len);
  // A fault to act out now (KavuSimRtlFault).
  int32_t (*fault)(void* ctx);
  // One line of the simulated receiver's log (open, close, start, stop, settings).
  void (*log)(void* ctx, const char* line);
};

inline constexpr uint32_t kKavuSimRtlAbiVersion = 1;
typedef int (*kavu_simrtl_attach_fn)(const KavuSimRtlSource* source);

}  // extern "C"
