#include "audio/converted_output_win32.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "audio/transport_math.h"
#include "audio/transport_state_win32.h"
#include "base/acm_stream_win32.h"
#include "base/app_state_win32.h"
#include "sound_files/device_pcm_win32.h"
#include "sound_files/wide_pcm.h"

namespace {

// Source bytes per conversion call.
constexpr DWORD kSourcePiece = 16384;

using Slot = ConvertedOutput::Slot;

int SlotOf(const WAVEHDR* header) {
  for (int i = 0; i < kBlockCount; ++i) {
    if (transport.block_header[i] == header) return i;
  }
  return -1;
}

// Makes room for `count` more bytes in the slot (and a data area even for
// none); false when no memory is left.
bool Reserve(Slot& slot, size_t count) {
  if (slot.data && slot.used + count <= slot.capacity) return true;
  size_t capacity = slot.capacity ? slot.capacity : 65536;
  while (capacity < slot.used + count) capacity *= 2;
  auto* grown = static_cast<uint8_t*>(realloc(slot.data, capacity));
  if (!grown) return false;
  slot.data = grown;
  slot.capacity = capacity;
  return true;
}

bool Append(Slot& slot, const uint8_t* bytes, DWORD count) {
  if (!Reserve(slot, count)) return false;
  memcpy(slot.data + slot.used, bytes, count);
  slot.used += count;
  return true;
}

}  // namespace

MMRESULT OpenConvertedOutput(const std::vector<uint8_t>& file_record, DWORD device_rate) {
  CloseConvertedOutput();
  RunRecord& run = OwnedRun();
  ConvertedOutput& converted = run.playback.converted;
  std::vector<uint8_t> pcm = DevicePcmFor(file_record.data(), file_record.size());
  if (pcm.empty() || device_rate == 0) return WAVERR_BADFORMAT;
  std::vector<uint8_t> device_pcm = pcm;
  auto* played = reinterpret_cast<WAVEFORMATEX*>(device_pcm.data());
  played->nSamplesPerSec = device_rate;
  played->nAvgBytesPerSec = device_rate * played->nBlockAlign;
  const MMRESULT opened = waveOutOpen(&run.wave_out, WAVE_MAPPER, played,
                                      reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW);
  if (opened != MMSYSERR_NOERROR) {
    run.wave_out = nullptr;
    return opened;
  }
  converted.narrowing = PcmNarrowingOf(file_record.data(), file_record.size(), pcm.data(), pcm.size());
  const std::vector<uint8_t> source = AcmSourceRecord(file_record.data(), file_record.size());
  if (!converted.narrowing.valid()) {
    converted.stream = std::make_unique<AcmStream>();
    if (!converted.stream->Open(reinterpret_cast<const WAVEFORMATEX*>(source.data()),
                                reinterpret_cast<const WAVEFORMATEX*>(pcm.data()), kSourcePiece,
                                ACM_LARGEST_DESTINATION)) {
      converted.stream.reset();
      waveOutClose(run.wave_out);
      run.wave_out = nullptr;
      return WAVERR_BADFORMAT;
    }
  }
  converted.converting = true;
  return MMSYSERR_NOERROR;
}

MMRESULT PrepareOutputHeader(WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  ConvertedOutput& converted = run.playback.converted;
  if (!converted.converting) return waveOutPrepareHeader(run.wave_out, header, sizeof(WAVEHDR));
  const int index = SlotOf(header);
  if (index < 0 || !header->lpData) return MMSYSERR_INVALPARAM;
  Slot& slot = converted.slots[index];
  slot.used = 0;
  bool room = Reserve(slot, 0);
  const bool end = IsLastBlock(static_cast<uint32_t>(header->dwUser));
  const auto* bytes_in = reinterpret_cast<const uint8_t*>(header->lpData);
  bool whole = true;
  if (converted.narrowing.valid()) {
    room = room && Reserve(slot, NarrowedBytes(converted.narrowing, header->dwBufferLength));
    if (room) slot.used = NarrowPcm(converted.narrowing, bytes_in, header->dwBufferLength, slot.data);
  } else {
    whole = converted.stream->Convert(bytes_in, header->dwBufferLength, end, [&](const uint8_t* pcm, DWORD bytes) {
      room = room && Append(slot, pcm, bytes);
    });
  }
  if (!room) return MMSYSERR_NOMEM;
  if (!whole) return MMSYSERR_ERROR;
  header->lpData = reinterpret_cast<LPSTR>(slot.data);
  header->dwBufferLength = static_cast<DWORD>(slot.used);
  slot.header = header;
  return waveOutPrepareHeader(run.wave_out, header, sizeof(WAVEHDR));
}

void CloseConvertedOutput() {
  ConvertedOutput& converted = OwnedRun().playback.converted;
  if (!converted.converting) return;
  converted.converting = false;
  converted.narrowing = PcmNarrowing();
  converted.stream.reset();
  for (Slot& slot : converted.slots) {
    // A device lost before it handed a block back keeps it queued.
    const bool held = slot.header && (slot.header->dwFlags & WHDR_INQUEUE) &&
                      slot.header->lpData == reinterpret_cast<LPSTR>(slot.data);
    if (!held) free(slot.data);
    slot = Slot();
  }
}
