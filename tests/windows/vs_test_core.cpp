#include "vs_test_core.h"

#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "random.h"

// The API's opaque types, as this host makes them.
struct VSNode {
  long references;
  VSVideoInfo vi;
  bool is_filter;
  // A source: its frames are drawn from this seed.
  uint64_t seed;
  // A filter: what createVideoFilter was given.
  FilterFacts facts;
  VSFilterGetFrame get_frame;
  VSFilterFree free;
  void* instance;
};

struct VSFrame {
  long references;
  VSVideoFormat format;
  int width, height;
  uint8_t* planes[3];
  ptrdiff_t strides[3];
  int number;  // the source's frame number; for a new frame, its propSrc's
  int planes_from_frames;
};

struct VSFrameContext {
  int requests;
  const VSNode* requested;
  int requested_frame;
  const char* error;
};

struct VSMap {
  struct Entry {
    char key[16];
    int count;
    int64_t ints[4];
    const char* data;
    int data_size;
    VSNode* node;
  };
  Entry entries[8];
  int entry_count;
  char error[256];
  bool has_error;
};

namespace {

long nodes_alive = 0, frames_alive = 0;
Registration registration = {};

void Count(long* counter, long step) { __atomic_add_fetch(counter, step, __ATOMIC_RELAXED); }

const VSMap::Entry* Find(const VSMap* map, const char* key) {
  for (int i = 0; i < map->entry_count; ++i)
    if (strcmp(map->entries[i].key, key) == 0) return &map->entries[i];
  return nullptr;
}

VSMap::Entry* Add(VSMap* map, const char* key) {
  if (const VSMap::Entry* found = Find(map, key)) return const_cast<VSMap::Entry*>(found);
  if (map->entry_count == 8 || strlen(key) >= sizeof map->entries[0].key) {
    Fail("the test host's map cannot hold key %s", key);
    exit(1);
  }
  VSMap::Entry* entry = &map->entries[map->entry_count++];
  strcpy(entry->key, key);
  return entry;
}

// The entry's element, or null with *error set, as the core reports a missing one.
const VSMap::Entry* Element(const VSMap* map, const char* key, int index, int* error) {
  const VSMap::Entry* entry = Find(map, key);
  const bool present = entry && index >= 0 && index < entry->count;
  if (error) *error = present ? 0 : 1;
  if (!present && !error) Fail("the plugin read a missing %s[%d] without asking", key, index);
  return present ? entry : nullptr;
}

int PlaneWidth(const VSFrame* f, int plane) {
  return plane > 0 ? f->width >> f->format.subSamplingW : f->width;
}
int PlaneHeight(const VSFrame* f, int plane) {
  return plane > 0 ? f->height >> f->format.subSamplingH : f->height;
}
int RowBytes(const VSFrame* f, int plane) {
  return PlaneWidth(f, plane) * f->format.bytesPerSample;
}

// A sample of the format drawn at random: integers within the format's depth, floats
// between 0 and 1 in steps of 2^-16.
void DrawSample(const VSVideoFormat& format, Random& random, uint8_t* sample) {
  const uint64_t value = random.Next();
  if (format.sampleType == stFloat) {
    const float number = float(value & 0xFFFF) / 65536.0f;
    memcpy(sample, &number, sizeof number);
  } else if (format.bytesPerSample == 2) {
    const uint16_t word = uint16_t(value & ((1u << format.bitsPerSample) - 1));
    memcpy(sample, &word, sizeof word);
  } else {
    *sample = uint8_t(value);
  }
}

VSFrame* AllocateFrame(const VSVideoFormat& format, int width, int height, int number) {
  VSFrame* frame = static_cast<VSFrame*>(calloc(1, sizeof(VSFrame)));
  frame->references = 1;
  frame->format = format;
  frame->width = width;
  frame->height = height;
  frame->number = number;
  for (int p = 0; p < format.numPlanes; ++p) {
    // Rows 32 bytes longer than a multiple of 32, the filler a byte no plane holds often.
    frame->strides[p] = ((RowBytes(frame, p) + 31) & ~31) + 32;
    const size_t size = size_t(frame->strides[p]) * size_t(PlaneHeight(frame, p));
    frame->planes[p] = static_cast<uint8_t*>(malloc(size));
    memset(frame->planes[p], 0xA5, size);
  }
  Count(&frames_alive, 1);
  return frame;
}

const VSFrame* SourceFrame(const VSNode* source, int n) {
  VSFrame* frame = AllocateFrame(source->vi.format, source->vi.width, source->vi.height, n);
  for (int p = 0; p < frame->format.numPlanes; ++p) {
    Random random(source->seed ^ (uint64_t(n) << 20) ^ (uint64_t(p) << 56));
    const int bytes = frame->format.bytesPerSample;
    for (int row = 0; row < PlaneHeight(frame, p); ++row)
      for (int column = 0; column < PlaneWidth(frame, p); ++column)
        DrawSample(frame->format, random,
                   &frame->planes[p][row * frame->strides[p] + column * bytes]);
  }
  return frame;
}

// The API's functions the plugin calls.

int VS_CC ConfigPlugin(const char* identifier, const char* plugin_namespace, const char* name,
                       int plugin_version, int api_version, int flags, VSPlugin*) noexcept {
  registration.identifier = identifier;
  registration.plugin_namespace = plugin_namespace;
  registration.name = name;
  registration.plugin_version = plugin_version;
  registration.api_version = api_version;
  registration.flags = flags;
  return 1;
}

int VS_CC RegisterFunction(const char* name, const char* arguments, const char* return_type,
                           VSPublicFunction create, void* data, VSPlugin*) noexcept {
  ++registration.functions;
  registration.function_name = name;
  registration.arguments = arguments;
  registration.return_type = return_type;
  registration.create = create;
  registration.function_data = data;
  return 1;
}

int VS_CC MapNumElements(const VSMap* map, const char* key) noexcept {
  const VSMap::Entry* entry = Find(map, key);
  return entry ? entry->count : -1;
}

int64_t VS_CC MapGetInt(const VSMap* map, const char* key, int index, int* error) noexcept {
  const VSMap::Entry* entry = Element(map, key, index, error);
  return entry && !entry->data && !entry->node ? entry->ints[index] : 0;
}

int VS_CC MapGetIntSaturated(const VSMap* map, const char* key, int index, int* error) noexcept {
  const int64_t value = MapGetInt(map, key, index, error);
  return value > 0x7FFFFFFF ? 0x7FFFFFFF : value < -0x7FFFFFFF - 1 ? -0x7FFFFFFF - 1 : int(value);
}

const char* VS_CC MapGetData(const VSMap* map, const char* key, int index, int* error) noexcept {
  const VSMap::Entry* entry = Element(map, key, index, error);
  return entry ? entry->data : nullptr;
}

int VS_CC MapGetDataSize(const VSMap* map, const char* key, int index, int* error) noexcept {
  const VSMap::Entry* entry = Element(map, key, index, error);
  return entry && entry->data ? entry->data_size : -1;
}

VSNode* VS_CC MapGetNode(const VSMap* map, const char* key, int index, int* error) noexcept {
  const VSMap::Entry* entry = Element(map, key, index, error);
  if (!entry || !entry->node) return nullptr;
  Count(&entry->node->references, 1);
  return entry->node;
}

void VS_CC MapSetError(VSMap* map, const char* message) noexcept {
  strncpy(map->error, message, sizeof map->error - 1);
  map->has_error = true;
}

const VSVideoInfo* VS_CC GetVideoInfo(VSNode* node) noexcept { return &node->vi; }

void VS_CC FreeNode(VSNode* node) noexcept {
  if (!node || __atomic_sub_fetch(&node->references, 1, __ATOMIC_ACQ_REL) > 0) return;
  if (node->is_filter) node->free(node->instance, nullptr, TestApi());
  free(node);
  Count(&nodes_alive, -1);
}

void VS_CC CreateVideoFilter(VSMap* out, const char* name, const VSVideoInfo* vi,
                             VSFilterGetFrame get_frame, VSFilterFree free_filter, int mode,
                             const VSFilterDependency* dependencies, int dependency_count,
                             void* instance, VSCore*) noexcept {
  VSNode* node = static_cast<VSNode*>(calloc(1, sizeof(VSNode)));
  node->references = 1;
  node->vi = *vi;
  node->is_filter = true;
  node->facts = {name, mode, dependency_count,
                 dependency_count > 0 ? dependencies[0].requestPattern : -1,
                 dependency_count > 0 ? dependencies[0].source : nullptr};
  node->get_frame = get_frame;
  node->free = free_filter;
  node->instance = instance;
  Count(&nodes_alive, 1);
  MapSetNode(out, "clip", node);
  FreeNode(node);
}

void VS_CC RequestFrameFilter(int n, VSNode* node, VSFrameContext* context) noexcept {
  ++context->requests;
  context->requested = node;
  context->requested_frame = n;
}

const VSFrame* VS_CC GetFrameFilter(int n, VSNode* node, VSFrameContext* context) noexcept {
  CHECK(context->requests > 0 && context->requested == node && context->requested_frame == n,
        "frame %d of a node was read without being requested", n);
  return node->is_filter ? nullptr : SourceFrame(node, n);
}

void VS_CC SetFilterError(const char* message, VSFrameContext* context) noexcept {
  context->error = message;
}

VSFrame* VS_CC NewVideoFrame2(const VSVideoFormat* format, int width, int height,
                              const VSFrame** plane_sources, const int* planes,
                              const VSFrame* properties_source, VSCore*) noexcept {
  VSFrame* frame =
      AllocateFrame(*format, width, height, properties_source ? properties_source->number : -1);
  for (int p = 0; p < format->numPlanes; ++p) {
    const VSFrame* source = plane_sources ? plane_sources[p] : nullptr;
    if (!source) continue;
    // The core shares the plane; a copy is the same to the plugin.
    memcpy(frame->planes[p], source->planes[planes[p]],
           size_t(frame->strides[p]) * size_t(PlaneHeight(frame, p)));
    frame->planes_from_frames |= 1 << p;
  }
  return frame;
}

void VS_CC FreeFrame(const VSFrame* frame) noexcept {
  VSFrame* f = const_cast<VSFrame*>(frame);
  if (!f || __atomic_sub_fetch(&f->references, 1, __ATOMIC_ACQ_REL) > 0) return;
  for (uint8_t* plane : f->planes) free(plane);
  free(f);
  Count(&frames_alive, -1);
}

bool ValidPlane(const VSFrame* f, int plane) {
  const bool valid = f && plane >= 0 && plane < f->format.numPlanes;
  CHECK(valid, "the plugin asked for plane %d of a frame of %d planes", plane,
        f ? f->format.numPlanes : 0);
  return valid;
}

ptrdiff_t VS_CC GetStride(const VSFrame* f, int plane) noexcept {
  return ValidPlane(f, plane) ? f->strides[plane] : 0;
}
const uint8_t* VS_CC GetReadPtr(const VSFrame* f, int plane) noexcept {
  return ValidPlane(f, plane) ? f->planes[plane] : nullptr;
}
uint8_t* VS_CC GetWritePtr(VSFrame* f, int plane) noexcept {
  return ValidPlane(f, plane) ? f->planes[plane] : nullptr;
}
int VS_CC GetFrameWidth(const VSFrame* f, int plane) noexcept {
  return ValidPlane(f, plane) ? PlaneWidth(f, plane) : 0;
}
int VS_CC GetFrameHeight(const VSFrame* f, int plane) noexcept {
  return ValidPlane(f, plane) ? PlaneHeight(f, plane) : 0;
}

void UnexpectedCall() {
  Fail("the plugin called a function of the API that it has no use for");
  exit(1);
}

// Every slot first fails the run; then those the plugin may call are filled in.
template <class Table>
void FillWithUnexpectedCalls(Table& table) {
  void (**slots)() = reinterpret_cast<void (**)()>(&table);
  for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) slots[i] = UnexpectedCall;
}

// Filled on the first call, which the host makes before it starts any thread.
VSAPI api_table;
VSPLUGINAPI plugin_api_table;
bool tables_filled = false;

void FillTables() {
  FillWithUnexpectedCalls(api_table);
  api_table.createVideoFilter = CreateVideoFilter;
  api_table.freeNode = FreeNode;
  api_table.getVideoInfo = GetVideoInfo;
  api_table.newVideoFrame2 = NewVideoFrame2;
  api_table.freeFrame = FreeFrame;
  api_table.getStride = GetStride;
  api_table.getReadPtr = GetReadPtr;
  api_table.getWritePtr = GetWritePtr;
  api_table.getFrameWidth = GetFrameWidth;
  api_table.getFrameHeight = GetFrameHeight;
  api_table.getFrameFilter = GetFrameFilter;
  api_table.requestFrameFilter = RequestFrameFilter;
  api_table.setFilterError = SetFilterError;
  api_table.mapSetError = MapSetError;
  api_table.mapNumElements = MapNumElements;
  api_table.mapGetInt = MapGetInt;
  api_table.mapGetIntSaturated = MapGetIntSaturated;
  api_table.mapGetData = MapGetData;
  api_table.mapGetDataSize = MapGetDataSize;
  api_table.mapGetNode = MapGetNode;
  FillWithUnexpectedCalls(plugin_api_table);
  plugin_api_table.configPlugin = ConfigPlugin;
  plugin_api_table.registerFunction = RegisterFunction;
  tables_filled = true;
}

}  // namespace

const VSAPI* TestApi() {
  if (!tables_filled) FillTables();
  return &api_table;
}

const VSPLUGINAPI* TestPluginApi() {
  if (!tables_filled) FillTables();
  return &plugin_api_table;
}

const Registration& Registered() { return registration; }

VSMap* NewMap() { return static_cast<VSMap*>(calloc(1, sizeof(VSMap))); }

void FreeMap(VSMap* map) {
  for (int i = 0; i < map->entry_count; ++i) FreeNode(map->entries[i].node);
  free(map);
}

void MapAppendInt(VSMap* map, const char* key, int64_t value) {
  VSMap::Entry* entry = Add(map, key);
  if (entry->count < 4) entry->ints[entry->count++] = value;
}

void MapSetData(VSMap* map, const char* key, const char* data, int size) {
  VSMap::Entry* entry = Add(map, key);
  entry->count = 1;
  entry->data = data;
  entry->data_size = size;
}

void MapSetNode(VSMap* map, const char* key, VSNode* node) {
  VSMap::Entry* entry = Add(map, key);
  CHECK(!entry->node, "the host's map holds one node a key");
  entry->count = 1;
  entry->node = node;
  Count(&node->references, 1);
}

const char* MapError(const VSMap* map) { return map->has_error ? map->error : nullptr; }

VSNode* MapNode(const VSMap* map, const char* key) {
  const VSMap::Entry* entry = Find(map, key);
  return entry ? entry->node : nullptr;
}

VSNode* NewSourceNode(const VSVideoFormat& format, int width, int height, uint64_t seed) {
  VSNode* node = static_cast<VSNode*>(calloc(1, sizeof(VSNode)));
  node->references = 1;
  node->vi = {format, 25, 1, width, height, 1000};
  node->seed = seed;
  Count(&nodes_alive, 1);
  return node;
}

void SourcePlane(const VSNode* source, int n, int plane, uint8_t* packed) {
  const VSFrame* frame = SourceFrame(source, n);
  for (int row = 0; row < PlaneHeight(frame, plane); ++row)
    memcpy(packed + row * RowBytes(frame, plane),
           frame->planes[plane] + row * frame->strides[plane], size_t(RowBytes(frame, plane)));
  FreeFrame(frame);
}

FilterFacts FactsOf(const VSNode* filter) { return filter->facts; }

const VSFrame* FilterFrame(VSNode* filter, int n, const char** error) {
  VSFrameContext context = {0, nullptr, -1, nullptr};
  void* frame_data = nullptr;
  const VSFrame* none =
      filter->get_frame(n, arInitial, filter->instance, &frame_data, &context, nullptr, TestApi());
  CHECK(!none && context.requests > 0,
        "frame %d: the initial call returned a frame or asked for none", n);
  const VSFrame* frame = filter->get_frame(n, arAllFramesReady, filter->instance, &frame_data,
                                           &context, nullptr, TestApi());
  *error = context.error;
  CHECK(!frame == !!context.error, "frame %d: %s", n,
        frame ? "a frame and an error" : "neither a frame nor an error");
  return frame;
}

int PropertiesFromFrame(const VSFrame* frame) { return frame->number; }
int PlanesTakenFromFrames(const VSFrame* frame) { return frame->planes_from_frames; }

void ReleaseNode(VSNode* node) { FreeNode(node); }
int NodesAlive() { return int(__atomic_load_n(&nodes_alive, __ATOMIC_RELAXED)); }
int FramesAlive() { return int(__atomic_load_n(&frames_alive, __ATOMIC_RELAXED)); }
