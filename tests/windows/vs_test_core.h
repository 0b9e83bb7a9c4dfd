// The VapourSynth side of the Windows test host of korvel_vs.dll: the API functions the
// plugin calls (maps, nodes, frames, filter creation and frame requests), on objects of the
// host's own, each counted, so that every reference the plugin takes can be seen returned.
// Any other function of the API fails the run: it is what a misplaced slot looks like.
// Written from the SDK header of the vendored source, as a core implements it.
#pragma once

#include <VapourSynth4.h>
#include <stdint.h>

const VSAPI* TestApi();
const VSPLUGINAPI* TestPluginApi();

// What the plugin's entry registered.
struct Registration {
  const char *identifier, *plugin_namespace, *name;
  int plugin_version, api_version, flags;
  int functions;  // registerFunction calls
  const char *function_name, *arguments, *return_type;
  VSPublicFunction create;
  void* function_data;
};
const Registration& Registered();

// Maps the host fills for a call and reads back; values are appended, as the core's are.
VSMap* NewMap();
void FreeMap(VSMap* map);
void MapAppendInt(VSMap* map, const char* key, int64_t value);
void MapSetData(VSMap* map, const char* key, const char* data, int size);
void MapSetNode(VSMap* map, const char* key, VSNode* node);  // the map takes a reference
const char* MapError(const VSMap* map);                      // null where none was set
VSNode* MapNode(const VSMap* map, const char* key);          // borrowed; null where absent

// A source clip of this format and size: every sample of frame n's planes drawn from
// (seed, n, plane), integers within the format's depth, floats from 0 to 1, in rows whose
// stride exceeds their width, with filler between.
VSNode* NewSourceNode(const VSVideoFormat& format, int width, int height, uint64_t seed);
// Plane p of the source's frame n, packed: rows of the plane's samples back to back.
void SourcePlane(const VSNode* source, int n, int plane, uint8_t* packed);

// What a filter node was created with.
struct FilterFacts {
  const char* name;
  int mode, dependency_count, request_pattern;
  const VSNode* dependency;
};
FilterFacts FactsOf(const VSNode* filter);

// Frame n of a filter node, asked for as a core does: the initial call, which must ask for
// frames and return none, then the call with every frame ready. Null, and the filter's
// error in `error`, where it fails.
const VSFrame* FilterFrame(VSNode* filter, int n, const char** error);
// Which frame's properties the frame was given (its propSrc's number; -1 for none), and the
// planes it took from other frames (bit p for plane p).
int PropertiesFromFrame(const VSFrame* frame);
int PlanesTakenFromFrames(const VSFrame* frame);

void ReleaseNode(VSNode* node);
// Nodes and frames that someone still holds.
int NodesAlive();
int FramesAlive();
