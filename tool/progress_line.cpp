#include "progress_line.h"

#include <cstdio>

namespace {

constexpr std::chrono::milliseconds kFirstDraw{500};
constexpr std::chrono::milliseconds kRedraw{250};

}  // namespace

void ProgressLine::Update(int64_t done) {
  done_ = done;
  const Clock::time_point now = Clock::now();
  if (!enabled_ || now - start_ < kFirstDraw || (drawn_ && now - last_draw_ < kRedraw)) return;
  last_draw_ = now;
  Draw();
}

void ProgressLine::Finish() {
  if (!drawn_) return;
  Draw();
  std::fputc('\n', stderr);
}

void ProgressLine::Draw() {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  const double rate = seconds > 0 ? double(done_) / seconds : 0;
  std::fprintf(stderr, "\rkorvel: %lld", (long long)done_);
  if (total_ >= 0) std::fprintf(stderr, "/%lld", (long long)total_);
  std::fputs(" frames", stderr);
  if (seconds > 0) std::fprintf(stderr, ", %.1f fps", rate);
  if (total_ >= done_ && rate > 0) {
    const long long left = (long long)(double(total_ - done_) / rate + 0.5);
    if (left >= 3600)
      std::fprintf(stderr, ", %lld:%02lld:%02lld left", left / 3600, left / 60 % 60, left % 60);
    else
      std::fprintf(stderr, ", %lld:%02lld left", left / 60, left % 60);
  }
  // Trailing blanks wipe what a longer earlier line left behind.
  std::fputs("   ", stderr);
  std::fflush(stderr);
  drawn_ = true;
}
