#include "codec/stream_budget.h"

#include <cstdlib>
#include <cstring>

#include "codec/current_stream.h"

// Each block carries its place in its budget's list, so that a free or a
// resize needs no current budget, and Release finds every block.
struct alignas(alignof(std::max_align_t)) StreamBudget::Header {
  Header* previous;
  Header* next;
  StreamBudget* owner;
  size_t capacity;  // bytes after the header
};

const size_t StreamBudget::kHeaderBytes = sizeof(StreamBudget::Header);

// A block costs its header and what the system's allocator adds to every
// block (its own header, and a granule of 16 bytes or less): a stream of
// millions of small blocks costs what it takes.
size_t StreamBudget::Cost(size_t size) {
  constexpr size_t kSystemGranule = 16;
  return (kHeaderBytes + size + kSystemGranule - 1) / kSystemGranule * kSystemGranule + kSystemGranule;
}

StreamBudget* StreamBudget::Current() { return CurrentStream(); }

bool StreamBudget::Enter(std::jmp_buf* exit, StreamBudget** outer) {
  *outer = CurrentStream();
  if (!SetCurrentStream(this)) return false;
  exit_ = exit;
  return true;
}

void StreamBudget::Leave(StreamBudget* outer) {
  // Setting back a value the thread held before cannot fail.
  SetCurrentStream(outer);
  exit_ = nullptr;
}

void StreamBudget::Refuse() { std::longjmp(*exit_, 1); }

void StreamBudget::Charge(size_t size) {
  if (allocations_++ == refused_ || size > limit_ - used_) Refuse();
  used_ += size;
  if (used_ > peak_) peak_ = used_;
}

void* StreamBudget::Allocate(size_t size, bool zero) {
  if (exit_ == nullptr) return nullptr;
  if (size > limit_) Refuse();
  Charge(Cost(size));
  auto* header = static_cast<Header*>(zero ? std::calloc(1, kHeaderBytes + size) : std::malloc(kHeaderBytes + size));
  if (header == nullptr) Refuse();
  header->previous = nullptr;
  header->next = first_;
  header->owner = this;
  header->capacity = size;
  if (first_ != nullptr) first_->previous = header;
  first_ = header;
  return header + 1;
}

void* StreamBudget::Resize(void* block, size_t size) {
  if (block == nullptr) {
    StreamBudget* const budget = CurrentStream();
    return budget != nullptr ? budget->Allocate(size, false) : nullptr;
  }
  Header* const header = static_cast<Header*>(block) - 1;
  StreamBudget* const owner = header->owner;
  if (owner->exit_ == nullptr) return nullptr;
  const size_t old_capacity = header->capacity;
  if (size <= old_capacity) return block;
  if (size > owner->limit_) owner->Refuse();
  // A block that grows grows by half at least (libogg grows its buffers a
  // page at a time, and every move copies them whole), as far as the
  // budget allows. While the system moves it, the old block and the new
  // one both exist.
  size_t capacity = old_capacity + old_capacity / 2;
  if (capacity < size || Cost(capacity) > owner->limit_ - owner->used_) capacity = size;
  owner->Charge(Cost(capacity));
  auto* moved = static_cast<Header*>(std::realloc(header, kHeaderBytes + capacity));
  if (moved == nullptr) owner->Refuse();  // the old block stays listed
  owner->used_ -= Cost(old_capacity);
  moved->capacity = capacity;
  if (moved->previous != nullptr)
    moved->previous->next = moved;
  else
    owner->first_ = moved;
  if (moved->next != nullptr) moved->next->previous = moved;
  return moved + 1;
}

void StreamBudget::Free(void* block) {
  if (block == nullptr) return;
  Header* const header = static_cast<Header*>(block) - 1;
  StreamBudget* const owner = header->owner;
  if (header->previous != nullptr)
    header->previous->next = header->next;
  else
    owner->first_ = header->next;
  if (header->next != nullptr) header->next->previous = header->previous;
  owner->used_ -= Cost(header->capacity);
  std::free(header);
}

void StreamBudget::Release() {
  for (Header* header = first_; header != nullptr;) {
    Header* const next = header->next;
    std::free(header);
    header = next;
  }
  first_ = nullptr;
  used_ = 0;
}

extern "C" {

void* stream_budget_malloc(size_t size) {
  StreamBudget* const budget = StreamBudget::Current();
  return budget != nullptr ? budget->Allocate(size, false) : nullptr;
}

void* stream_budget_calloc(size_t count, size_t size) {
  StreamBudget* const budget = StreamBudget::Current();
  if (budget == nullptr) return nullptr;
  // A product past the address space is past any budget.
  const size_t bytes = count != 0 && size > static_cast<size_t>(-1) / count ? static_cast<size_t>(-1) : count * size;
  return budget->Allocate(bytes, true);
}

void* stream_budget_realloc(void* block, size_t size) { return StreamBudget::Resize(block, size); }

void stream_budget_free(void* block) { StreamBudget::Free(block); }

}  // extern "C"
