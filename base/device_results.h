// The results of the wave device functions that the portable code tells
// apart, under names of their own: the portable code sees no Windows header.
// sound_files/wave_file_win32.cpp checks them against the system's values.
#pragma once

constexpr unsigned kDeviceBadId = 2;        // MMSYSERR_BADDEVICEID
constexpr unsigned kDeviceAllocated = 4;    // MMSYSERR_ALLOCATED
constexpr unsigned kDeviceNoDriver = 6;     // MMSYSERR_NODRIVER
constexpr unsigned kDeviceNoMemory = 7;     // MMSYSERR_NOMEM
constexpr unsigned kDeviceInvalidParam = 11;  // MMSYSERR_INVALPARAM
constexpr unsigned kDeviceBadFormat = 32;   // WAVERR_BADFORMAT
constexpr unsigned kDeviceSync = 35;        // WAVERR_SYNC
