// The open-for-play walk on arbitrary bytes: RIFF chunk search, the "fmt "
// chunk, the data search, and the stream analysers on raw and wrapped files.
#include <cstddef>
#include <cstdint>

#include "sound_files/sound_file_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryRiffFile file(data, size);
  SoundFileIdentity id = IdentifySoundFile(file);
  if (id.failure == OpenFailure::NONE) {
    uint32_t data_total = 0;
    if (LocateSoundData(file, id, data_total) == OpenFailure::NONE) {
      // The data never runs past the end of the file.
      if (static_cast<uint64_t>(file.Position()) + data_total > size) __builtin_trap();
    }
  }
  return 0;
}
