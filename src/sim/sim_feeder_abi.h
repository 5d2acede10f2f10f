#pragma once
// The C interface between a simulated receiver library (simlib/: librtlsdr.so.0, libhackrf.so.0,
// libsdrplay_api.so.3, built into the simulated-library folder) and whatever feeds it samples in the same process:
// the virtual bench, or a test. Every simulated library speaks this one interface.
//
// Each simulated library exports its receiver's functions plus its own attach function,
//   int kavu_simrtl_attach(const KavuSimSource* source);      (librtlsdr.so.0)
//   int kavu_simhackrf_attach(const KavuSimSource* source);   (libhackrf.so.0)
//   int kavu_simextio_attach(const KavuSimSource* source);    (the ExtIO plug-in)
//   int kavu_simsdrplay_attach(const KavuSimSource* source);  (libsdrplay_api.so.3)
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
//
// Formats: the library asks for its converter's format. The signal's amplitude relative to full
// scale is the same in every format, so level and rail checks see the same picture whatever the
// receiver: one unit of the unsigned and signed 8-bit formats is 256 units of the 16-bit and
// float formats.
//
// Second input: a receiver with two tuners (the SDRplay RSPduo in dual-tuner mode) asks for
// both at once with fill_dual: input A is what fill() gives, input B the generator's own output
// (ahead of the bridge), on the same clock and with the generators' same phase. A source
// without a second input leaves fill_dual null; the library then gives input B the same
// samples as input A.
#include <cstdint>

extern "C" {

enum KavuSimFault : int32_t {
  kKavuSimOk = 0,
  kKavuSimUnplugged = 1,  // no device listed; an open device fails and its stream ends
  kKavuSimStall = 2,      // the stream delivers nothing more (but does not end)
  kKavuSimOpenFails = 3,  // opening the device fails
};

enum KavuSimFormat : int32_t {
  kKavuSimU8 = 0,   // unsigned 8-bit I, Q; mid-scale 127.5
  kKavuSimS8 = 1,   // signed 8-bit I, Q
  kKavuSimI16 = 2,  // signed 16-bit I, Q, native byte order
  kKavuSimF32 = 3,  // float I, Q on the 16-bit scale (±32767)
};

// Bytes of one I/Q pair in `format`; 0 for an unknown format.
inline constexpr uint32_t KavuSimPairBytes(int32_t format) {
  return format == kKavuSimU8 || format == kKavuSimS8 ? 2u
         : format == kKavuSimI16                      ? 4u
         : format == kKavuSimF32                      ? 8u
                                                      : 0u;
}

struct KavuSimSource {
  uint32_t abi_version;  // kKavuSimAbiVersion
  void* ctx;
  // Device settings now in force: rate in samples per second, centre in Hz, gain in tenths of
  // dB, direct sampling 0 (tuner), 1 (I), 2 (Q). Called on every change, before later samples.
  void (*configure)(void* ctx, uint32_t rate, uint64_t center_hz, int32_t gain_tenths_db, int32_t direct);
  // Samples due by now on the source's clock at the current rate.
  uint64_t (*due)(void* ctx);
  // Writes `samples` I/Q pairs in `format` (KavuSimFormat) for samples first, first + 1, ...
  void (*fill)(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples);
  // A fault to act out now (KavuSimFault).
  int32_t (*fault)(void* ctx);
  // One line of the simulated receiver's log (open, close, start, stop, settings).
  void (*log)(void* ctx, const char* line);
  // Both inputs for samples first, first + 1, ... (see above); null without a second input.
  void (*fill_dual)(void* ctx, uint64_t first, int32_t format, void* buf_a, void* buf_b, uint32_t samples);
};

inline constexpr uint32_t kKavuSimAbiVersion = 3;
typedef int (*kavu_sim_attach_fn)(const KavuSimSource* source);

}  // extern "C"
