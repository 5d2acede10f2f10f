#pragma once
// The C interface of the SDRplay service API (libsdrplay_api.so.3, version 3) as this program
// uses it: the 17 functions looked up by name, the device record, the callbacks, the update
// reasons, the events and the error record. Declared here, never taken from a system header, so
// the program builds without the library's development files and the simulated library (sim/)
// implements exactly these declarations.
//
// What is relied on: every call returns an error code, 0 = success; sdrplay_api_Uninit returns
// 16 while it cannot stop yet (an RSPduo master whose slave still runs); the stream callbacks
// and the event callback arrive on the API's own threads; sdrplay_api_Update applies a
// parameter change and refreshes the gain values before it returns; sdrplay_api_Uninit returns
// only after the last stream callback.
//
// PARAMETER RECORDS: the layouts of sdrplay_api_DeviceParamsT and of every record below it
// (device, tuner, control and per-model parameters, the stream and event parameters) are OURS:
// they carry the fields this program reads and writes, in an order of our choosing. They match
// the simulated library, which is built on this header, and NOTHING ELSE. Before this program is
// used with a real device, each of them must be checked field by field against the real
// library's declarations (and the values of the update reasons and error codes beyond those
// listed as relied on). The back end touches them only through its one adapter
// (receivers/sdrplay_params.h), so a correction stays in these two files.
//
// The device record's layout (96 bytes) is the one the API documents and is checked below.
#include <cstddef>
#include <cstdint>

extern "C" {

typedef void* sdrplay_api_DeviceT_handle;

// The device record as GetDevices fills it and SelectDevice takes it.
typedef struct {
  char SerNo[64];
  unsigned char hwVer;          // 1 RSP1, 255 RSP1A, 2 RSP2, 3 RSPduo, 4 RSPdx
  int32_t tuner;                // 1 A, 2 B, 3 both
  int32_t rspDuoMode;           // bit set: 1 single, 2 dual, 4 master, 8 slave
  double rspDuoSampleFreq;      // Hz
  sdrplay_api_DeviceT_handle dev;
} sdrplay_api_DeviceT;

// ---- Parameter records: OUR layouts (see the header comment). ----

typedef struct {
  double fsHz;
  unsigned char syncUpdate;
  unsigned char reCal;
} sdrplay_api_FsFreqT;

typedef struct {
  unsigned char rfNotchEnable;
  unsigned char rfDabNotchEnable;
} sdrplay_api_Rsp1aParamsT;

typedef struct {
  unsigned char extRefOutputEn;
} sdrplay_api_Rsp2ParamsT;

typedef struct {
  int32_t extRefOutputEn;
} sdrplay_api_RspDuoParamsT;

typedef struct {
  unsigned char hdrEnable;
  unsigned char biasTEnable;
  int32_t antennaSel;  // 0 A, 1 B, 2 C
  unsigned char rfNotchEnable;
  unsigned char rfDabNotchEnable;
} sdrplay_api_RspDxParamsT;

typedef struct {
  double ppm;
  sdrplay_api_FsFreqT fsFreq;
  int32_t transferMode;  // 0 isochronous, 1 bulk
  sdrplay_api_Rsp1aParamsT rsp1aParams;
  sdrplay_api_Rsp2ParamsT rsp2Params;
  sdrplay_api_RspDuoParamsT rspDuoParams;
  sdrplay_api_RspDxParamsT rspDxParams;
} sdrplay_api_DevParamsT;

typedef struct {
  float curr;  // overall gain now, dB (maintained by the API)
  float max;
  float min;
} sdrplay_api_GainValuesT;

typedef struct {
  int32_t gRdB;
  unsigned char LNAstate;
  sdrplay_api_GainValuesT gainVals;
} sdrplay_api_GainT;

typedef struct {
  double rfHz;
} sdrplay_api_RfFreqT;

typedef struct {
  int32_t bwType;  // kHz: 200, 300, 600, 1536, 5000, 6000, 7000, 8000
  int32_t ifType;  // kHz: 0, 450, 1620, 2048
  int32_t loMode;  // 0 undefined, 1 auto, 2 120 MHz, 3 144 MHz, 4 168 MHz
  sdrplay_api_GainT gain;
  sdrplay_api_RfFreqT rfFreq;
} sdrplay_api_TunerParamsT;

typedef struct {
  unsigned char enable;
  unsigned char decimationFactor;
  unsigned char wideBandSignal;
} sdrplay_api_DecimationT;

typedef struct {
  int32_t enable;  // 0 off
} sdrplay_api_AgcT;

typedef struct {
  sdrplay_api_DecimationT decimation;
  sdrplay_api_AgcT agc;
} sdrplay_api_ControlParamsT;

typedef struct {
  unsigned char biasTEnable;
} sdrplay_api_Rsp1aTunerParamsT;

typedef struct {
  unsigned char biasTEnable;
  int32_t amPortSel;
  int32_t antennaSel;  // 5 A, 6 B
  unsigned char rfNotchEnable;
} sdrplay_api_Rsp2TunerParamsT;

typedef struct {
  unsigned char biasTEnable;
  int32_t tuner1AmPortSel;
  unsigned char tuner1AmNotchEnable;
  unsigned char rfNotchEnable;
  unsigned char rfDabNotchEnable;
} sdrplay_api_RspDuoTunerParamsT;

typedef struct {
  sdrplay_api_TunerParamsT tunerParams;
  sdrplay_api_ControlParamsT ctrlParams;
  sdrplay_api_Rsp1aTunerParamsT rsp1aTunerParams;
  sdrplay_api_Rsp2TunerParamsT rsp2TunerParams;
  sdrplay_api_RspDuoTunerParamsT rspDuoTunerParams;
} sdrplay_api_RxChannelParamsT;

typedef struct {
  sdrplay_api_DevParamsT* devParams;       // null for a slave
  sdrplay_api_RxChannelParamsT* rxChannelA;
  sdrplay_api_RxChannelParamsT* rxChannelB;  // null unless the API provides channel B
} sdrplay_api_DeviceParamsT;

// What a stream callback is told about its block.
typedef struct {
  uint32_t firstSampleNum;
  int32_t grChanged;
  int32_t rfChanged;
  int32_t fsChanged;
  uint32_t numSamples;
} sdrplay_api_StreamCbParamsT;

typedef struct {
  int32_t powerOverloadChangeType;  // 0 detected, 1 corrected
} sdrplay_api_PowerOverloadParamsT;

typedef struct {
  int32_t modeChangeType;
} sdrplay_api_RspDuoModeParamsT;

typedef union {
  sdrplay_api_PowerOverloadParamsT powerOverloadParams;
  sdrplay_api_RspDuoModeParamsT rspDuoModeParams;
} sdrplay_api_EventParamsT;

// ---- Documented values. ----

// The error record GetLastError points to: the message follows file, function and line.
typedef struct {
  char file[256];
  char function[256];
  int32_t line;
  char message[1024];
} sdrplay_api_ErrorInfoT;

typedef void (*sdrplay_api_StreamCallback_t)(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params,
                                             unsigned int numSamples, unsigned int reset, void* cbContext);
typedef void (*sdrplay_api_EventCallback_t)(int32_t eventId, int32_t tuner, sdrplay_api_EventParamsT* params,
                                            void* cbContext);
typedef struct {
  sdrplay_api_StreamCallback_t StreamACbFn;
  sdrplay_api_StreamCallback_t StreamBCbFn;
  sdrplay_api_EventCallback_t EventCbFn;
} sdrplay_api_CallbackFnsT;

// Models (hardware version byte).
inline constexpr unsigned char kSdrPlayRsp1 = 1;
inline constexpr unsigned char kSdrPlayRsp1A = 255;
inline constexpr unsigned char kSdrPlayRsp2 = 2;
inline constexpr unsigned char kSdrPlayRspDuo = 3;
inline constexpr unsigned char kSdrPlayRspDx = 4;

// Tuners.
inline constexpr int32_t kSdrPlayTunerNeither = 0;
inline constexpr int32_t kSdrPlayTunerA = 1;
inline constexpr int32_t kSdrPlayTunerB = 2;
inline constexpr int32_t kSdrPlayTunerBoth = 3;

// RSPduo mode bits.
inline constexpr int32_t kSdrPlayDuoUnknown = 0;
inline constexpr int32_t kSdrPlayDuoSingle = 1;
inline constexpr int32_t kSdrPlayDuoDual = 2;
inline constexpr int32_t kSdrPlayDuoMaster = 4;
inline constexpr int32_t kSdrPlayDuoSlave = 8;

// Update reasons (uint32_t: the highest bits do not fit an int).
inline constexpr uint32_t kSdrPlayUpdateNone = 0x00000000u;
inline constexpr uint32_t kSdrPlayDevFs = 0x00000001u;
inline constexpr uint32_t kSdrPlayTunerGr = 0x00008000u;
inline constexpr uint32_t kSdrPlayTunerFrf = 0x00020000u;
inline constexpr uint32_t kSdrPlayTunerBwType = 0x00040000u;
inline constexpr uint32_t kSdrPlayTunerIfType = 0x00080000u;
inline constexpr uint32_t kSdrPlayTunerLoMode = 0x00200000u;
inline constexpr uint32_t kSdrPlayCtrlDecimation = 0x00800000u;
inline constexpr uint32_t kSdrPlayCtrlOverloadMsgAck = 0x04000000u;
// Per-model reasons. Their sums are documented (RSP1A 0x70, RSP2 0x580, RSPduo 0xE0000000 and
// 0xC8000000); which bit is which within a sum is our assumption.
inline constexpr uint32_t kSdrPlayRsp1aBiasTControl = 0x00000010u;
inline constexpr uint32_t kSdrPlayRsp1aRfNotchControl = 0x00000020u;
inline constexpr uint32_t kSdrPlayRsp1aRfDabNotchControl = 0x00000040u;
inline constexpr uint32_t kSdrPlayRsp2BiasTControl = 0x00000080u;
inline constexpr uint32_t kSdrPlayRsp2AmPortSelect = 0x00000100u;
inline constexpr uint32_t kSdrPlayRsp2AntennaControl = 0x00000200u;
inline constexpr uint32_t kSdrPlayRsp2RfNotchControl = 0x00000400u;
inline constexpr uint32_t kSdrPlayRsp2ExtRefControl = 0x00000800u;
inline constexpr uint32_t kSdrPlayRspDuoExtRefControl = 0x00001000u;
inline constexpr uint32_t kSdrPlayRspDuoBiasTControl = 0x08000000u;
inline constexpr uint32_t kSdrPlayRspDuoAmPortSelect = 0x10000000u;
inline constexpr uint32_t kSdrPlayRspDuoTuner1AmNotchControl = 0x20000000u;
inline constexpr uint32_t kSdrPlayRspDuoRfNotchControl = 0x40000000u;
inline constexpr uint32_t kSdrPlayRspDuoRfDabNotchControl = 0x80000000u;

// Extended reasons (the fourth argument of Update). The sum 0x1B and the antenna's 0x4 are
// documented; the bits of the other four are our assumption.
inline constexpr uint32_t kSdrPlayExtNone = 0x0u;
inline constexpr uint32_t kSdrPlayRspDxHdrEnable = 0x1u;
inline constexpr uint32_t kSdrPlayRspDxBiasTControl = 0x2u;
inline constexpr uint32_t kSdrPlayRspDxAntennaControl = 0x4u;
inline constexpr uint32_t kSdrPlayRspDxRfNotchControl = 0x8u;
inline constexpr uint32_t kSdrPlayRspDxRfDabNotchControl = 0x10u;

// Events.
inline constexpr int32_t kSdrPlayGainChange = 0;
inline constexpr int32_t kSdrPlayPowerOverloadChange = 1;
inline constexpr int32_t kSdrPlayDeviceRemoved = 2;
inline constexpr int32_t kSdrPlayRspDuoModeChange = 3;
inline constexpr int32_t kSdrPlayOverloadDetected = 0;
inline constexpr int32_t kSdrPlayOverloadCorrected = 1;

// Error codes: 0 and 16 are relied on; the others are the simulated library's.
inline constexpr int kSdrPlaySuccess = 0;
inline constexpr int kSdrPlayFail = 1;
inline constexpr int kSdrPlayInvalidParam = 2;
inline constexpr int kSdrPlayOutOfRange = 3;
inline constexpr int kSdrPlayNotInitialised = 5;
inline constexpr int kSdrPlayNotEnabled = 6;
inline constexpr int kSdrPlayServiceNotResponding = 10;
inline constexpr int kSdrPlayStartPending = 11;
inline constexpr int kSdrPlayStopPending = 16;  // Uninit: a slave still runs
inline constexpr int kSdrPlayAlreadyInitialised = 17;
inline constexpr int kSdrPlayDeviceRemovedError = 20;

typedef int (*sdrplay_api_Open_fn)(void);
typedef int (*sdrplay_api_Close_fn)(void);
typedef int (*sdrplay_api_ApiVersion_fn)(float* apiVer);
typedef int (*sdrplay_api_LockDeviceApi_fn)(void);
typedef int (*sdrplay_api_UnlockDeviceApi_fn)(void);
typedef int (*sdrplay_api_GetDevices_fn)(sdrplay_api_DeviceT* devices, unsigned int* numDevs, unsigned int maxDevs);
typedef int (*sdrplay_api_SelectDevice_fn)(sdrplay_api_DeviceT* device);
typedef int (*sdrplay_api_ReleaseDevice_fn)(sdrplay_api_DeviceT* device);
typedef const char* (*sdrplay_api_GetErrorString_fn)(int err);
typedef sdrplay_api_ErrorInfoT* (*sdrplay_api_GetLastError_fn)(sdrplay_api_DeviceT* device);
typedef int (*sdrplay_api_DebugEnable_fn)(sdrplay_api_DeviceT_handle dev, int enable);
typedef int (*sdrplay_api_GetDeviceParams_fn)(sdrplay_api_DeviceT_handle dev, sdrplay_api_DeviceParamsT** params);
typedef int (*sdrplay_api_Init_fn)(sdrplay_api_DeviceT_handle dev, sdrplay_api_CallbackFnsT* callbacks,
                                   void* cbContext);
typedef int (*sdrplay_api_Uninit_fn)(sdrplay_api_DeviceT_handle dev);
typedef int (*sdrplay_api_Update_fn)(sdrplay_api_DeviceT_handle dev, int32_t tuner, uint32_t reason,
                                     uint32_t reasonExt1);
typedef int (*sdrplay_api_SwapRspDuoActiveTuner_fn)(sdrplay_api_DeviceT_handle dev, int32_t* currentTuner,
                                                    int32_t tuner1AmPortSel);
// Never called by this program (only looked up); its arguments are therefore not declared.
typedef int (*sdrplay_api_SwapRspDuoDualTunerModeSampleRate_fn)(void);

}  // extern "C"

static_assert(sizeof(sdrplay_api_DeviceT) == 96, "the API's device record is 96 bytes");
static_assert(offsetof(sdrplay_api_DeviceT, hwVer) == 64);
static_assert(offsetof(sdrplay_api_DeviceT, rspDuoSampleFreq) == 80);
static_assert(offsetof(sdrplay_api_DeviceT, dev) == 88);
static_assert(offsetof(sdrplay_api_ErrorInfoT, message) == 516);
