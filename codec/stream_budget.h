// The memory of one decoding stream, bounded whatever the stream asks for.
//
// Every allocation of libogg and libvorbis (their _ogg_malloc, _ogg_calloc,
// _ogg_realloc and _ogg_free are these stream_budget_* functions, through
// codec/libogg-stream-budget.patch) and every buffer of the decoder is a
// block of the budget of the stream being worked on: the one whose Run is
// under way on this thread. An allocation past the budget, or one the system
// refuses, never returns: Run jumps back to its own start, releases every
// block of the stream at once (nothing half-built is freed piece by piece,
// nothing leaks) and answers false. Only that stream ends; the host and the
// other streams go on. So the libraries never see a null pointer, and no
// stream, however built, costs more than kBudget.
//
// Portable: the driver and the native tests use it.
#pragma once
#include <csetjmp>
#include <cstddef>

class StreamBudget {
 public:
  // Far above what any file an encoder writes needs (oggenc's largest, 8
  // channels at 48 kHz and quality 10, peaks near 1 MB), and little enough
  // for many streams in a 32-bit process.
  static constexpr size_t kBudget = 64u << 20;

  explicit StreamBudget(size_t limit = kBudget) : limit_(limit) {}
  ~StreamBudget() { Release(); }
  StreamBudget(const StreamBudget&) = delete;
  StreamBudget& operator=(const StreamBudget&) = delete;

  // Runs `work` with this budget as the thread's current one. False when
  // the budget was spent (or the system refused memory), and when the
  // thread cannot be told which budget is current (nothing could be decoded
  // then): everything of the stream has been released, at once, and `work`
  // did not finish. `work` may not hold objects with destructors across an
  // allocation (the jump back skips them): the decoder's code between here
  // and the libraries holds none. Runs do not nest.
  template <class Work>
  bool Run(Work&& work) {
    std::jmp_buf exit;
    StreamBudget* outer = nullptr;
    if (!Enter(&exit, &outer)) {
      Release();
      return false;
    }
    if (setjmp(exit) != 0) {
      Leave(outer);
      Release();
      return false;
    }
    work();
    Leave(outer);
    return true;
  }

  // A block of this budget: `size` bytes aligned for any type, zeroed when
  // asked. Inside Run only (outside it a refusal cannot jump anywhere: null).
  void* Allocate(size_t size, bool zero);
  // Frees every block at once; the budget is then as new.
  void Release();
  // Ends the Run under way as a refused allocation does (for a demand
  // known to be past any budget before it is made).
  [[noreturn]] void Refuse();

  // Tests: the allocation of this number (counted from 0 since the budget
  // was made) is refused as a system out of memory refuses one, wherever it
  // falls. allocations() is how many were made.
  void RefuseAllocation(size_t ordinal) { refused_ = ordinal; }
  size_t allocations() const { return allocations_; }

  size_t limit() const { return limit_; }
  size_t used() const { return used_; }
  // The most that was in use at once since the budget was made (or the
  // peak was last cleared): the bytes asked for, each block's header and
  // what the system's allocator adds to it.
  size_t peak() const { return peak_; }
  void ClearPeak() { peak_ = used_; }

  // The budget of the Run under way on this thread, or nullptr
  // (current_stream.h).
  static StreamBudget* Current();
  // Block operations on behalf of the libraries (the C functions below).
  static void* Resize(void* block, size_t size);
  static void Free(void* block);

 private:
  struct Header;
  static const size_t kHeaderBytes;  // each block's own header
  // What a block of `size` bytes costs the budget.
  static size_t Cost(size_t size);
  // Makes this the thread's current budget, the one before it in *outer;
  // false when the thread cannot hold it (the Run then fails at once).
  bool Enter(std::jmp_buf* exit, StreamBudget** outer);
  void Leave(StreamBudget* outer);
  // Counts `size` more bytes in use, a new block (or a larger one) from
  // the system; jumps out when they do not fit or the block is refused.
  void Charge(size_t size);

  size_t limit_;
  size_t used_ = 0;
  size_t peak_ = 0;
  size_t allocations_ = 0;
  size_t refused_ = static_cast<size_t>(-1);
  Header* first_ = nullptr;
  std::jmp_buf* exit_ = nullptr;
};

extern "C" {
void* stream_budget_malloc(size_t size);
void* stream_budget_calloc(size_t count, size_t size);
void* stream_budget_realloc(void* block, size_t size);
void stream_budget_free(void* block);
}
