#include "video_source.h"

extern "C" {
#include <libavutil/parseutils.h>
}

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "container_checks.h"
#include "pixel_format.h"
#include "tool_error.h"

namespace {

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

// The first bytes of a regular file (a pipe's would be lost to the demuxer), for the
// checks of what its header declares.
std::vector<uint8_t> FileStart(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> start(4096);
  file.read(reinterpret_cast<char*>(start.data()), std::streamsize(start.size()));
  start.resize(size_t(file.gcount()));
  return start;
}

[[noreturn]] void ThrowTooLarge(const std::string& path, int64_t width, int64_t height) {
  throw ToolError("cannot read " + path + ": frame size " + std::to_string(width) + "x" +
                  std::to_string(height) + " is too large");
}

bool NamedOneOf(const char* names, std::initializer_list<const char*> choices) {
  for (const char* choice : choices)
    if (std::strcmp(names, choice) == 0) return true;
  return false;
}

}  // namespace

VideoSource::VideoSource(const std::string& path, std::optional<int64_t> frame_limit)
    : path_(path), frame_limit_(frame_limit) {
  // The demuxer of YUV4MPEG refuses a size past its own limit with a text of no use.
  const std::vector<uint8_t> start = FileStart(path);
  int64_t width = 0, height = 0;
  if (Yuv4MpegFrameSize(start.data(), start.size(), &width, &height) &&
      width * height > kMostPixels)
    ThrowTooLarge(path, width, height);
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
  // A size its header declares is refused before any decoder is asked to hold it.
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVCodecParameters* declared = context->streams[i]->codecpar;
    if (declared->codec_type == AVMEDIA_TYPE_VIDEO &&
        int64_t(declared->width) * declared->height > kMostPixels)
      ThrowTooLarge(path, declared->width, declared->height);
  }
  // The decoders that look into the streams take no larger pictures than korvel does.
  std::vector<AVDictionary*> limits(context->nb_streams, nullptr);
  for (AVDictionary*& limit : limits) av_dict_set_int(&limit, "max_pixels", kMostPixels, 0);
  error = avformat_find_stream_info(context, limits.data());
  for (AVDictionary*& limit : limits) av_dict_free(&limit);
  if (error < 0) Fail("cannot read", error);

  // A transport stream declares no length, but one cut short mostly ends inside one of
  // its packets (of 188 bytes, or 192 or 204 with a prefix or a check).
  const int64_t size = avio_size(io);
  const char* container = context->iformat->name;
  if (std::strcmp(container, "mpegts") == 0 && size > 0 && size % 188 != 0 && size % 192 != 0 &&
      size % 204 != 0)
    throw ToolError("cannot read " + path + ": it ends inside a packet, so it is cut short");
  // A Matroska segment declares its size; the demuxer takes a file cut inside it, even
  // inside a frame, as complete.
  if (std::strcmp(container, "matroska,webm") == 0) {
    segment_end_ = MatroskaSegmentEnd(start.data(), start.size());
    if (segment_end_ > size && size >= 0)
      throw ToolError("cannot read " + path + ": it ends before the end its header declares, " +
                      "so it is cut short");
  }

  stream_ = ChooseVideoStream(context);
  if (!stream_) throw ToolError(path + " has no video stream");
  const AVCodecParameters* parameters = stream_->codecpar;
  try {
    CheckFrameLayout({PixelFormat::kRgb24, parameters->width, parameters->height});
  } catch (const ToolError& too_large) {
    throw ToolError("cannot read " + path + ": " + too_large.what());
  }
  decoder_ = OpenDecoder(parameters, stream_->time_base, path, "video");
  Describe();
}

void VideoSource::Describe() {
  const AVFormatContext* context = format_.get();
  InputDescription& d = description_;
  d.name = path_;
  d.kind = InputKind::kVideo;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* stream = context->streams[i];
    StreamDescription s;
    s.type = stream->codecpar->codec_type;
    if (avcodec_parameters_copy(s.parameters.get(), stream->codecpar) < 0) throw std::bad_alloc();
    s.time_base = stream->time_base;
    s.disposition = stream->disposition;
    s.metadata = CopyDictionary(stream->metadata);
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC && stream != stream_) {
      s.cover = NewPacket();
      if (av_packet_ref(s.cover.get(), &stream->attached_pic) < 0) throw std::bad_alloc();
    }
    d.streams.push_back(std::move(s));
  }
  if (context->start_time != AV_NOPTS_VALUE) d.start_time = context->start_time;
  d.metadata = CopyDictionary(context->metadata);
  for (unsigned i = 0; i < context->nb_chapters; ++i) {
    const AVChapter* chapter = context->chapters[i];
    d.chapters.push_back({chapter->id, chapter->time_base, chapter->start, chapter->end,
                          CopyDictionary(chapter->metadata)});
  }

  const bool cover = stream_->disposition & AV_DISPOSITION_ATTACHED_PIC;
  AVRational rate = stream_->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream_->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0 || cover) rate = {25, 1};
  const AVCodecParameters* parameters = stream_->codecpar;
  VideoDescription& v = d.video;
  v.stream = stream_->index;
  v.format = decoder_->pix_fmt;
  v.width = parameters->width;
  v.height = parameters->height;
  v.time_base = stream_->time_base;
  v.frame_rate = rate;
  v.sample_aspect_ratio =
      av_guess_sample_aspect_ratio(format_.get(), const_cast<AVStream*>(stream_), nullptr);
  v.display_matrix = StreamDisplayMatrix(stream_);
  v.range = parameters->color_range;
  v.space = parameters->color_space;
  v.primaries = parameters->color_primaries;
  v.transfer = parameters->color_trc;
  v.chroma_location = parameters->chroma_location;

  if (cover)
    declared_frames_ = 1;
  else if (stream_->nb_frames > 0)
    declared_frames_ = stream_->nb_frames;
  else
    declared_seconds_ = TaggedSeconds(stream_);
  v.frame_count = declared_frames_ >= 0   ? declared_frames_
                  : declared_seconds_ > 0 ? std::llround(declared_seconds_ * av_q2d(rate))
                                          : -1;
}

void VideoSource::Fail(const char* what, int error) const {
  throw ToolError(std::string(what) + " " + path_ + ": " + AvErrorText(error));
}

bool VideoSource::Read(SourceItem* item) {
  if (frame_limit_ && frames_ >= *frame_limit_) return false;
  for (;;) {
    if (ReceiveFrame(item)) return true;
    if (draining_) {
      CheckComplete();
      return false;
    }
    int error = av_read_frame(format_.get(), packet_.get());
    if (error == AVERROR_EOF) {
      // A read error can end a demuxer's stream as if it were the end of the file.
      if (format_->pb->error < 0) Fail("cannot read", format_->pb->error);
      error = avcodec_send_packet(decoder_.get(), nullptr);
      if (error < 0 && error != AVERROR_EOF) Fail("cannot decode", error);
      draining_ = true;
      continue;
    }
    if (error < 0) Fail("cannot read", error);
    const int index = packet_->stream_index;
    if (packet_->flags & AV_PKT_FLAG_CORRUPT)
      throw ToolError("cannot read " + path_ + ": stream " + std::to_string(index) +
                      " is damaged or cut short");
    NoteStreamEnd(*packet_);
    if (index != stream_->index) {
      item->stream = index;
      item->frame.reset();
      item->packet = NewPacket();
      av_packet_move_ref(item->packet.get(), packet_.get());
      return true;
    }
    ++packets_;
    NoteDecodeOrder(*packet_);
    if (packet_->flags & AV_PKT_FLAG_DISCARD) ++discarded_packets_;
    // An empty packet stands for a frame the container dropped: the one before is held.
    if (packet_->size == 0) {
      ++empty_packets_;
      av_packet_unref(packet_.get());
      continue;
    }
    error = avcodec_send_packet(decoder_.get(), packet_.get());
    av_packet_unref(packet_.get());
    if (error < 0) Fail("cannot decode", error);
    if (DecoderReportedDamage(decoder_.get())) Fail("cannot decode", AVERROR_INVALIDDATA);
  }
}

// A frame the decoder has ready, if any.
bool VideoSource::ReceiveFrame(SourceItem* item) {
  AvFramePtr frame = NewFrame();
  const int error = avcodec_receive_frame(decoder_.get(), frame.get());
  if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return false;
  if (error < 0) Fail("cannot decode", error);
  if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) ||
      DecoderReportedDamage(decoder_.get()))
    throw ToolError("cannot decode " + path_ + ": frame " + std::to_string(frames_ + 1) +
                    " is damaged");
  int64_t when = frame->best_effort_timestamp;
  if (when == AV_NOPTS_VALUE)
    when = end_time_ != AV_NOPTS_VALUE
               ? end_time_
               : (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0);
    // A frame's own duration took this name in libavutil 57.30.
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  const int64_t own_length = frame->duration;
#else
  const int64_t own_length = frame->pkt_duration;
#endif
  const VideoDescription& video = description_.video;
  const int64_t length = own_length > 0
                             ? own_length
                             : av_rescale_q(1, av_inv_q(video.frame_rate), video.time_base);
  end_time_ = when + std::max<int64_t>(length, 1);
  last_times_.push_back(when);
  if (last_times_.size() > 16) last_times_.pop_front();
  frame->pts = when;
  item->stream = stream_->index;
  item->packet.reset();
  item->frame = std::move(frame);
  ++frames_;
  return true;
}

void VideoSource::NoteStreamEnd(const AVPacket& packet) {
  if (packet.pos >= 0 && packet.size > 0) read_end_ = std::max(read_end_, packet.pos + packet.size);
}

// A file cut short often ends without a read error: then only what it declares tells.
void VideoSource::CheckComplete() const {
  // Raw frames back to back end exactly after their last whole frame; the demuxer drops a
  // frame cut short without a word.
  const int64_t size = avio_size(format_->pb);
  if (NamedOneOf(format_->iformat->name, {"yuv4mpegpipe", "rawvideo"}) && size > read_end_ &&
      read_end_ >= 0)
    throw ToolError("cannot read " + path_ + ": its last frame is cut short");
  int64_t expected = -1;
  if (declared_frames_ >= 0) {
    expected = declared_frames_ - discarded_packets_ - empty_packets_;
    if (frames_ >= expected && packets_ >= declared_frames_) return;
    // AVI counts the empty chunks of dropped frames in its total, and its demuxer skips
    // them: a stream whose every packet gave its frame and that reaches its declared end
    // is whole, the frames before the gaps held.
    const int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    if (stream_->duration > 0 && end_time_ != AV_NOPTS_VALUE &&
        frames_ + discarded_packets_ >= packets_ && end_time_ >= start + stream_->duration)
      return;
  } else if (declared_seconds_ > 0) {
    // Where the segment's declared end was reached, the file is whole: a last frame may be
    // held past the time of one frame, up to the end the tag declares.
    if (segment_end_ > 0) return;
    const VideoDescription& video = description_.video;
    const double period = 1 / av_q2d(video.frame_rate);
    const double end = frames_ == 0 ? 0 : double(end_time_) * av_q2d(stream_->time_base);
    if (end >= declared_seconds_ - period / 2) return;
    expected = frames_ + std::max<int64_t>(1, std::llround((declared_seconds_ - end) / period));
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
