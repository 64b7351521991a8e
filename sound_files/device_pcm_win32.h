// The PCM a compressed file plays as where the wave mapper cannot convert it
// itself. Wine's mapper tries only plain PCM, which its sound driver refuses
// beyond two channels, while a codec suggests extensible PCM for those (as
// Windows' mapper would take it): the playback then converts the file itself.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The PCM record the installed codecs suggest for the file's format record,
// where the wave output takes it; empty for a PCM record, or where no codec
// suggests PCM or the output refuses what it suggests.
std::vector<uint8_t> DevicePcmFor(const uint8_t* record, size_t size);
