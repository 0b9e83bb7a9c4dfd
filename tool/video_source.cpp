#include "video_source.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/parseutils.h>
}

#include <cmath>
#include <cstring>
#include <vector>

#include "tool_error.h"

namespace {

// The clockwise turn in degrees (90, 180 or 270) that shows the frame upright, when the
// matrix is exactly such a turn; 0 otherwise, a flip or an angle in between included.
int ExactQuarterTurn(const std::string& stored) {
  if (stored.empty()) return 0;
  int32_t matrix[9];
  std::memcpy(matrix, stored.data(), sizeof matrix);
  for (int turn : {90, 180, 270}) {
    int32_t expected[9];
    av_display_rotation_set(expected, double(turn));
    if (std::memcmp(matrix, expected, 2 * sizeof(int32_t)) == 0 &&
        std::memcmp(matrix + 3, expected + 3, 2 * sizeof(int32_t)) == 0)
      return turn;
  }
  return 0;
}

// Matroska keeps the time each track ends as a tag, "HH:MM:SS.nnnnnnnnn"; -1 when absent.
double TaggedSeconds(const AVStream* stream) {
  const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
  int64_t microseconds = 0;
  if (!tag || av_parse_time(&microseconds, tag->value, 1) < 0) return -1;
  return double(microseconds) / AV_TIME_BASE;
}

// The first moving video; a cover picture only where there is nothing else.
AVStream* ChooseVideoStream(const AVFormatContext* format) {
  AVStream* cover = nullptr;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    AVStream* stream = format->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) return stream;
    if (!cover) cover = stream;
  }
  return cover;
}

}  // namespace

VideoSource::VideoSource(const std::string& path, PixelFormat format,
                         std::optional<int64_t> frame_limit, bool upright)
    : path_(path), frame_limit_(frame_limit) {
  // The file protocol, named, so that a file name means that file and nothing else.
  AVIOContext* io = nullptr;
  const int opened = avio_open2(&io, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, nullptr);
  if (opened < 0) Fail("cannot open", opened);
  io_.reset(io);
  AVFormatContext* context = avformat_alloc_context();
  if (!context) throw std::bad_alloc();
  context->pb = io;
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The name only helps to tell the container; on failure the context is freed.
  int error = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (error < 0) Fail("cannot read", error);
  format_.reset(context);
  // The decoders that look into the streams take no larger pictures than korvel does.
  std::vector<AVDictionary*> limits(context->nb_streams, nullptr);
  for (AVDictionary*& limit : limits) av_dict_set_int(&limit, "max_pixels", kMostPixels, 0);
  error = avformat_find_stream_info(context, limits.data());
  for (AVDictionary*& limit : limits) av_dict_free(&limit);
  if (error < 0) Fail("cannot read", error);

  // A transport stream declares no length, but one cut short mostly ends inside one of
  // its packets (of 188 bytes, or 192 or 204 with a prefix or a check).
  const int64_t size = avio_size(io);
  if (std::strcmp(context->iformat->name, "mpegts") == 0 && size > 0 && size % 188 != 0 &&
      size % 192 != 0 && size % 204 != 0)
    throw ToolError("cannot read " + path + ": it ends inside a packet, so it is cut short");

  stream_ = ChooseVideoStream(context);
  if (!stream_) throw ToolError(path + " has no video stream");
  const AVCodecParameters* parameters = stream_->codecpar;
  info_.layout = {format, parameters->width, parameters->height};
  try {
    CheckFrameLayout(info_.layout);
  } catch (const ToolError& too_large) {
    throw ToolError("cannot read " + path + ": " + too_large.what());
  }
  decoder_ = OpenDecoder(stream_, path, "video");

  const bool cover = stream_->disposition & AV_DISPOSITION_ATTACHED_PIC;
  AVRational rate = stream_->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream_->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0 || cover) rate = {25, 1};
  info_.rate_numerator = unsigned(rate.num);
  info_.rate_denominator = unsigned(rate.den);
  VideoProperties& properties = properties_;
  properties.time_base = stream_->time_base;
  properties.frame_rate = rate;
  if (context->start_time != AV_NOPTS_VALUE) properties.start_time = context->start_time;
  properties.sample_aspect_ratio = av_guess_sample_aspect_ratio(context, stream_, nullptr);
  properties.display_matrix = StreamDisplayMatrix(stream_);
  properties.input = context;
  properties.video_stream = stream_->index;

  const int turn = upright ? ExactQuarterTurn(properties.display_matrix) : 0;
  if (turn != 0) properties.display_matrix.clear();
  if (turn == 90 || turn == 270) std::swap(info_.layout.width, info_.layout.height);
  converter_ =
      std::make_unique<DecodedFrameConverter>(parameters->width, parameters->height, format, turn);

  if (cover)
    declared_frames_ = 1;
  else if (stream_->nb_frames > 0)
    declared_frames_ = stream_->nb_frames;
  else
    declared_seconds_ = TaggedSeconds(stream_);
  info_.frame_count = declared_frames_ >= 0   ? declared_frames_
                      : declared_seconds_ > 0 ? std::llround(declared_seconds_ * av_q2d(rate))
                                              : -1;
  forwarded_.assign(context->nb_streams, false);
  for (unsigned i = 0; i < context->nb_streams; ++i)
    if (int(i) != stream_->index) context->streams[i]->discard = AVDISCARD_ALL;
}

void VideoSource::Fail(const char* what, int error) const {
  throw ToolError(std::string(what) + " " + path_ + ": " + AvErrorText(error));
}

void VideoSource::ForwardPackets(const std::vector<int>& streams, PacketForwarder forward) {
  for (int index : streams) {
    forwarded_[size_t(index)] = true;
    format_->streams[index]->discard = AVDISCARD_DEFAULT;
  }
  forward_ = std::move(forward);
}

// Feeds the decoder until it gives a frame; false when it has given its last.
bool VideoSource::ReceiveFrame() {
  for (;;) {
    int error = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (error == 0) return true;
    if (error == AVERROR_EOF) return false;
    if (error != AVERROR(EAGAIN)) Fail("cannot decode", error);
    error = av_read_frame(format_.get(), packet_.get());
    if (error == AVERROR_EOF) {
      // A read error can end a demuxer's stream as if it were the end of the file.
      if (format_->pb->error < 0) Fail("cannot read", format_->pb->error);
      error = avcodec_send_packet(decoder_.get(), nullptr);
      if (error < 0 && error != AVERROR_EOF) Fail("cannot decode", error);
      continue;
    }
    if (error < 0) Fail("cannot read", error);
    const int index = packet_->stream_index;
    if (packet_->flags & AV_PKT_FLAG_CORRUPT)
      throw ToolError("cannot read " + path_ + ": stream " + std::to_string(index) +
                      " is damaged or cut short");
    if (index == stream_->index) {
      ++packets_;
      NoteDecodeOrder(*packet_);
      if (packet_->flags & AV_PKT_FLAG_DISCARD) ++discarded_packets_;
      error = avcodec_send_packet(decoder_.get(), packet_.get());
      if (error < 0) Fail("cannot decode", error);
    } else if (index < int(forwarded_.size()) && forwarded_[size_t(index)] && forward_) {
      forward_(packet_.get());
    }
    av_packet_unref(packet_.get());
  }
}

bool VideoSource::ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) {
  if (frame_limit_ && frames_ >= *frame_limit_) return false;
  if (!ReceiveFrame()) {
    CheckComplete();
    return false;
  }
  if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT))
    throw ToolError("cannot decode " + path_ + ": frame " + std::to_string(frames_ + 1) +
                    " is damaged");
  int64_t when = frame_->best_effort_timestamp;
  if (when == AV_NOPTS_VALUE)
    when = end_time_ != AV_NOPTS_VALUE
               ? end_time_
               : (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0);
    // A frame's own duration took this name in libavutil 57.30.
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  const int64_t own_length = frame_->duration;
#else
  const int64_t own_length = frame_->pkt_duration;
#endif
  const int64_t length =
      own_length > 0 ? own_length
                     : av_rescale_q(1, av_inv_q(properties_.frame_rate), properties_.time_base);
  end_time_ = when + std::max<int64_t>(length, 1);
  last_times_.push_back(when);
  if (last_times_.size() > 16) last_times_.pop_front();
  *frame = converter_->Convert(env, frame_.get());
  *time = when;
  av_frame_unref(frame_.get());
  ++frames_;
  return true;
}

// A file cut short often ends without a read error: then only what it declares tells.
void VideoSource::CheckComplete() const {
  int64_t expected = -1;
  if (declared_frames_ >= 0) {
    expected = declared_frames_ - discarded_packets_;
    if (frames_ >= expected && packets_ >= declared_frames_) return;
  } else if (declared_seconds_ > 0) {
    // The tag holds the time at which the track ends.
    const double period = 1 / av_q2d(properties_.frame_rate);
    const double end = frames_ == 0 ? 0 : double(end_time_) * av_q2d(stream_->time_base);
    if (end >= declared_seconds_ - 1.5 * period) return;
    expected = frames_ + std::llround((declared_seconds_ - end) / period);
  } else {
    CheckNoHoleAtEnd();
    return;
  }
  if (frame_limit_ && expected > *frame_limit_) expected = *frame_limit_;
  throw ToolError("cannot decode " + path_ + ": it ended after " + std::to_string(frames_) +
                  " of its " + std::to_string(expected) + " frames");
}

void VideoSource::NoteDecodeOrder(const AVPacket& packet) {
  last_dts_ = packet.dts;
  if (packet.pts == AV_NOPTS_VALUE) return;
  if (latest_pts_ != AV_NOPTS_VALUE && packet.pts < latest_pts_) {
    longest_reordered_run_ = std::max(longest_reordered_run_, ++reordered_run_);
  } else {
    latest_pts_ = packet.pts;
    reordered_run_ = 0;
  }
}

// A stream that declares no length, cut between two whole frames, ends as a shorter one
// would. But where frames are decoded after a later one (B-frames), a cut loses some that
// are shown before frames it kept. Such a hole counts only after the last frame decoded,
// where the frames before it come at a steady rate, and as a whole number of their steps
// that a run of frames decoded late could fill: an uneven rate is not taken for a hole.
void VideoSource::CheckNoHoleAtEnd() const {
  const std::deque<int64_t>& times = last_times_;
  if (longest_reordered_run_ == 0 || last_dts_ == AV_NOPTS_VALUE || times.size() < 2) return;
  const int64_t step = times[1] - times[0];
  if (step <= 0) return;
  auto steps = [&](size_t i) {
    const int64_t gap = times[i] - times[i - 1];
    const int64_t count = (gap + step / 2) / step;
    return std::llabs(gap - count * step) <= step / 8 ? count : -1;
  };
  size_t decoded = 1;  // frames shown up to the last one decoded
  for (; decoded < times.size() && times[decoded] <= last_dts_; ++decoded)
    if (steps(decoded) != 1) return;
  if (decoded < 4) return;
  for (size_t i = decoded; i < times.size(); ++i)
    if (steps(i) >= 2 && steps(i) - 1 <= longest_reordered_run_)
      throw ToolError("cannot read " + path_ +
                      ": it ends with frames missing between its last ones, so it is cut short");
}
