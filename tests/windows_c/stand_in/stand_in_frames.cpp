// Frames: the host's frame and buffer structures of the C header, each frame one allocation
// freed with its last reference, every plane's rows followed by filler up to the pitch.
#include <stdlib.h>
#include <string.h>

#include "stand_in_objects.h"

namespace {

constexpr int kAlignment = 64;

struct FrameBlock {
  AVS_VideoFrame frame;  // first: a frame's address is its block's
  AVS_VideoFrameBuffer buffer;
};

// Rows padded beyond the next multiple of the alignment, so that every row has filler after
// it that a plugin must leave alone.
int PitchOf(int row_size) {
  return (row_size + kAlignment - 1) / kAlignment * kAlignment + kAlignment;
}

bool refuse_next_new_frame = false;

// Which plane of the frame a name means: 0 to 3 in memory order, or -1 for one the frame
// does not have. Planar RGB is stored G, B, R as the host stores it.
int PlaneIndex(const AVS_VideoFrame& frame, int plane) {
  const int type = frame._pixel_type;
  const bool planar = (type & AVS_CS_PLANAR) != 0, rgb = planar && (type & AVS_CS_BGR) != 0;
  const bool chroma = frame._pitchUV != 0, alpha = frame._pitchA != 0;
  switch (plane & ~AVS_PLANAR_ALIGNED) {
    case AVS_DEFAULT_PLANE: return 0;
    case AVS_PLANAR_Y: return planar && !rgb ? 0 : -1;
    case AVS_PLANAR_U: return !rgb && chroma ? 1 : -1;
    case AVS_PLANAR_V: return !rgb && chroma ? 2 : -1;
    case AVS_PLANAR_G: return rgb ? 0 : -1;
    case AVS_PLANAR_B: return rgb ? 1 : -1;
    case AVS_PLANAR_R: return rgb ? 2 : -1;
    case AVS_PLANAR_A: return alpha ? 3 : -1;
  }
  return -1;
}

}  // namespace

AVS_VideoFrame* NewFrame(const AVS_VideoInfo& vi, const void* properties) {
  const int planes = PlaneCount(vi);
  int offsets[4] = {}, pitches[4] = {}, rows[4] = {}, heights[4] = {};
  size_t size = 0;
  for (int p = 0; p < planes && p < 4; ++p) {
    rows[p] = PlaneRowSize(vi, p), heights[p] = PlaneHeight(vi, p), pitches[p] = PitchOf(rows[p]);
    offsets[p] = int(size);
    size += size_t(pitches[p]) * size_t(heights[p]);
  }
  FrameBlock* block = static_cast<FrameBlock*>(malloc(sizeof(FrameBlock) + kAlignment + size));
  if (!block) return nullptr;
  memset(block, 0, sizeof *block);
  const uintptr_t after = reinterpret_cast<uintptr_t>(block + 1);
  BYTE* data = reinterpret_cast<BYTE*>((after + kAlignment - 1) / kAlignment * kAlignment);
  memset(data, kStandInFiller, size);
  block->buffer = {data, int(size), 0, 1, nullptr};
  AVS_VideoFrame& f = block->frame;
  f._refcount = 1, f._vfb = &block->buffer, f._pixel_type = vi.pixel_type;
  f._properties = const_cast<void*>(properties);
  f._offset = offsets[0], f._pitch = pitches[0], f._row_size = rows[0], f._height = heights[0];
  if (planes >= 3) {
    f._offsetU = offsets[1], f._offsetV = offsets[2], f._pitchUV = pitches[1];
    f._row_sizeUV = rows[1], f._heightUV = heights[1];
  }
  if (planes == 4) f._offsetA = offsets[3], f._pitchA = pitches[3], f._row_sizeA = rows[3];
  Count(Counted::kFrames, 1);
  return &f;
}

bool PlaneOf(const AVS_VideoFrame* frame, int plane, PlaneView* view) {
  const int index = frame ? PlaneIndex(*frame, plane) : -1;
  if (index < 0) {
    Misuse("plane %#x asked of a frame of pixel type %#x that has none", plane,
           frame ? frame->_pixel_type : 0);
    return false;
  }
  const AVS_VideoFrame& f = *frame;
  switch (index) {
    case 0: *view = {f._offset, f._pitch, f._row_size, f._height}; break;
    case 1: *view = {f._offsetU, f._pitchUV, f._row_sizeUV, f._heightUV}; break;
    case 2: *view = {f._offsetV, f._pitchUV, f._row_sizeUV, f._heightUV}; break;
    default: *view = {f._offsetA, f._pitchA, f._row_sizeA, f._height}; break;
  }
  return true;
}

extern "C" int AVSC_CC avs_get_pitch_p(const AVS_VideoFrame* p, int plane) {
  PlaneView view;
  return PlaneOf(p, plane, &view) ? view.pitch : 0;
}

extern "C" int AVSC_CC avs_get_row_size_p(const AVS_VideoFrame* p, int plane) {
  PlaneView view;
  return PlaneOf(p, plane, &view) ? view.row_size : 0;
}

extern "C" int AVSC_CC avs_get_height_p(const AVS_VideoFrame* p, int plane) {
  PlaneView view;
  return PlaneOf(p, plane, &view) ? view.height : 0;
}

extern "C" const BYTE* AVSC_CC avs_get_read_ptr_p(const AVS_VideoFrame* p, int plane) {
  PlaneView view;
  return PlaneOf(p, plane, &view) ? p->_vfb->data + view.offset : nullptr;
}

// Only a frame nobody else holds may be written: another holder would see it change.
extern "C" BYTE* AVSC_CC avs_get_write_ptr_p(const AVS_VideoFrame* p, int plane) {
  PlaneView view;
  if (!PlaneOf(p, plane, &view)) return nullptr;
  if (__atomic_load_n(&p->_refcount, __ATOMIC_ACQUIRE) != 1) {
    Misuse("a frame held %ld times asked for writing", long(p->_refcount));
    return nullptr;
  }
  return p->_vfb->data + view.offset;
}

extern "C" void AVSC_CC avs_release_video_frame(AVS_VideoFrame* f) {
  if (!f || __atomic_sub_fetch(&f->_refcount, 1, __ATOMIC_ACQ_REL) != 0) return;
  free(reinterpret_cast<FrameBlock*>(f));
  Count(Counted::kFrames, -1);
}

extern "C" AVS_VideoFrame* AVSC_CC avs_new_video_frame_p(AVS_ScriptEnvironment* env,
                                                         const AVS_VideoInfo* vi,
                                                         const AVS_VideoFrame* prop_src) {
  env->error = nullptr;
  AVS_VideoFrame* frame = nullptr;
  if (!__atomic_exchange_n(&refuse_next_new_frame, false, __ATOMIC_ACQ_REL))
    frame = NewFrame(*vi, prop_src ? prop_src->_properties : nullptr);
  if (!frame) env->error = "Could not allocate video frame. Out of memory.";
  return frame;
}

extern "C" void AVSC_CC avs_bit_blt(AVS_ScriptEnvironment* env, BYTE* dstp, int dst_pitch,
                                    const BYTE* srcp, int src_pitch, int row_size, int height) {
  env->error = nullptr;
  if ((!dstp || !srcp) && row_size > 0 && height > 0) {
    Misuse("avs_bit_blt of %d rows of %d bytes with a null plane", height, row_size);
    return;
  }
  for (int row = 0; row < height; ++row)
    memcpy(dstp + ptrdiff_t(row) * dst_pitch, srcp + ptrdiff_t(row) * src_pitch, size_t(row_size));
}

STAND_IN_API void stand_in_refuse_next_new_frame() {
  __atomic_store_n(&refuse_next_new_frame, true, __ATOMIC_RELEASE);
}

STAND_IN_API const void* stand_in_frame_properties(const AVS_VideoFrame* frame) {
  return frame->_properties;
}
