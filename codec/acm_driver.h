// The message layer of the Ogg Vorbis codec driver (vorbis.acm): details,
// formats, suggestion and the conversion streams, each message handled by
// its own function, the decoding itself by VorbisDecoder. It trusts no
// caller: records are read and written only as far as their sizes say, and
// nothing it does throws. Built into the driver DLL (vorbis_acm_win32.cpp,
// which adds DriverProc's default answers and the registration) and
// natively, for the fuzzer.
#pragma once
#include "codec/acm_types.h"

// The answer to one driver message. `use_default` is set (the answer is then
// 0) for the system's own driver messages this driver leaves to the
// system's default driver procedure.
LRESULT AnswerDriverMessage(UINT message, LPARAM param1, LPARAM param2, bool* use_default);
