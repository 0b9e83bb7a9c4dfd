#include "progress_line.h"

namespace {

// Short work finishes before this, and then no line is drawn at all.
constexpr std::chrono::milliseconds kFirstDraw{500};
constexpr std::chrono::milliseconds kRedraw{250};

std::string Duration(double seconds) {
  const int64_t whole = int64_t(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(whole / 3600),
                  (long long)(whole / 60 % 60), (long long)(whole % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", (long long)(whole / 60),
                  (long long)(whole % 60));
  return text;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled, int64_t total, FILE* stream)
    : enabled_(enabled), total_(total), stream_(stream), start_(Clock::now()), last_draw_(start_) {}

std::string ProgressLine::Text(int64_t done, int64_t total, double seconds) {
  char text[160];
  int length = total >= 0
                   ? std::snprintf(text, sizeof text, "korvel: %lld/%lld frames", (long long)done,
                                   (long long)total)
                   : std::snprintf(text, sizeof text, "korvel: %lld frames", (long long)done);
  if (seconds > 0) {
    const double rate = double(done) / seconds;
    length += std::snprintf(text + length, sizeof text - size_t(length), ", %.1f fps", rate);
    if (total >= done && rate > 0)
      std::snprintf(text + length, sizeof text - size_t(length), ", %s left",
                    Duration(double(total - done) / rate).c_str());
  }
  return text;
}

void ProgressLine::Draw(int64_t done) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  // Trailing blanks wipe what a longer earlier line left behind.
  std::fprintf(stream_, "\r%s   ", Text(done, total_, seconds).c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressLine::Update(int64_t done) {
  done_ = done;
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kFirstDraw || (drawn_ && now - last_draw_ < kRedraw)) return;
  last_draw_ = now;
  Draw(done);
}

void ProgressLine::Finish() {
  if (!drawn_) return;
  Draw(done_);
  std::fputc('\n', stream_);
}
