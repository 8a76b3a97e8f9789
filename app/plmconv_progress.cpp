#include "app/plmconv_progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace plm {

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) width += b >= 0xE1 ? 2 : 1;
  }
  return width;
}

ProgressLine::ProgressLine(std::ostream* terminal, int width, size_t total)
    : terminal_(terminal), width_(std::max(width, 20)), total_(total), start_(Clock::now()) {}

void ProgressLine::Show(const std::string& path) {
  if (!terminal_) return;
  // A control byte in a name would move the cursor away from the line.
  std::string file = path;
  for (char& c : file)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  std::string line = "[" + std::to_string(done_) + "/" + std::to_string(total_) + "] ";
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  if (seconds >= 0.2 && bytes_ > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f MB/s ", static_cast<double>(bytes_) / 1e6 / seconds);
    line += rate;
  }
  // The tail of the path when it does not fit: a wrapped line could not be erased.
  const size_t columns = static_cast<size_t>(width_ - 1);
  const size_t room = columns > line.size() ? columns - line.size() : 0;
  if (room < 8) {
    line.resize(std::min(line.size(), columns));
  } else if (DisplayWidth(file) <= room) {
    line += file;
  } else {
    std::string tail = file;
    while (!tail.empty() && DisplayWidth(tail) + 3 > room) {
      size_t cut = 1;
      while (cut < tail.size() && (static_cast<unsigned char>(tail[cut]) & 0xC0) == 0x80) ++cut;
      tail.erase(0, cut);
    }
    line += "..." + tail;
  }
  *terminal_ << "\r\x1b[K" << line << std::flush;
  current_ = path;
  shown_ = true;
}

void ProgressLine::Erase() {
  if (!terminal_ || !shown_) return;
  *terminal_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}


}  // namespace plm
