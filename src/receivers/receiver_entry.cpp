#include "receivers/receiver_entry.h"

namespace kavu {

ReceiverKind KindOfCode(int32_t code) {
  if (code >= kCodeHackRf) return ReceiverKind::kHackRf;
  if (code >= kCodeRtlSdr) return ReceiverKind::kRtlSdr;
  if (code >= 0 && code < kCodeExtIO) return ReceiverKind::kSdrPlay;
  return ReceiverKind::kExtIO;
}

ReceiverKind WindowKindOfCode(int32_t code) {
  if (code == kCodeNoHackRf) return ReceiverKind::kHackRf;
  if (code == kCodeNoRtlSdr) return ReceiverKind::kRtlSdr;
  if (code < kCodeExtIO) return ReceiverKind::kSdrPlay;
  return KindOfCode(code);
}

ReceiverKind KindOfEntry(int32_t code) {
  switch (code) {
    case kCodeNoSdrPlay: return ReceiverKind::kSdrPlay;
    case kCodeNoExtIO: return ReceiverKind::kExtIO;
    case kCodeNoRtlSdr: return ReceiverKind::kRtlSdr;
    case kCodeNoHackRf: return ReceiverKind::kHackRf;
    default: return KindOfCode(code);
  }
}

std::string ReceiverKey(const ReceiverEntry& entry) {
  if (entry.code < 0) return "";
  if (entry.code >= kCodeRtlSdr) return "RtlSdr " + entry.text;
  if (entry.code < kCodeExtIO) {
    return "SdrPlay_" + std::to_string(entry.sdrplay_hw_ver) + "_" + entry.sdrplay_serial;
  }
  return "ExtIO_plugin " + entry.text;
}

const char* KindName(ReceiverKind kind) {
  switch (kind) {
    case ReceiverKind::kSdrPlay: return "SDRplay";
    case ReceiverKind::kExtIO: return "ExtIO";
    case ReceiverKind::kRtlSdr: return "RTL-SDR";
    case ReceiverKind::kHackRf: return "HackRF";
  }
  return "?";
}

}  // namespace kavu
