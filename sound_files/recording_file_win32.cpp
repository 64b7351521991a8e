// The recording file while it grows, and its series, with the multimedia file
// functions (the file is opened unbuffered: every write reaches the system at
// once).
#include "sound_files/recording_file_win32.h"

#include <mmsystem.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/text_rules.h"
#include "base/ui_text_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/disk_space_win32.h"
#include "sound_files/file_series.h"
#include "sound_files/wave_create.h"

// The largest file of a series. The fault build (tests/wine/fault_build.h)
// lowers it, so that a test can record a series in seconds.
#ifndef TAPEON_RECORDING_FILE_LIMIT
#define TAPEON_RECORDING_FILE_LIMIT kWaveFileLimit
#endif

namespace jf = ja::files;

namespace {

// The recording file's record: its series and how the run writes into it.
struct RecordingFile {
  // The format of the series' files, for their headers.
  std::vector<uint8_t> record;
  // The first file's name, the number of the current one (1: the first), and
  // the name and data bytes of the file before it.
  std::string first;
  unsigned number = 1;
  std::string previous_name;
  DWORD previous_bytes = 0;
  // The run writes block after block (BeginRecordingWrites), and asked the
  // disk to keep the file last at this time.
  bool streaming = false;
  DWORD last_flush = 0;
};

RecordingFile recording;

// 1 while a flush runs on its thread. Per process, not the recording's: the
// thread clears it, and may outlive the recording that started it.
volatile LONG flushing = 0;

// Flushes the file named by `name` (a std::string it takes over) through a
// handle of its own. On Windows the I/O of a file object opened for
// synchronous I/O, as the multimedia file functions open it, is serialized:
// a flush through the recording's own handle, or a duplicate of it (the same
// file object), would hold the next block's seek and write on the main
// thread for as long as the disk takes (seconds on a memory card or a
// network drive). A second open of the file is a file object of its own;
// flushing it flushes the file's cache all the same. (Wine serializes
// nothing here: its writes and flushes go to the file's Unix descriptor.)
DWORD WINAPI FlushThread(void* name) {
  const std::unique_ptr<std::string> file_name(static_cast<std::string*>(name));
  // Windows 95/98/Me take no FILE_SHARE_DELETE; on NT it lets the file be
  // removed while the flush still runs.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (UnicodeNames() ? FILE_SHARE_DELETE : 0);
  const HANDLE file = OpenFileNamed(file_name->c_str(), GENERIC_WRITE, share, OPEN_EXISTING);
  if (file != INVALID_HANDLE_VALUE) {
    FlushFileBuffers(file);
    CloseHandle(file);
  }
  InterlockedExchange(&flushing, 0);
  return 0;
}

// Takes `name` for the next file when nothing has it: made empty here, so
// that nothing else takes it before the recording opens it. False when a
// file or folder of that name exists; any other failure leaves the name to
// the open, which then reports it.
bool ReserveName(const std::string& name) {
  HANDLE file = OpenFileNamed(name.c_str(), GENERIC_WRITE, 0, CREATE_NEW);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  const DWORD error = GetLastError();
  return error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
         FileAttributeBits(name.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// The run ends: the next file of the series (`next`) could not be made, and
// `last` holds the end of the recording.
std::string SeriesStoppedText(const std::string& next, const std::string& last) {
  char text[2 * NAME_BUFFER_SIZE + 256];
  snprintf(text, sizeof text, Pick(en::files::kSeriesStopped, jf::kSeriesStopped), NameForDisplay(next.c_str()).c_str(),
           NameForDisplay(last.c_str()).c_str());
  return text;
}

// Closes the current file, whole (chunk sizes written), and creates the next
// file of the series (TAKE (2).WAV, ...: sound_files/file_series.h, never over
// a file that exists) as the current file, empty and positioned at its data.
// The name is the current file's name (file_name) from then on. When no file
// can be made: the text to show (the caller shows it once the input device
// is stopped), which says that the recording stopped, the file that could
// not be made and the one that holds the end of the recording, which is
// closed whole and still named by file_name; empty on success.
std::string ContinueInNextFile() {
  CurrentFile& file = OwnedCurrentFile();
  if (!file.file_mmio || recording.record.empty()) return PickId(IDS_CANT_OPEN_FILE, jf::kCantOpenFile);
  CloseFileChunks();
  CloseSoundFile();
  unsigned number = recording.number;
  const std::string name = NextFreeSeriesName(recording.first, number, [](const std::string& n) {
    return IsDeviceName(n.c_str()) || !ReserveName(n);
  });
  bool made = false;
  if (!name.empty() && name.size() < sizeof file.file_name && FitsNameLength(name.c_str())) {
    file.file_mmio = OpenMmioNamed(name.c_str(), MMIO_CREATE | MMIO_WRITE);
    made = file.file_mmio && !CreateRecordingChunks() &&
           mmioWrite(file.file_mmio, reinterpret_cast<const char*>(recording.record.data()), RECORDING_FORMAT_SIZE) ==
               RECORDING_FORMAT_SIZE &&
           !CreateDataChunk();
  }
  if (!made) {
    // The file before stays the recording's last; the new one goes.
    CloseSoundFile();
    if (!name.empty()) DeleteFileNamed(name.c_str());
    return SeriesStoppedText(name.empty() ? SeriesFileName(recording.first, number) : name, file.file_name);
  }
  recording.number = number;
  recording.previous_name = file.file_name;
  recording.previous_bytes = file.data_count;
  NameCurrentFile(name.c_str());
  file.data_count = 0;
  MeasureDiskSpace(file.file_name);
  RefreshFileCapacity(true);
  return {};
}

// Rewrites the header of the recording file for the data_count bytes written,
// in one write, and comes back to the end: the file is a whole WAVE file of
// what it holds. False when the write failed.
bool UpdateRecordingHeader() {
  const HMMIO mmio = current_file.file_mmio;
  if (!mmio || recording.record.empty()) return false;
  const std::vector<uint8_t> header = MakeRecordingHeader(recording.record, current_file.data_count);
  const LONG end = mmioSeek(mmio, 0, SEEK_CUR);
  const bool written = end >= 0 && mmioSeek(mmio, 0, SEEK_SET) == 0 &&
                       mmioWrite(mmio, reinterpret_cast<const char*>(header.data()), static_cast<LONG>(header.size())) ==
                           static_cast<LONG>(header.size());
  if (end >= 0) mmioSeek(mmio, end, SEEK_SET);
  return written;
}

// Asks the system to put what was written to the recording file on the disk.
// This runs on a thread of its own, through a handle of its own (a slow disk
// may take seconds, and the input must be taken back meanwhile: nothing the
// recording writes through waits for it); a request while the last one is
// still running is dropped.
void FlushRecordingFile() {
  if (!current_file.file_mmio || InterlockedCompareExchange(&flushing, 1, 0) != 0) return;
  // The thread opens the file by its name, so that even the open (slow on a
  // network drive) keeps off this thread.
  std::string* name = new std::string(current_file.file_name);
  const HANDLE thread = CreateThread(nullptr, 0, FlushThread, name, 0, nullptr);
  if (thread) {
    CloseHandle(thread);  // it ends by itself
    return;
  }
  delete name;
  InterlockedExchange(&flushing, 0);
}

}  // namespace

const char* CreateRecordingChunks() {
  CurrentFile& file = OwnedCurrentFile();
  file.riff_chunk = MMCKINFO();
  file.riff_chunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  file.riff_chunk.cksize = 0;
  if (mmioCreateChunk(file.file_mmio, &file.riff_chunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_RIFF, jf::kCantCreateRiff);
  file.inner_chunk = MMCKINFO();
  file.inner_chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  file.inner_chunk.cksize = RECORDING_FORMAT_SIZE;
  if (mmioCreateChunk(file.file_mmio, &file.inner_chunk, 0) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_FMT, jf::kCantCreateFmt);
  return nullptr;
}

const char* CreateDataChunk() {
  CurrentFile& file = OwnedCurrentFile();
  mmioAscend(file.file_mmio, &file.inner_chunk, 0);
  file.inner_chunk = MMCKINFO();
  file.inner_chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  file.inner_chunk.cksize = 0;
  if (mmioCreateChunk(file.file_mmio, &file.inner_chunk, 0) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_DATA, jf::kCantCreateData);
  return nullptr;
}

void BeginRecordingSeries(const std::vector<uint8_t>& record) {
  recording = RecordingFile();
  recording.record = record;
  recording.first = current_file.file_name;
}

void BeginRecordingWrites(bool streaming) {
  recording.streaming = streaming;
  recording.last_flush = timeGetTime();
}

RecordingWrite AppendRecording(const char* data, DWORD bytes) {
  CurrentFile& file = OwnedCurrentFile();
  RecordingWrite result;
  const uint32_t limit = TAPEON_RECORDING_FILE_LIMIT;
  const int16_t frame = file.format.blockalign;
  if (recording.streaming && file.data_count > 0 && FitIntoWaveFile(file.data_count, bytes, frame, limit) < bytes) {
    result.failure = ContinueInNextFile();
    if (!result.failure.empty()) return result;
    result.next_file = true;
  }
  const DWORD fit = recording.streaming ? FitIntoWaveFile(file.data_count, bytes, frame, limit) : bytes;
  const LONG written = fit > 0 ? mmioWrite(file.file_mmio, data, static_cast<LONG>(fit)) : 0;
  if (written > 0) {
    result.written = WholeBlocks(static_cast<DWORD>(written), frame);
    if (result.written < static_cast<DWORD>(written))
      mmioSeek(file.file_mmio, -static_cast<LONG>(static_cast<DWORD>(written) - result.written), SEEK_CUR);
  }
  file.data_count += result.written;
  // A header that cannot be kept true is an I/O error as a short write is.
  bool header_kept = true;
  if (recording.streaming && result.written > 0) {
    header_kept = UpdateRecordingHeader();
    const DWORD now = timeGetTime();
    if (now - recording.last_flush >= kFlushIntervalMs) {
      FlushRecordingFile();
      recording.last_flush = now;
    }
  }
  result.whole = result.written == bytes && header_kept;
  if (!result.whole) result.failure = PickId(IDS_DISK_FULL, ja::audio::kDiskFull);
  return result;
}

bool StepBackInSeries() {
  CurrentFile& file = OwnedCurrentFile();
  if (recording.previous_name.empty() || file.data_count != 0) return false;
  NameCurrentFile(recording.previous_name.c_str());
  file.data_count = recording.previous_bytes;
  recording.previous_name.clear();
  return true;
}
