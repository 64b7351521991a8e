// What a stream analysis reports, in the order it happens: text lines for the
// description window of the detail dialog, plain message boxes, and the point
// where the format record is (re)allocated. The analysis itself shows nothing;
// the Windows side replays the report (texts only when there is a window).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Results of the stream analysers.
enum AnalysisResult { ANALYSIS_OK = 0, ANALYSIS_ABORT = 1, ANALYSIS_NOT_MINE = 2 };

struct AnalysisNote {
  enum Kind {
    TEXT,      // appended to the description window, when there is one
    BOX,       // a plain message box (no icon); shown whether or not there is a window
    ALLOCATE,  // the format record of `size` bytes is allocated here
  };
  Kind kind;
  std::string text;      // TEXT and BOX
  std::string caption;   // BOX: empty means no caption
  bool owned = true;     // BOX: owned by the main window (false: no owner)
  uint16_t size = 0;     // ALLOCATE
};

class AnalysisReport {
 public:
  void Text(std::string text) { notes_.push_back({AnalysisNote::TEXT, std::move(text), {}, true, 0}); }
  void Box(std::string text) { notes_.push_back({AnalysisNote::BOX, std::move(text), {}, true, 0}); }
  void UnownedBox(std::string text, std::string caption) {
    notes_.push_back({AnalysisNote::BOX, std::move(text), std::move(caption), false, 0});
  }
  void Allocate(uint16_t size) { notes_.push_back({AnalysisNote::ALLOCATE, {}, {}, true, size}); }

  const std::vector<AnalysisNote>& notes() const { return notes_; }
  // Every TEXT note joined: what the description window ends up holding.
  std::string AllText() const {
    std::string all;
    for (const AnalysisNote& note : notes_)
      if (note.kind == AnalysisNote::TEXT) all += note.text;
    return all;
  }
  void Clear() { notes_.clear(); }

 private:
  std::vector<AnalysisNote> notes_;
};

// printf-style formatting into a string (for the analysis texts).
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
