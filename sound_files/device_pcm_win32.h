// The PCM a file plays as where the wave mapper cannot convert it itself.
// Wine's mapper tries only plain PCM, which its sound driver refuses beyond
// two channels, while a codec suggests extensible PCM for those (as Windows'
// mapper would take it); and the mapper converts PCM of 8 and 16 bits only,
// so wide PCM a device refuses (32-bit integer under Wine) goes to it as 24
// or 16 bits. The playback then converts the file itself.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The PCM record the wave output takes for the file's format record: for
// wide PCM (24 or 32 bits, float) the first of its narrower records
// (sound_files/wide_pcm.h) the output takes; for a compressed record the
// PCM the installed codecs suggest, where the output takes it. Empty for
// PCM of 8 or 16 bits, or where none is taken.
std::vector<uint8_t> DevicePcmFor(const uint8_t* record, size_t size);
