// The interface's binary layout on Linux x86-64, where hosts read these fields directly,
// and the environment's slot order, which a plugin reaches only by position.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "test_clips.h"

namespace {

struct BufferFields : VideoFrameBuffer {
  static std::vector<size_t> Offsets() {
    return {offsetof(BufferFields, data), offsetof(BufferFields, data_size),
            offsetof(BufferFields, sequence_number), offsetof(BufferFields, refcount)};
  }
};
struct FrameFields : VideoFrame {
  static std::vector<size_t> Offsets() {
    return {offsetof(FrameFields, refcount), offsetof(FrameFields, vfb),
            offsetof(FrameFields, offset),   offsetof(FrameFields, pitch),
            offsetof(FrameFields, row_size), offsetof(FrameFields, height)};
  }
};

TEST(InterfaceLayout, FieldsWhereTheHostReadsThem) {
  if (sizeof(long) != 8 || sizeof(void*) != 8) GTEST_SKIP() << "offsets of Linux x86-64";
  EXPECT_EQ(BufferFields::Offsets(), (std::vector<size_t>{0, 8, 16, 24}));
  EXPECT_EQ(FrameFields::Offsets(), (std::vector<size_t>{0, 8, 16, 20, 24, 28}));
  EXPECT_EQ(offsetof(VideoInfo, pixel_type), 20u);
  EXPECT_EQ(offsetof(VideoInfo, num_audio_samples), 32u);
  EXPECT_EQ(offsetof(VideoInfo, image_type), 44u);

  // A clip's count is the long after its vtable pointer.
  auto* clip = new MemoryClip(korvel_test::RgbInfo(8, 8, CS_BGR24));
  PClip held(clip), again(held);
  EXPECT_EQ(*reinterpret_cast<const long*>(reinterpret_cast<const char*>(clip) + 8), 2);

  // A value: tag at +0, array size at +2, payload at +8.
  const AVSValue elements[3] = {held, 7, "text"};
  const AVSValue array(elements, 3);
  const char* bytes = reinterpret_cast<const char*>(&array);
  EXPECT_EQ(*reinterpret_cast<const short*>(bytes), 'a');
  EXPECT_EQ(*reinterpret_cast<const short*>(bytes + 2), 3);
  EXPECT_EQ(*reinterpret_cast<const AVSValue* const*>(bytes + 8), elements);
  EXPECT_EQ(*reinterpret_cast<const int*>(reinterpret_cast<const char*>(&elements[1]) + 8), 7);
}

// Slot numbers count the two destructor slots GCC gives a virtual destructor.
template <class Method>
size_t SlotOf(Method method) {
  // An Itanium pointer to a virtual member holds 1 + its byte offset in the vtable.
  struct {
    ptrdiff_t pointer, adjust;
  } raw;
  static_assert(sizeof raw == sizeof method);
  std::memcpy(&raw, &method, sizeof raw);
  return size_t(raw.pointer - 1) / sizeof(void*);
}

TEST(InterfaceLayout, EnvironmentSlotsInTheHostsOrder) {
  EXPECT_EQ(SlotOf(&IScriptEnvironment::GetCPUFlags), 2u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::ThrowError), 6u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::AddFunction), 7u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::NewVideoFrame), 15u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::BitBlt), 17u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::ManageCache), 23u);
  EXPECT_EQ(SlotOf(&IScriptEnvironment::GetVarDef), 29u);
  EXPECT_EQ(SlotOf(&IClip::GetVideoInfo), 5u);
}

}  // namespace
