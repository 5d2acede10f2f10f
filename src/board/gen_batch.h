#pragma once
// The frequency batch of one scan group (MyBigCmdCreate): the elements with which the board steps
// the active generator through the group's frequencies on its own, with the timed pattern the
// measurement side searches for:
//   first delay            max(Tz, 2048 receiver samples)
//   synchronisation pause  80 | 83, delay T1                                  (m_SynType 1 | 2)
//                          84, <output off>, delay T1, 85, <output on>, 87    (m_SynType 0)
//   probing of F[0]        86 12 <Tz> Z
//   for each F[k], k >= 1  <the chip's retuning elements>, delay T1 + Tz, 86 12 <Tz> Z
//   end                    FF
// T1 is 1 ms and Tz is m_TZond10 tenths of a millisecond, both rounded to whole ticks of the
// board's timer. A delay element holds 1 .. 32767 ticks (two bytes, high 7 bits first): longer
// standalone delays become several consecutive delay elements and a delay rounding to 0 ticks
// becomes 1; the delay inside a probing element cannot be split, so a Tz outside 1 .. 32767
// ticks refuses the batch.
//
// The group may end early: before a frequency the chip cannot reach inside a batch (the Si5351
// changing harmonic or mode, a band change), or when the next step would fill the board's buffer
// ("BigCmd урезана"). `count` then tells how many leading frequencies the batch covers; the scan
// measures those and plans the rest in later groups. Nothing is sent from here.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/gen_chip.h"

namespace kavu {

struct BatchTimingInputs {
  double ticks_per_second = 156'250.0;  // board timer: clock / divider
  int32_t TZond10 = 20;                 // m_TZond10: probing slot, 0.1 ms
  int32_t ZondN = 1;                    // m_ZondN: probing pairs per element (low byte written)
  int32_t SynType = 0;                  // m_SynType: 0 generator off, 1 bridge 00b, 2 bridge 11b
  double sample_period_sec = 5e-8;      // receiver sample period, s
  int32_t buffer_size = 1536;           // the board's batch buffer, bytes
};

struct FrequencyBatch {
  std::vector<uint8_t> bytes;  // the batch, ending with FF
  int count = 0;               // leading frequencies the batch covers (1 .. given)
  uint64_t duration_ticks = 0; // the timeline's length when the board plays it, ticks
};

// Builds the batch for `freqs` (F[0] already set on the generator by SetGenFManual) with `chip`
// retuning the generator. False, after a red log line, with a user-facing text in `error`, when
// the timing cannot be expressed (Tz outside 1 .. 32767 ticks, a timer rate that is not a
// positive number), when freqs is empty, when even the prologue does not fit the buffer, or when
// the chip fails to calculate a frequency.
bool MyBigCmdCreate(const BatchTimingInputs& in, std::span<const double> freqs, IGenBatchSteps& chip,
                    FrequencyBatch& out, std::string& error);

// Appends delay elements for `ticks` (0 becomes 1; more than 32767 becomes several elements).
// Returns the ticks the elements last.
uint64_t AppendDelayTicks(uint64_t ticks, std::vector<uint8_t>& out);

}  // namespace kavu
