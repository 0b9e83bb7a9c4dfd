// Clips: sources of drawn samples, the filters plugins make (as the host runs them: the
// plugin's get_frame, then its error or the child's), handles, and calls of functions.
#include <stdio.h>

#include "../../windows/random.h"
#include "stand_in_objects.h"

namespace {

// Samples within the format's range; floats from -1 to 2, now and then an infinity or NaN.
void DrawSamples(BYTE* row, int row_size, int sample_bytes, int bits, Random& random) {
  for (int at = 0; at < row_size; at += sample_bytes) {
    const uint64_t r = random.Next();
    if (sample_bytes == 1) {
      row[at] = BYTE(r >> 56);
    } else if (sample_bytes == 2) {
      const uint16_t sample = uint16_t((r >> 48) & ((1u << bits) - 1));
      __builtin_memcpy(row + at, &sample, 2);
    } else {
      const float specials[] = {__builtin_inff(), -__builtin_inff(), __builtin_nanf("")};
      const float sample =
          (r & 0xFFFF) == 0 ? specials[(r >> 16) % 3] : float((r >> 40) % 3000001) / 1e6f - 1.0f;
      __builtin_memcpy(row + at, &sample, 4);
    }
  }
}

class SourceClip : public Clip {
 public:
  SourceClip(const AVS_VideoInfo& vi, uint32_t seed, int failing_frame)
      : vi_(vi), seed_(seed), failing_frame_(failing_frame) {
    snprintf(failure_, sizeof failure_, "Source: frame %d cannot be read", failing_frame);
  }

  AVS_VideoFrame* GetFrame(int n, const char** error) override {
    if (n == failing_frame_) {
      *error = failure_;
      return nullptr;
    }
    AVS_VideoFrame* frame = NewFrame(vi_, stand_in_source_properties(seed_, n));
    if (!frame) {
      *error = "Source: out of memory";
      return nullptr;
    }
    const int sample_bytes = avs_component_size(&vi_), bits = avs_bits_per_component(&vi_);
    for (int p = 0; p < PlaneCount(vi_); ++p) {
      Random random(uint64_t(seed_) * 1000003u + uint64_t(n) * 8 + uint64_t(p));
      BYTE* data = frame->_vfb->data + (p == 0   ? frame->_offset
                                        : p == 1 ? frame->_offsetU
                                        : p == 2 ? frame->_offsetV
                                                 : frame->_offsetA);
      const int pitch = p == 0 ? frame->_pitch : p == 3 ? frame->_pitchA : frame->_pitchUV;
      for (int row = 0; row < PlaneHeight(vi_, p); ++row)
        DrawSamples(data + ptrdiff_t(row) * pitch, PlaneRowSize(vi_, p), sample_bytes, bits,
                    random);
    }
    return frame;
  }
  const AVS_VideoInfo& VideoInfo() const override { return vi_; }

 private:
  const AVS_VideoInfo vi_;
  const uint32_t seed_;
  const int failing_frame_;
  char failure_[48];
};

// A filter of the C interface: the plugin's callbacks in `info_`, its child held by the host.
class CFilter : public Clip {
 public:
  CFilter(Registry* registry, const AVS_Value& child, bool store_child)
      : env_{registry, nullptr}, child_{nullptr, &env_, nullptr}, info_{} {
    info_.env = &env_;
    if (Clip* clip = ClipOf(child)) {
      info_.vi = clip->VideoInfo();
      if (store_child) {
        clip->AddReference();
        child_.clip = clip;
        info_.child = &child_;
      }
    } else if (store_child) {
      Misuse("avs_new_c_filter asked to keep a child that is no clip (type '%c')", child.type);
    }
  }
  ~CFilter() override {
    if (info_.free_filter) info_.free_filter(&info_);
    if (child_.clip) child_.clip->Release();
  }

  AVS_FilterInfo* Info() { return &info_; }

  AVS_VideoFrame* GetFrame(int n, const char** error) override {
    if (!info_.get_frame) return child_.clip->GetFrame(n, error);
    info_.error = child_.error = nullptr;
    AVS_VideoFrame* frame = info_.get_frame(&info_, n);
    const char* failure = info_.error ? info_.error : child_.error;
    if (!failure && frame) return frame;
    if (frame) {
      Misuse("get_frame gave a frame and the error \"%s\"", failure);
      avs_release_video_frame(frame);
    }
    if (!failure) Misuse("get_frame gave no frame and no error for frame %d", n);
    *error = failure ? failure : "no frame";
    return nullptr;
  }
  int CacheHint(int hint) override {
    return info_.set_cache_hints ? info_.set_cache_hints(&info_, hint, 0) : 0;
  }
  const AVS_VideoInfo& VideoInfo() const override { return info_.vi; }

 private:
  AVS_ScriptEnvironment env_;
  AVS_Clip child_;  // the host's own handle to the child, not one of the counted handles
  AVS_FilterInfo info_;
};

}  // namespace

Clip::Clip() { Count(Counted::kClips, 1); }
Clip::~Clip() { Count(Counted::kClips, -1); }

AVS_Clip* NewHandle(Clip* clip, AVS_ScriptEnvironment* env) {
  clip->AddReference();
  Count(Counted::kHandles, 1);
  return new AVS_Clip{clip, env, nullptr};
}

extern "C" AVS_Clip* AVSC_CC avs_new_c_filter(AVS_ScriptEnvironment* e, AVS_FilterInfo** fi,
                                              AVS_Value child, int store_child) {
  CFilter* filter = new CFilter(e->registry, child, store_child != 0);
  *fi = filter->Info();
  return NewHandle(filter, e);
}

extern "C" void AVSC_CC avs_release_clip(AVS_Clip* p) {
  if (!p) return;
  p->clip->Release();
  delete p;
  Count(Counted::kHandles, -1);
}

extern "C" void AVSC_CC avs_set_to_clip(AVS_Value* v, AVS_Clip* c) {
  if (!c) {
    Misuse("avs_set_to_clip of a null clip");
    return;
  }
  c->clip->AddReference();
  v->type = 'c', v->array_size = 0, v->d.clip = c->clip;
}

extern "C" AVS_VideoFrame* AVSC_CC avs_get_frame(AVS_Clip* p, int n) {
  p->error = nullptr;
  return p->clip->GetFrame(n, &p->error);
}

STAND_IN_API AVS_Clip* stand_in_new_source(AVS_ScriptEnvironment* env, const AVS_VideoInfo* vi,
                                           uint32_t seed, int failing_frame) {
  return NewHandle(new SourceClip(*vi, seed, failing_frame), env);
}

STAND_IN_API const void* stand_in_source_properties(uint32_t seed, int n) {
  return reinterpret_cast<const void*>(uintptr_t(seed) * 2654435761u + uintptr_t(n) * 2 + 1);
}

STAND_IN_API AVS_Clip* stand_in_call(AVS_ScriptEnvironment* env, const StandInFunction* function,
                                     const AVS_Value* arguments, int count, const char** error) {
  AVS_ScriptEnvironment call_env = {env->registry, nullptr};
  AVS_Value args;
  args.type = 'a', args.array_size = short(count), args.d.array = arguments;
  const AVS_Value result = function->apply(&call_env, args, function->user_data);
  for (int i = 0; i < count; ++i)
    if (Clip* clip = ClipOf(arguments[i])) clip->Release();
  *error = nullptr;
  if (result.type == 'e') {
    *error = result.d.string;
    return nullptr;
  }
  Clip* clip = ClipOf(result);
  if (!clip) {
    *error = "the function gave neither a clip nor an error";
    return nullptr;
  }
  // The handle takes over the value's reference.
  AVS_Clip* handle = NewHandle(clip, env);
  clip->Release();
  return handle;
}

STAND_IN_API const AVS_VideoInfo* stand_in_video_info(const AVS_Clip* clip) {
  return &clip->clip->VideoInfo();
}

STAND_IN_API const char* stand_in_clip_error(const AVS_Clip* clip) { return clip->error; }

STAND_IN_API int stand_in_cache_hint(const AVS_Clip* clip, int hint) {
  return clip->clip->CacheHint(hint);
}

STAND_IN_API long stand_in_references(const AVS_Clip* clip) { return clip->clip->References(); }
