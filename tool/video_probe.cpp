#include "video_probe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "ffmpeg_programs.h"
#include "tool_error.h"

namespace {

// "30000/1001" into its two numbers; false for "0/0" and other unknown rates.
bool ParseRate(const std::string& text, unsigned* numerator, unsigned* denominator) {
  unsigned long top = 0, bottom = 0;
  if (std::sscanf(text.c_str(), "%lu/%lu", &top, &bottom) != 2 || top == 0 || bottom == 0 ||
      top > 0xFFFFFFFFul || bottom > 0xFFFFFFFFul)
    return false;
  *numerator = unsigned(top);
  *denominator = unsigned(bottom);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // text-mode pipes on Windows
    lines.push_back(line);
  }
  return lines;
}

// One "key=value" map per [STREAM] section of ffprobe's default output; the keys of its
// side data count as the stream's own.
std::vector<std::map<std::string, std::string>> ParseStreams(const std::string& text) {
  std::vector<std::map<std::string, std::string>> streams;
  for (const std::string& line : Lines(text)) {
    if (line == "[STREAM]") {
      streams.emplace_back();
    } else if (!streams.empty()) {
      const size_t equals = line.find('=');
      if (equals != std::string::npos)
        streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return streams;
}

// Each packet of the first video stream as "time,flags", one a line.
ProgramOutput ListVideoPackets(const std::string& path) {
  return RunToEnd({"ffprobe", "-hide_banner", "-loglevel", "error", "-select_streams", "v:0",
                   "-show_entries", "packet=pts,flags", "-of", "csv=p=0", FileUrl(path)});
}

struct PacketTimes {
  int64_t shown = 0;
  int64_t hidden = 0;          // decoded but not shown, as before the cut of a trimmed file
  std::vector<int64_t> times;  // of those shown, from the first, in order; empty if unknown
};

PacketTimes ParsePacketTimes(const std::string& packet_list) {
  PacketTimes packets;
  bool all_timed = true;
  for (const std::string& line : Lines(packet_list)) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    if (line.find('D', comma) != std::string::npos) {
      ++packets.hidden;
      continue;
    }
    ++packets.shown;
    char* end = nullptr;
    packets.times.push_back(std::strtoll(line.c_str(), &end, 10));
    all_timed = all_timed && end == line.c_str() + comma && comma > 0;
  }
  if (!all_timed) packets.times.clear();
  std::sort(packets.times.begin(), packets.times.end());
  for (size_t i = packets.times.size(); i-- > 0;) packets.times[i] -= packets.times.front();
  return packets;
}

}  // namespace

VideoProbe ProbeVideo(const std::string& path) {
  RequireProgram("ffprobe");
  const ProgramOutput streams = RunToEnd(
      {"ffprobe", "-hide_banner", "-loglevel", "error", "-show_entries",
       "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames,time_base:stream_side_"
       "data=rotation",
       FileUrl(path)});
  // Complaints about a damaged stream come again, and in context, from the decoding ffmpeg.
  if (streams.status != 0) {
    PassOn(streams.messages);
    throw ToolError("cannot read " + path + ": " + ExitReason("ffprobe", streams.status));
  }

  VideoProbe probe;
  bool found_video = false;
  for (auto& stream : ParseStreams(streams.text)) {
    if (stream["codec_type"] == "audio" && probe.audio_codec.empty()) {
      probe.audio_codec = stream["codec_name"].empty() ? "unknown" : stream["codec_name"];
    } else if (stream["codec_type"] == "video" && !found_video) {
      found_video = true;
      probe.width = std::atoi(stream["width"].c_str());
      probe.height = std::atoi(stream["height"].c_str());
      // ffmpeg turns the frames as they are meant to be shown.
      if (std::abs(std::atoi(stream["rotation"].c_str())) % 180 == 90)
        std::swap(probe.width, probe.height);
      ParseRate(stream["r_frame_rate"], &probe.rate_numerator, &probe.rate_denominator);
      probe.time_base_numerator = probe.rate_denominator;
      probe.time_base_denominator = probe.rate_numerator;
      ParseRate(stream["time_base"], &probe.time_base_numerator, &probe.time_base_denominator);
      const std::string frames = stream["nb_frames"];
      if (!frames.empty() && frames != "N/A") probe.frame_count = std::atoll(frames.c_str());
    }
  }
  if (!found_video) throw ToolError(path + " has no video stream");
  // Frames need not come at a steady rate; their own times keep the picture with the sound.
  const ProgramOutput packets = ListVideoPackets(path);
  if (packets.status == 0) {
    const PacketTimes times = ParsePacketTimes(packets.text);
    probe.frame_times = times.times;
    if (probe.frame_count >= 0) probe.frame_count -= times.hidden;
  }
  return probe;
}

void CheckWrittenVideo(const std::string& path, const std::string& name, int64_t frames) {
  const ProgramOutput packets = ListVideoPackets(path);
  if (packets.status != 0) {
    PassOn(packets.messages);
    throw ToolError("cannot write " + name + ": the finished file does not read back; " +
                    ExitReason("ffprobe", packets.status));
  }
  const int64_t found = ParsePacketTimes(packets.text).shown;
  if (found < frames)
    throw ToolError("cannot write " + name + ": the finished file holds " + std::to_string(found) +
                    " of the " + std::to_string(frames) + " frames written");
}
