#pragma once

// Audio data records shared by hosts and units: stream formats, buffer lists and time stamps.

#include "sdk/corefoundation/MacTypes.h"

struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

inline constexpr UInt32 kAudioFormatLinearPCM = 0x6C70636D;  // 'lpcm'
inline constexpr UInt32 kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr UInt32 kAudioFormatFlagIsBigEndian = 1u << 1;
inline constexpr UInt32 kAudioFormatFlagIsSignedInteger = 1u << 2;
inline constexpr UInt32 kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 1u << 5;
// 32-bit float, packed, one buffer per channel: the only format the units here take.
inline constexpr UInt32 kAudioFormatFlagsCanonicalNonInterleaved =
    kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

// A header followed by mNumberBuffers buffers; the declared single entry is only the smallest list.
struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];

    static constexpr UInt32 byteSize(UInt32 buffers) {
        return static_cast<UInt32>(sizeof(AudioBufferList) +
                                   (buffers > 1 ? buffers - 1 : 0) * sizeof(AudioBuffer));
    }
};

struct SMPTETime {
    SInt16 mSubframes;
    SInt16 mSubframeDivisor;
    UInt32 mCounter;
    UInt32 mType;
    UInt32 mFlags;
    SInt16 mHours;
    SInt16 mMinutes;
    SInt16 mSeconds;
    SInt16 mFrames;
};

struct AudioTimeStamp {
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    UInt32 mFlags;
    UInt32 mReserved;
};

inline constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;
inline constexpr UInt32 kAudioTimeStampHostTimeValid = 1u << 1;
inline constexpr UInt32 kAudioTimeStampRateScalarValid = 1u << 2;
inline constexpr UInt32 kAudioTimeStampWordClockTimeValid = 1u << 3;
inline constexpr UInt32 kAudioTimeStampSMPTETimeValid = 1u << 4;
