// Raw frames back to back, from a file or a pipe.
#pragma once

#include <cstdio>
#include <string>

#include "frame_stream.h"

class RawReader : public FrameReader {
 public:
  // `name` is how messages call the input. A regular file's length is checked at once,
  // so that a stray byte count is reported before any work is done.
  RawReader(FILE* file, bool owned, const std::string& name, const StreamInfo& info);
  ~RawReader() override;
  RawReader(const RawReader&) = delete;
  RawReader& operator=(const RawReader&) = delete;

  const StreamInfo& Info() const override { return info_; }
  bool ReadFrame(Picture* picture) override;

 private:
  [[noreturn]] void ThrowPartialFrame(int64_t total_bytes) const;

  FILE* file_;
  bool owned_;
  std::string name_;
  StreamInfo info_;
  int64_t bytes_read_ = 0;
};

class RawWriter : public FrameWriter {
 public:
  RawWriter(FILE* file, bool owned, const std::string& name);
  ~RawWriter() override;
  RawWriter(const RawWriter&) = delete;
  RawWriter& operator=(const RawWriter&) = delete;

  void WriteFrame(const Picture& picture) override;
  void Finish() override;

 private:
  [[noreturn]] void ThrowWriteError() const;

  FILE* file_;
  bool owned_;
  std::string name_;
};
