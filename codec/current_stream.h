// Which stream's budget the calls into libogg and libvorbis on this thread
// charge (stream_budget.h). Kept apart from the budget because the DLL must
// not use the compiler's thread_local there: MinGW implements it with
// emulated TLS, which allocates on a thread's first use and calls abort()
// when that fails, and no abort may reach the program that loaded the
// driver. current_stream.cpp uses thread_local (the native builds);
// current_stream_win32.cpp a slot of the system's thread-local storage.
#pragma once

class StreamBudget;

// The budget of the run under way on this thread, or nullptr.
StreamBudget* CurrentStream();
// Makes `budget` (or nullptr) the thread's current one; false when the
// thread cannot hold it (the system has no slot or no memory for it), and
// then nothing changed.
bool SetCurrentStream(StreamBudget* budget);
// Native builds only (current_stream.cpp), for the tests: while `refuse`,
// the thread cannot hold a current stream, as when the system has no slot
// or no memory for it.
void RefuseCurrentStream(bool refuse);
