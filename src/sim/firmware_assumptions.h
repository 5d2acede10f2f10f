#pragma once
// Everything the emulated control board assumes about the real board's firmware, in one place.
// The program only fixes what it sends and what reply it accepts; where the firmware's behaviour
// is not visible from there, the emulator does what is written here. Change the emulator only
// together with this list.
//
// Framing
//  F1  Every command starts with 0xCD followed by its code; bytes outside a frame that are not
//      0xCD are dropped (and logged). CD followed by an unknown code is dropped without a reply.
//  F2  A frame whose next byte does not arrive within kFrameGapMs is abandoned without a reply;
//      the parser then waits for the next 0xCD.
//  F3  Single commands are answered as soon as their last byte has arrived.
//
// Single commands (request → reply)
//  C1  CD 32 bits mask (SetCS): output byte = (old AND mask) OR bits; reply 51.
//  C2  CD 3D b (SpiOut): one SPI byte exchanged with the chip selects as they stand; reply the
//      byte clocked in.
//  C3  CD 3C m (SpiSetMode): SPI mode m AND 3 used from now on; reply A9 E2 m (m as received).
//  C4  CD 47 c (I2C_Cond): 01 start, 02 stop, 10 end of a read (not-acknowledge); no reply; other
//      codes are ignored.
//  C5  CD 48 b (I2C_Out): one byte on the I2C bus; reply the I2C error code (00 = acknowledged).
//  C6  CD 49 (I2C_In): one byte read from the bus; reply that byte.
//  C7  CD 28 period duty (SetMinusGenPeriod): -5 V PWM set; reply D1.
//  C8  CD 50 (GetMKBufSz): reply the batch buffer size u16 LE, then its complement u16 LE.
//  C9  CD 51 mask level addr (SetBigCmdAbonent): target of later batch elements (BatchTarget in
//      sim/board_hardware.h); reply 9A.
//  C10 CD 29 (GetDelaysTimerInfo): reply clock u32 LE, divider u32 LE, both again.
//  C11 CD 55 (Cmd_GetTIM4): reply the free-running timer counter (board-clock time in timer
//      ticks, modulo 65536) u16 LE, then 71.
//
// Batches
//  B1  CD 5A len_lo len_hi data[len] crc stores the batch; CD 5C stores and runs it. The check
//      byte is the complement of the CRC-8 (polynomial D5, MSB first) started at len_lo over
//      len_hi and the data.
//  B2  Store reply: 9C at once. A wrong check byte or a len of 0 or above the buffer size is
//      answered with kReplyBadFrame in place of 9C (the reply keeps its length: CD 5C gets
//      kReplyBadFrame, len_lo, len_hi, 00) and leaves no batch stored.
//  B3  Run reply, sent when the run's timeline has ended: CD 5C gets 9C, len_lo, len_hi, I2C
//      error code; CD 5B (BigCmd2_Exec) gets len_lo, len_hi, I2C error code. CD 5B with no
//      batch stored answers 00 00 kReplyNoBatch at once (never mistaken for success).
//  B4  Bytes that arrive while a batch runs wait in the board's input and are handled after the
//      run reply, in order.
//  B5  Elements: 00..7F hi lo = delay of ((hi AND 7F) << 8 | lo) ticks; 80, 83, 84, 85, 87 =
//      markers (below); 86 12 hi lo Z = probing element; 90+n = SPI transfer of n bytes with the
//      target's chip selects; A0+n = I2C write (start, target address, n bytes, stop); FE = wait
//      until the Si4463 on the target chip select reports clear-to-send; FF = end. The run also
//      ends at an unknown element code, as at FF.
//  B6  Delays are counted on the hardware timer from the end of the previous delay, so the time
//      the SPI and I2C elements take in between is absorbed (it is far below one probing slot).
//      Element durations other than delays, probing and FE waits are 0 ticks on the timeline.
//  B7  Markers: 80 = bridge off with both lines low (00b); 83 = bridge off with both lines high
//      (11b); 84 = start of the generator-off pause (no line change; the generator is switched
//      off by the elements that follow); 85 = end of that pause (no line change); 87 = bridge
//      back in the reference position.
//  B8  Probing element 86 12 hi lo Z: Z pairs of an antenna slot and then a reference slot, each
//      lasting ((hi AND 7F) << 8 | lo) ticks; afterwards the bridge rests in the reference
//      position. Z = 0 gives no slot.
//  B9  An I2C element whose byte is not acknowledged sends the stop, keeps the first error code
//      for the run reply and goes on with the next element.
//
// Boot loader (the monitor; sim/boot_monitor.h)
//  M1  The board enters the monitor when it is switched on while capture bytes (0xCD) arrive.
//      The bench has no power switch: in the application, eight 0xCD in a row outside a frame
//      count as the board being switched on again under capture, and it enters the monitor
//      (the application's state is lost). EmulatedBoardConfig::start_in_monitor switches it on
//      in the monitor.
//  M2  In the monitor: CD E6 a0 a1 a2 (read block) answers the 32 bytes from address a (24 bits,
//      least significant byte first): program memory below 0x10000, the special areas at their
//      addresses, 0xFF anywhere else (also for a block that runs past an area's end).
//  M3  CD E7 a0 a1 a2 d0..d31 (write block) erases and writes the 32 bytes at a and answers
//      0xAA once they are in flash (kMonitorFlashBlockUs after the last byte arrived), or 0xEE
//      at once, unchanged, for a block that starts below 0x400 (the factory monitor protects
//      itself) or at 0x10000 and above (the special areas are never written this way). Bytes
//      past 0xFFFF of a block that starts below it are dropped.
//  M4  Once a frame has begun, 0xCD inside its address or data is data. CD CD repeats the
//      prefix (capture bytes are harmless); CD followed by any other unknown code (the wake-up's
//      00) is dropped without a reply.
//  M5  CD EB (start) leaves the monitor without a reply: the application starts afresh.
//  M6  A monitor frame whose next byte does not come within kFrameGapMs is abandoned, as F2.
//  M7  The factory monitor below 0x400 holds bench bytes; the special areas hold identifiers of
//      the bench's own (Device ID 4B 56, Revision ID 10 00), not those of any real chip; the rest
//      of program memory starts erased (0xFF).
//  M8  Faults (sim/board_fault.h) act on E6 and E7 as on any command; "protect" makes a write
//      answer 0xEE and leave the block unchanged.
#include <cstdint>

namespace kavu::sim {

inline constexpr uint8_t kFramePrefix = 0xCD;
inline constexpr int kFrameGapMs = 200;

// Command codes (second frame byte).
inline constexpr uint8_t kCmdSetMinusGenPeriod = 0x28;
inline constexpr uint8_t kCmdGetDelaysTimerInfo = 0x29;
inline constexpr uint8_t kCmdSetCs = 0x32;
inline constexpr uint8_t kCmdSpiSetMode = 0x3C;
inline constexpr uint8_t kCmdSpiOut = 0x3D;
inline constexpr uint8_t kCmdI2cCond = 0x47;
inline constexpr uint8_t kCmdI2cOut = 0x48;
inline constexpr uint8_t kCmdI2cIn = 0x49;
inline constexpr uint8_t kCmdGetMkBufSz = 0x50;
inline constexpr uint8_t kCmdSetBigCmdAbonent = 0x51;
inline constexpr uint8_t kCmdGetTim4 = 0x55;
inline constexpr uint8_t kCmdBigCmdStore = 0x5A;
inline constexpr uint8_t kCmdBigCmdExec = 0x5B;
inline constexpr uint8_t kCmdBigCmdStoreRun = 0x5C;

// I2C_Cond codes.
inline constexpr uint8_t kI2cCondStart = 0x01;
inline constexpr uint8_t kI2cCondStop = 0x02;
inline constexpr uint8_t kI2cCondEndRead = 0x10;

// Reply bytes.
inline constexpr uint8_t kReplySetCs = 0x51;
inline constexpr uint8_t kReplyMinusGen = 0xD1;
inline constexpr uint8_t kReplyAbonent = 0x9A;
inline constexpr uint8_t kReplyBigCmd = 0x9C;
inline constexpr uint8_t kReplySpiMode1 = 0xA9;
inline constexpr uint8_t kReplySpiMode2 = 0xE2;
inline constexpr uint8_t kReplyTim4 = 0x71;
inline constexpr uint8_t kReplyBadFrame = 0xE5;
inline constexpr uint8_t kReplyNoBatch = 0xE6;

// Batch element codes.
inline constexpr uint8_t kElemMarkerBridgeOff00 = 0x80;
inline constexpr uint8_t kElemMarkerBridgeOff11 = 0x83;
inline constexpr uint8_t kElemMarkerPauseStart = 0x84;
inline constexpr uint8_t kElemMarkerPauseEnd = 0x85;
inline constexpr uint8_t kElemProbe = 0x86;
inline constexpr uint8_t kElemProbeSubcode = 0x12;
inline constexpr uint8_t kElemMarkerReference = 0x87;
inline constexpr uint8_t kElemSpiBase = 0x90;  // 0x91..0x9F
inline constexpr uint8_t kElemI2cBase = 0xA0;  // 0xA1..0xAF
inline constexpr uint8_t kElemWaitCts = 0xFE;
inline constexpr uint8_t kElemEnd = 0xFF;

// Boot loader commands and replies.
inline constexpr uint8_t kMonitorRead = 0xE6;
inline constexpr uint8_t kMonitorWrite = 0xE7;
inline constexpr uint8_t kMonitorStart = 0xEB;
inline constexpr uint8_t kMonitorWritten = 0xAA;
inline constexpr uint8_t kMonitorProtected = 0xEE;
inline constexpr int kMonitorBlock = 32;
inline constexpr uint32_t kMonitorOwnEnd = 0x400;
inline constexpr int kCaptureRun = 8;
// Time the emulated flash takes to erase and write one block, us (the bench's choice).
inline constexpr int kMonitorFlashBlockUs = 2000;

// The largest batch a frame may announce (the program never sends more).
inline constexpr int kMaxFrameLen = 8192;
// Batch buffer size the emulated board reports unless configured otherwise, in bytes.
inline constexpr int kDefaultBufferSize = 4096;

}  // namespace kavu::sim
