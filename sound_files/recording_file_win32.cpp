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
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/disk_space_win32.h"
#include "sound_files/file_series.h"
#include "sound_files/wave_create.h"

namespace jf = ja::files;

namespace {

// The format of the series' files, for their headers.
std::vector<uint8_t> series_record;
// The first file's name, the number of the current one (1: the first), and
// the name and data bytes of the file before it.
std::string series_first;
unsigned series_number = 1;
std::string previous_name;
DWORD previous_bytes = 0;
// 1 while a flush runs on its thread.
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

}  // namespace

const char* CreateRecordingChunks() {
  OwnedCurrentFile().riff_chunk = MMCKINFO();
  OwnedCurrentFile().riff_chunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  OwnedCurrentFile().riff_chunk.cksize = 0;
  if (mmioCreateChunk(current_file.file_mmio, &OwnedCurrentFile().riff_chunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_RIFF, jf::kCantCreateRiff);
  OwnedCurrentFile().inner_chunk = MMCKINFO();
  OwnedCurrentFile().inner_chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  OwnedCurrentFile().inner_chunk.cksize = RECORDING_FORMAT_SIZE;
  if (mmioCreateChunk(current_file.file_mmio, &OwnedCurrentFile().inner_chunk, 0) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_FMT, jf::kCantCreateFmt);
  return nullptr;
}

const char* CreateDataChunk() {
  mmioAscend(current_file.file_mmio, &OwnedCurrentFile().inner_chunk, 0);
  OwnedCurrentFile().inner_chunk = MMCKINFO();
  OwnedCurrentFile().inner_chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  OwnedCurrentFile().inner_chunk.cksize = 0;
  if (mmioCreateChunk(current_file.file_mmio, &OwnedCurrentFile().inner_chunk, 0) != MMSYSERR_NOERROR)
    return PickId(IDS_CANT_CREATE_DATA, jf::kCantCreateData);
  return nullptr;
}

void BeginRecordingSeries(const std::vector<uint8_t>& record) {
  series_record = record;
  series_first = current_file.file_name;
  series_number = 1;
  previous_name.clear();
  previous_bytes = 0;
}

std::string ContinueInNextFile() {
  if (!current_file.file_mmio || series_record.empty()) return PickId(IDS_CANT_OPEN_FILE, jf::kCantOpenFile);
  CloseFileChunks();
  CloseSoundFile();
  unsigned number = series_number;
  const std::string name = NextFreeSeriesName(series_first, number, [](const std::string& n) {
    return IsDeviceName(n.c_str()) || !ReserveName(n);
  });
  bool made = false;
  if (!name.empty() && name.size() < sizeof current_file.file_name && FitsNameLength(name.c_str())) {
    OwnedCurrentFile().file_mmio = OpenMmioNamed(name.c_str(), MMIO_CREATE | MMIO_WRITE);
    made = current_file.file_mmio && !CreateRecordingChunks() &&
           mmioWrite(current_file.file_mmio, reinterpret_cast<const char*>(series_record.data()),
                     RECORDING_FORMAT_SIZE) == RECORDING_FORMAT_SIZE &&
           !CreateDataChunk();
  }
  if (!made) {
    // The file before stays the recording's last; the new one goes.
    CloseSoundFile();
    if (!name.empty()) DeleteFileNamed(name.c_str());
    return SeriesStoppedText(name.empty() ? SeriesFileName(series_first, number) : name, current_file.file_name);
  }
  series_number = number;
  previous_name = current_file.file_name;
  previous_bytes = current_file.data_count;
  NameCurrentFile(name.c_str());
  OwnedCurrentFile().data_count = 0;
  MeasureDiskSpace(current_file.file_name);
  RefreshFileCapacity(true);
  return {};
}

bool StepBackInSeries() {
  if (previous_name.empty() || current_file.data_count != 0) return false;
  NameCurrentFile(previous_name.c_str());
  OwnedCurrentFile().data_count = previous_bytes;
  previous_name.clear();
  return true;
}

bool UpdateRecordingHeader() {
  if (!current_file.file_mmio || series_record.empty()) return false;
  const std::vector<uint8_t> header = MakeRecordingHeader(series_record, current_file.data_count);
  const LONG end = mmioSeek(current_file.file_mmio, 0, SEEK_CUR);
  const bool written = end >= 0 && mmioSeek(current_file.file_mmio, 0, SEEK_SET) == 0 &&
                       mmioWrite(current_file.file_mmio, reinterpret_cast<const char*>(header.data()),
                                 static_cast<LONG>(header.size())) == static_cast<LONG>(header.size());
  if (end >= 0) mmioSeek(current_file.file_mmio, end, SEEK_SET);
  return written;
}

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
