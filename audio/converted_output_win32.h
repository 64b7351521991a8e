// A playback that converts its file itself: where the wave mapper cannot
// convert a compressed format (sound_files/device_pcm_win32.h), the output
// device is opened with the PCM a codec suggests, and every block is
// converted through the audio compression manager as it is prepared for the
// device. The blocks' own data areas keep the file's bytes, so the rest of
// the playback (meter, position, pieces) goes on as for the mapper.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

// Opens transport.wave_out, for the main window, with the PCM the file's format
// record (as read, before the playing rate) converts to, played at
// `device_rate` (the rate the playing rate gives), and the conversion to it.
// MMSYSERR_NOERROR, or why not (WAVERR_BADFORMAT where no codec, nor a
// narrower PCM of a wide PCM file, offers PCM the device takes).
MMRESULT OpenConvertedOutput(const std::vector<uint8_t>& file_record, DWORD device_rate);
// Prepares a block for the output device. Where the playback converts, the
// block's bytes (lpData, dwBufferLength) are converted first, in order, the
// last block of the file (END_MARK) draining the converter, and the header
// then points to the PCM.
MMRESULT PrepareOutputHeader(WAVEHDR* header);
// Ends the run's conversion; called once the output device is closed. PCM a
// lost device still holds is left to it, never freed.
void CloseConvertedOutput();
