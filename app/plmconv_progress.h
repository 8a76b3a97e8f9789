#pragma once
// The one-line progress of a batch on a terminal.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace plm {

// Display columns of UTF-8 text on a terminal: characters from U+1000 on (CJK among
// them) are taken as two columns wide.
size_t DisplayWidth(std::string_view text);

// Files done, the current file and the input read per second. Erased before any
// other line goes to the terminal and at the end, so none of it stays. Off (and
// silent) without a terminal.
class ProgressLine {
 public:
  ProgressLine(std::ostream* terminal, int width, size_t total);
  ~ProgressLine() { Erase(); }

  void Show(const std::string& path);
  // Shows the current file again after another line was written.
  void Redraw() {
    if (terminal_ && !shown_ && current_) Show(*current_);
  }
  void AddBytes(uint64_t bytes) { bytes_ += bytes; }
  void FileDone() {
    ++done_;
    current_.reset();
  }
  // The files before the one whose turn it is are done.
  void SetDone(size_t done) {
    done_ = done;
    current_.reset();
  }
  void Erase();

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream* terminal_;
  int width_;
  size_t total_;
  size_t done_ = 0;
  uint64_t bytes_ = 0;
  Clock::time_point start_;
  std::optional<std::string> current_;
  bool shown_ = false;
};

}  // namespace plm
