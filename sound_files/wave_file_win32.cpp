// Opening the current file for playing and creating it for recording, with
// the multimedia file functions and the device format queries.
#include "sound_files/wave_file_win32.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/app_state_win32.h"
#include "base/device_results.h"
#include "base/file_names_win32.h"
#include "base/text_rules.h"
#include "base/ui_text_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "sound_files/analysis_replay_win32.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/device_pcm_win32.h"
#include "sound_files/disk_space_win32.h"
#include "sound_files/file_series.h"
#include "sound_files/mmio_riff_file_win32.h"
#include "sound_files/recording_file_win32.h"
#include "sound_files/repair_win32.h"
#include "sound_files/sound_file_open.h"
#include "sound_files/wave_create.h"
#include "sound_files/wave_repair.h"
#include "sound_files/wide_pcm.h"

namespace jf = ja::files;

// The portable texts tell the device results apart by these numbers.
static_assert(kDeviceBadId == MMSYSERR_BADDEVICEID && kDeviceAllocated == MMSYSERR_ALLOCATED &&
                  kDeviceNoDriver == MMSYSERR_NODRIVER && kDeviceNoMemory == MMSYSERR_NOMEM &&
                  kDeviceInvalidParam == MMSYSERR_INVALPARAM &&
                  kDeviceBadFormat == WAVERR_BADFORMAT && kDeviceSync == WAVERR_SYNC,
              "device results as the system numbers them");

void ShowCannotOpenFile() { ShowFailure(PickId(IDS_CANT_OPEN_FILE, jf::kCantOpenFile)); }

bool FitsFileName(const char* name) { return FitsNameLength(name) && strlen(name) < sizeof current_file.file_name; }

const char* FailureMessage(const FailureText& text) {
  return text.english_id >= 0 ? PickId(static_cast<UINT>(text.english_id), text.japanese)
                              : Pick(text.english, text.japanese);
}

namespace {

// The record as the portable checks see it.
std::vector<uint8_t> CurrentRecord() {
  if (!current_file.pFormat) return {};
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(current_file.pFormat);
  return std::vector<uint8_t>(bytes, bytes + current_file.format_size);
}

// Asks whether a file whose recording never closed should be repaired. True
// when it was and the open can start again.
enum class RepairOutcome { REPAIRED, DECLINED, FAILED };
RepairOutcome OfferRepair() {
  const int answer = ShowMessageBox(app.main_window, FailureMessage(OpenFailureText(OpenFailure::DAMAGED)), nullptr,
                                 MB_YESNO);
  CloseSoundFile();
  if (answer != IDYES) return RepairOutcome::DECLINED;
  if (RepairWave()) return RepairOutcome::REPAIRED;
  ShowFailure(Pick("cant recover", jf::kCantRecover));
  return RepairOutcome::FAILED;
}

// A recording cut off after the last update of its header (the process
// ended, the power went) still has the sound it wrote after it. Offered once
// per file: declined, the file plays as its header says until it changes.
struct DeclinedTail {
  std::string name;
  uint32_t length = 0;
};
// Per process: the user's answer holds for as long as the program runs.
DeclinedTail declined_tail;

// Asks whether the sound after a cut-off recording's end should be taken in.
// True when the file was closed for the repair: the open starts again.
bool OfferTailRecovery(const RecordingTail& tail, uint32_t length) {
  if (declined_tail.name == current_file.file_name && declined_tail.length == length) return false;
  char text[300];
  const TailLength shown = TailLengthShown(tail);
  if (shown.in_milliseconds)
    snprintf(text, sizeof text, Pick(en::files::kRecoverTailMs, jf::kRecoverTailMs), shown.milliseconds);
  else
    snprintf(text, sizeof text, Pick(en::files::kRecoverTail, jf::kRecoverTail), shown.seconds);
  const int answer = ShowMessageBox(app.main_window, text, nullptr, MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) {
    declined_tail = DeclinedTail{current_file.file_name, length};
    return false;
  }
  CloseSoundFile();
  if (!RepairWave()) {
    ShowFailure(Pick("cant recover", jf::kCantRecover));
    declined_tail = DeclinedTail{current_file.file_name, length};
  }
  return true;
}

// The output device query with its 48000-to-44100 and mono fallbacks. False
// after the failure message (record and file still to be released).
bool QueryOutputDevice() {
  // The query's steps change the device's own record: the record stays the
  // file's, and the playback start makes the same steps when it opens the
  // device.
  const std::vector<uint8_t> file_record = CurrentRecord();
  std::vector<uint8_t> query = DeviceRecordOf(file_record.data(), file_record.size());
  if (query.size() < sizeof(FormatRecord)) query.resize(sizeof(FormatRecord), 0);
  FormatRecord* asked = reinterpret_cast<FormatRecord*>(query.data());
  for (;;) {
    const MMRESULT result =
        waveOutOpen(nullptr, WAVE_MAPPER, reinterpret_cast<LPCWAVEFORMATEX>(asked), 0, 0, WAVE_FORMAT_QUERY);
    if (result == MMSYSERR_NOERROR) return true;
    // A compressed format the mapper cannot convert plays as the PCM its
    // codec suggests, wide PCM as 24 or 16 bits, converted by the playback.
    const auto* record = reinterpret_cast<const uint8_t*>(current_file.pFormat);
    if (FormatRefused(result) && !DevicePcmFor(record, current_file.format_size).empty()) return true;
    RefreshFileCapacity(false);
    switch (NextPlayQueryStep(result, query, app.windows_version)) {
      case QueryStep::RETRY_44100:
        asked->wf.nSamplesPerSec = 44100;
        continue;
      case QueryStep::RETRY_MONO:
        asked->wf.nChannels = 1;
        continue;
      case QueryStep::GIVE_UP:
        ShowFailure(FailureMessage(PlayQueryFailureText(result)));
        return false;
    }
  }
}

// Opens the current file with these multimedia-file flags, in place of any
// file open before (there is only ever one sound file open). False after the
// failure message.
bool OpenCurrentFile(DWORD flags) {
  CurrentFile& file = OwnedCurrentFile();
  if (!file.file_name[0]) {
    ShowFailure(PickId(IDS_FILE_NAME, jf::kFileNameMissing));
    return false;
  }
  CloseSoundFile();
  // No device ("NUL.WAV", "COM1", "\\.\..."): a recording into it would be
  // lost, a read from it might never return.
  file.file_mmio = OpenMmioNamed(file.file_name, flags);
  if (!file.file_mmio) {
    ShowCannotOpenFile();
    return false;
  }
  return true;
}

bool FailAfterRecord(const FailureText& text) {
  ShowFailure(FailureMessage(text));
  FreeFormatRecord();
  CloseSoundFile();
  return false;
}

// OpenForPlay's steps; false after the failure message.
bool OpenFileForPlay() {
  CurrentFile& file = OwnedCurrentFile();
  for (;;) {
    if (!OpenCurrentFile(MMIO_ALLOCBUF | MMIO_READ)) return false;
    file.data_total = 0;
    WithholdByteRate();
    MmioRiffFile riff(file.file_mmio, file.file_name);
    // A file of 4 GB or more has no length a 32-bit header can be judged by.
    const uint32_t length = riff.Size();
    const RecordingTail tail = length != 0xFFFFFFFFu ? FindRecordingTail(riff, length) : RecordingTail();
    if (tail.bytes != 0 && OfferTailRecovery(tail, length)) continue;  // open the repaired file afresh
    SoundFileIdentity id = IdentifySoundFile(riff);

    if (id.failure == OpenFailure::DAMAGED) {
      const RepairOutcome outcome = OfferRepair();
      if (outcome == RepairOutcome::REPAIRED) continue;  // open the repaired file afresh
      return false;
    }
    // A stream's analysis worked with its length (the whole file, or the data
    // chunk of a wrapped one).
    if (!id.riff || id.kind == SoundKind::RIFF_MPEG) file.data_total = file.data_count = id.analysed_data_total;

    const ReplayResult replay = ReplayAnalysis(id.report, nullptr, id.format);
    if (replay == ReplayResult::ABORTED) return false;
    if (id.failure != OpenFailure::NONE) {
      // A record that was allocated for this file goes; one from before stays.
      ShowFailure(FailureMessage(OpenFailureText(id.failure)));
      if (replay == ReplayResult::RECORD) FreeFormatRecord();
      CloseSoundFile();
      return false;
    }

    TakeCurrentFormat();
    if (!QueryOutputDevice()) {
      FreeFormatRecord();
      CloseSoundFile();
      return false;
    }
    uint32_t data_total = 0;
    const OpenFailure located = LocateSoundData(riff, id, data_total);
    if (located == OpenFailure::NO_DATA_IN_WAVE) return FailAfterRecord(OpenFailureText(located));
    file.data_total = file.data_count = data_total;
    MeasureDiskSpace(file.file_name);
    if (located == OpenFailure::DATA_EMPTY) return FailAfterRecord(OpenFailureText(located));
    RefreshFileCapacity(false);
    return true;
  }
}

}  // namespace

bool OpenForPlay() {
  if (OpenFileForPlay()) return true;
  // Nothing of a refused file, nor of the file before it, is current.
  ForgetCurrentFormat();
  return false;
}

namespace {

// The file stays open for the caller, which abandons the transport: that
// closes it and removes it while it holds no sound.
bool FailCreate(const char* message, bool free_record) {
  ShowFailure(message);
  if (free_record) FreeFormatRecord();
  return false;
}

}  // namespace

bool CreateForRecord() {
  CurrentFile& file = OwnedCurrentFile();
  // A name whose next files of the series would not fit is refused now, not
  // when its first file is full hours later.
  if (file.file_name[0] && !SeriesNamesFit(file.file_name)) {
    ShowCannotOpenFile();
    return false;
  }
  if (!OpenCurrentFile(MMIO_CREATE | MMIO_WRITE)) return false;
  // Nothing recorded yet: a failure below leaves an empty file for the
  // transport clean-up to remove.
  file.data_count = 0;
  if (const char* failure = CreateRecordingChunks()) return FailCreate(failure, false);

  if (!AllocFormatRecord(RECORDING_FORMAT_SIZE)) return false;
  const Settings& s = app.settings;
  const std::vector<uint8_t> record =
      MakeRecordingFormat(s.rec_freq, static_cast<uint16_t>(s.rec_channel), static_cast<uint16_t>(s.rec_bits));
  std::memcpy(file.pFormat, record.data(), record.size());

  if (mmioWrite(file.file_mmio, reinterpret_cast<const char*>(file.pFormat), RECORDING_FORMAT_SIZE) !=
      RECORDING_FORMAT_SIZE)
    return FailCreate(PickId(IDS_CANT_WRITE_FMT, jf::kCantWriteFmt), true);

  TakeCurrentFormat();
  const MMRESULT query =
      waveInOpen(nullptr, WAVE_MAPPER, reinterpret_cast<LPCWAVEFORMATEX>(file.pFormat), 0, 0, WAVE_FORMAT_QUERY);
  if (query != MMSYSERR_NOERROR) return FailCreate(FailureMessage(RecordQueryFailureText(query)), true);

  if (const char* failure = CreateDataChunk()) return FailCreate(failure, true);
  BeginRecordingSeries(record);

  MeasureDiskSpace(file.file_name);
  file.data_total = RecordingCapacity(file.free_bytes, file.cluster_bytes);
  RefreshFileCapacity(true);
  file.data_count = 0;
  return true;
}
