// Test-only DLL that the end-to-end driver loads into TAPEON to read menu
// states and texts, to watch the playback buffers, and to give it a mixer
// with a peak meter, from inside the program (see menu_probe.h).
#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "menu_probe.h"

namespace {

void ReadMenu(HMENU menu, int level, menu_probe::Request* request) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count && request->count < menu_probe::kMaxItems; ++position) {
    menu_probe::Item& item = request->items[request->count++];
    item.level = level;
    item.position = position;
    UINT state = GetMenuState(menu, position, MF_BYPOSITION);
    HMENU popup = GetSubMenu(menu, position);
    item.id = popup ? 0xFFFFFFFFu : GetMenuItemID(menu, position);
    // For a popup the high byte of the state is its item count.
    item.state = popup ? ((state & 0xFF) | MF_POPUP) : state;
    item.text[0] = 0;
    GetMenuStringA(menu, position, item.text, menu_probe::kTextBytes, MF_BYPOSITION);
    if (popup) ReadMenu(popup, level + 1, request);
  }
}

using WaveOutWriteFunction = MMRESULT(WINAPI*)(HWAVEOUT, LPWAVEHDR, UINT);
WaveOutWriteFunction real_wave_out_write = nullptr;
HANDLE watch_file = INVALID_HANDLE_VALUE;
HANDLE timing_file = INVALID_HANDLE_VALUE;

// Runs on the program's own thread, in place of waveOutWrite. The data area is
// not touched again before the device gives the buffer back (a message to the
// same thread), so writing it after the call still writes what was played.
WNDPROC program_window_procedure = nullptr;
HANDLE recording_file = INVALID_HANDLE_VALUE;

// Subclass of the program's main window: what the input device hands over
// is written before the program's own procedure handles it.
LRESULT CALLBACK WatchedWindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == MM_WIM_DATA && recording_file != INVALID_HANDLE_VALUE) {
    auto* header = reinterpret_cast<const WAVEHDR*>(l);
    DWORD written = 0;
    if (header && header->lpData)
      WriteFile(recording_file, header->lpData, header->dwBytesRecorded, &written, nullptr);
  }
  return CallWindowProcA(program_window_procedure, window, message, w, l);
}

// Opens `path` for a watch, replacing the file `current` wrote into.
bool OpenWatchFile(char* path, HANDLE* current) {
  path[menu_probe::kPathBytes - 1] = 0;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  HANDLE previous = InterlockedExchangePointer(current, file);
  if (previous != INVALID_HANDLE_VALUE) CloseHandle(previous);
  return true;
}

// Set by StallPlayback: buffers are taken and never played nor handed back.
volatile LONG stall_writes = 0;

MMRESULT WINAPI WatchedWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
  if (stall_writes) return MMSYSERR_NOERROR;
  const menu_probe::WriteTime time = {timeGetTime(), header ? header->dwBufferLength : 0};
  const MMRESULT result = real_wave_out_write(device, header, size);
  if (result == MMSYSERR_NOERROR && timing_file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(timing_file, &time, sizeof time, &written, nullptr);
  }
  if (result == MMSYSERR_NOERROR && header && header->lpData && watch_file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(watch_file, header->lpData, header->dwBufferLength, &written, nullptr);
  }
  return result;
}

// The import address table slot through which `module` calls `function` of
// `dll`, or null.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0 || !entry->OriginalFirstThunk) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(by_name->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

// ---- A mixer with a peak meter on its wave-output line ----

constexpr DWORD kWaveOutLineId = 0x30000;
constexpr DWORD kPeakControlId = 77;
HMIXER const kMixerHandle = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(0x4D580001));
volatile LONG peak_values[2] = {0, 0};

using GetProcAddressFunction = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFunction real_get_proc_address = nullptr;

MMRESULT WINAPI ProbeMixerOpen(LPHMIXER handle, UINT device, DWORD_PTR, DWORD_PTR, DWORD) {
  if (!handle || device != 0) return MMSYSERR_BADDEVICEID;
  *handle = kMixerHandle;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProbeMixerGetLineInfoA(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags) {
  if (reinterpret_cast<HMIXER>(mixer) != kMixerHandle || !line || line->cbStruct < sizeof(MIXERLINEA))
    return MMSYSERR_INVALPARAM;
  if ((flags & MIXER_GETLINEINFOF_QUERYMASK) != MIXER_GETLINEINFOF_COMPONENTTYPE ||
      line->dwComponentType != MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT)
    return MIXERR_INVALLINE;
  line->dwLineID = kWaveOutLineId;
  line->cChannels = 2;
  line->cControls = 1;
  lstrcpyA(line->szShortName, "Wave");
  lstrcpyA(line->szName, "Wave");
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProbeMixerGetLineControlsA(HMIXEROBJ mixer, LPMIXERLINECONTROLSA controls, DWORD flags) {
  if (reinterpret_cast<HMIXER>(mixer) != kMixerHandle || !controls || !controls->pamxctrl ||
      controls->cbmxctrl < sizeof(MIXERCONTROLA))
    return MMSYSERR_INVALPARAM;
  if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE ||
      controls->dwLineID != kWaveOutLineId || controls->dwControlType != MIXERCONTROL_CONTROLTYPE_PEAKMETER)
    return MIXERR_INVALCONTROL;
  MIXERCONTROLA& control = *controls->pamxctrl;
  control.dwControlID = kPeakControlId;
  control.dwControlType = MIXERCONTROL_CONTROLTYPE_PEAKMETER;
  control.Bounds.lMinimum = -32768;
  control.Bounds.lMaximum = 32767;
  lstrcpyA(control.szName, "Peak");
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProbeMixerGetControlDetailsA(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
  if (reinterpret_cast<HMIXER>(mixer) != kMixerHandle || !details || !details->paDetails ||
      details->dwControlID != kPeakControlId || details->cbDetails != sizeof(LONG) || details->cChannels < 1 ||
      details->cChannels > 2 || (flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE)
    return MMSYSERR_INVALPARAM;
  auto* values = static_cast<LONG*>(details->paDetails);
  for (DWORD i = 0; i < details->cChannels; ++i) values[i] = peak_values[i];
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProbeMixerClose(HMIXER mixer) { return mixer == kMixerHandle ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE; }

// Through a generic function pointer type, as GetProcAddress hands them out.
template <class Function>
FARPROC AsFarProc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Runs on the program's thread in place of GetProcAddress.
FARPROC WINAPI ProvidingGetProcAddress(HMODULE module, LPCSTR name) {
  if (HIWORD(reinterpret_cast<UINT_PTR>(name)) != 0) {
    static const struct {
      const char* name;
      FARPROC function;
    } kMixer[] = {
        {"mixerOpen", AsFarProc(&ProbeMixerOpen)},
        {"mixerGetLineInfoA", AsFarProc(&ProbeMixerGetLineInfoA)},
        {"mixerGetLineControlsA", AsFarProc(&ProbeMixerGetLineControlsA)},
        {"mixerGetControlDetailsA", AsFarProc(&ProbeMixerGetControlDetailsA)},
        {"mixerClose", AsFarProc(&ProbeMixerClose)},
    };
    for (const auto& entry : kMixer) {
      if (std::strcmp(name, entry.name) == 0) return entry.function;
    }
  }
  return real_get_proc_address(module, name);
}

// Points the program's import of `function` of `dll` at `replacement`; the
// function it called before, or null.
void* ReplaceImport(const char* dll, const char* function, void* replacement) {
  void** slot = ImportSlot(GetModuleHandleA(nullptr), dll, function);
  DWORD protection = 0;
  if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return nullptr;
  void* previous = InterlockedExchangePointer(slot, replacement);
  VirtualProtect(slot, sizeof *slot, protection, &protection);
  return previous;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProvideMixer(void* parameter) {
  auto* request = static_cast<menu_probe::MixerRequest*>(parameter);
  InterlockedExchange(&peak_values[0], request->left);
  InterlockedExchange(&peak_values[1], request->right);
  if (real_get_proc_address) return 1;
  real_get_proc_address = reinterpret_cast<GetProcAddressFunction>(
      ReplaceImport("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&ProvidingGetProcAddress)));
  return real_get_proc_address ? 1 : 0;
}

namespace {

// Puts WatchedWaveOutWrite in the place of the program's waveOutWrite.
DWORD TakeWaveOutWrite() {
  if (real_wave_out_write) return 1;
  real_wave_out_write = reinterpret_cast<WaveOutWriteFunction>(
      ReplaceImport("winmm.dll", "waveOutWrite", reinterpret_cast<void*>(&WatchedWaveOutWrite)));
  return real_wave_out_write ? 1 : 0;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI WatchPlayback(void* parameter) {
  auto* request = static_cast<menu_probe::WatchRequest*>(parameter);
  if (!OpenWatchFile(request->path, &watch_file)) return 0;
  if (request->timing_path[0] && !OpenWatchFile(request->timing_path, &timing_file)) return 0;
  return TakeWaveOutWrite();
}

extern "C" __declspec(dllexport) DWORD WINAPI StallPlayback(void*) {
  InterlockedExchange(&stall_writes, 1);
  return TakeWaveOutWrite();
}

extern "C" __declspec(dllexport) DWORD WINAPI WatchRecording(void* parameter) {
  auto* request = static_cast<menu_probe::WatchRequest*>(parameter);
  if (!OpenWatchFile(request->path, &recording_file)) return 0;
  if (program_window_procedure) return 1;
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(request->window));
  program_window_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedWindowProcedure)));
  return program_window_procedure ? 1 : 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenus(void* parameter) {
  auto* request = static_cast<menu_probe::Request*>(parameter);
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(request->window));
  request->count = 0;
  HMENU menu = request->which == menu_probe::kSystemMenu ? GetSystemMenu(window, FALSE) : GetMenu(window);
  if (!menu) return menu_probe::kNoMenu;
  ReadMenu(menu, 0, request);
  return request->count;
}

// How much of a control's width the system's drawing leaves for the text,
// and whether a static wraps its text over more lines; false for controls
// that show no label.
bool TextRoom(HWND control, HDC dc, int* margin, bool* wraps, bool* no_prefix) {
  char name[16] = {};
  GetClassNameA(control, name, sizeof name);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  int zero = 0;
  GetCharWidth32A(dc, '0', '0', &zero);
  *wraps = false;
  *no_prefix = false;
  if (lstrcmpiA(name, "Static") == 0) {
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
      return false;
    *margin = 0;
    *wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    *no_prefix = (style & SS_NOPREFIX) != 0;
    return true;
  }
  if (lstrcmpiA(name, "Button") != 0) return false;
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      *margin = 4 * GetSystemMetrics(SM_CXEDGE);  // the raised edge and the focus frame
      return true;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
      // The box, then half a digit's width before the text.
      *margin = GetSystemMetrics(SM_CXMENUCHECK) + zero / 2;
      return true;
    case BS_GROUPBOX:
      *margin = 2 * zero;  // the frame's corners each side of the caption
      return true;
    default:
      return false;
  }
}

extern "C" __declspec(dllexport) DWORD WINAPI MeasureTexts(void* parameter) {
  auto* request = static_cast<menu_probe::MeasureRequest*>(parameter);
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(request->window));
  request->count = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child && request->count < menu_probe::kMaxControls;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    menu_probe::TextFit& fit = request->controls[request->count];
    fit.text[0] = 0;
    GetWindowTextA(child, fit.text, menu_probe::kTextBytes);
    if (!fit.text[0]) continue;
    HDC dc = GetDC(child);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    int margin = 0;
    bool wraps = false, no_prefix = false;
    if (TextRoom(child, dc, &margin, &wraps, &no_prefix)) {
      RECT client{};
      GetClientRect(child, &client);
      const UINT prefix = no_prefix ? DT_NOPREFIX : 0;
      RECT line{};
      DrawTextA(dc, fit.text, -1, &line, DT_CALCRECT | DT_SINGLELINE | prefix);
      fit.id = GetDlgCtrlID(child);
      fit.needed = line.right;
      fit.available = client.right - margin;
      fit.fits = fit.needed <= fit.available;
      if (wraps && !fit.fits) {
        RECT lines = {0, 0, fit.available, 0};
        DrawTextA(dc, fit.text, -1, &lines, DT_CALCRECT | DT_WORDBREAK | prefix);
        fit.fits = lines.right <= fit.available && lines.bottom <= client.bottom;
      }
      ++request->count;
    }
    SelectObject(dc, old);
    ReleaseDC(child, dc);
  }
  return request->count;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) { return TRUE; }
