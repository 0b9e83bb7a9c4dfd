#include "script_environment.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "plugin_library.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Matches(const AVSValue& value, char type) {
  switch (type) {
    case 'c': return value.IsClip();
    case 'i': return value.IsInt();
    case 's': return value.IsString();
    default: return false;
  }
}

}  // namespace

ScriptEnvironment::ScriptEnvironment() = default;

// Shutdown functions run first, latest registered first, while everything is still there.
ScriptEnvironment::~ScriptEnvironment() {
  for (auto it = at_exit_.rbegin(); it != at_exit_.rend(); ++it) it->first(it->second, this);
}

void ScriptEnvironment::Unsupported(const char* operation) {
  ScriptEnvironment::ThrowError("%s is not supported by this host", operation);
}

void ScriptEnvironment::AddFunction(const char* name, const char* params, ApplyFunc apply,
                                    void* user_data) {
  Function function{params, {}, apply, user_data};
  if (!ParseParameters(params, &function.parameters))
    ThrowError("%s", SaveString((std::string("malformed parameter string \"") + params +
                                 "\" for function " + name)
                                    .c_str()));
  functions_[Lower(name)] = std::move(function);
}

char* ScriptEnvironment::VSprintf(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) return nullptr;
  std::string text(size_t(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return SaveString(text.c_str(), length);
}

char* ScriptEnvironment::Sprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = VSprintf(format, args);
  va_end(args);
  return text;
}

void ScriptEnvironment::ThrowError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const char* message = VSprintf(format, args);
  va_end(args);
  throw AvisynthError(message ? message : format);
}

PVideoFrame ScriptEnvironment::NewVideoFrame(const VideoInfo& vi, int align) {
  const int64_t row_size = int64_t(vi.width) * (vi.BitsPerPixel() / 8);
  if (vi.IsPlanar() || row_size > INT32_MAX || vi.height < 0)
    ThrowError("NewVideoFrame: cannot make a frame of this format and size");
  PVideoFrame frame = frames_.New(int(row_size), vi.height, 0, std::max(align, 1));
  if (!frame) ThrowError("NewVideoFrame: out of memory");
  return frame;
}

PVideoFrame ScriptEnvironment::NewFrame(int row_size, int height, int pitch, int align) {
  PVideoFrame frame = frames_.New(row_size, height, pitch, align);
  if (!frame) ThrowError("cannot make a frame of %d rows", height);
  return frame;
}

void ScriptEnvironment::BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch,
                               int row_size, int height) {
  if (row_size <= 0 || height <= 0) return;
  if (dst_pitch == src_pitch && src_pitch == row_size) {
    std::memcpy(dst, src, size_t(row_size) * size_t(height));
    return;
  }
  for (int i = 0; i < height; ++i)
    std::memcpy(dst + ptrdiff_t(i) * dst_pitch, src + ptrdiff_t(i) * src_pitch, size_t(row_size));
}

char* ScriptEnvironment::SaveString(const char* text, int length) {
  std::lock_guard<std::mutex> lock(strings_mutex_);
  strings_.emplace_back(text, length < 0 ? std::strlen(text) : size_t(length));
  return strings_.back().data();
}

const char* ScriptEnvironment::LoadPlugin(const std::string& path) {
  std::string error;
  std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, &error);
  if (!library) ThrowError("%s", SaveString(error.c_str()));
  PluginInit2Func entry = library->Entry();
  plugins_.push_back(std::move(library));
  return entry(this);
}

bool ScriptEnvironment::FunctionExists(const char* name) {
  return functions_.count(Lower(name)) != 0;
}

AVSValue ScriptEnvironment::Saved(const AVSValue& value) {
  return value.IsString() ? AVSValue(SaveString(value.AsString(""))) : value;
}

std::vector<AVSValue> ScriptEnvironment::Bind(const std::string& name, const Function& function,
                                              const std::vector<AVSValue>& positional,
                                              const std::vector<NamedArgument>& named) {
  const std::vector<Parameter>& parameters = function.parameters;
  std::vector<AVSValue> bound(parameters.size());
  std::vector<bool> given(parameters.size(), false);
  auto fail = [&](const std::string& why) {
    ThrowError("%s", SaveString((name + ": " + why).c_str()));
  };
  auto bind = [&](size_t index, const AVSValue& value, const std::string& label) {
    if (!Matches(value, parameters[index].type))
      fail("argument " + label + " must be " + TypeName(parameters[index].type));
    bound[index] = Saved(value);
    given[index] = true;
  };

  if (positional.size() > parameters.size()) fail("too many arguments");
  for (size_t i = 0; i < positional.size(); ++i) {
    const std::string label =
        parameters[i].name.empty() ? std::to_string(i + 1) : parameters[i].name;
    bind(i, positional[i], label);
  }
  for (const NamedArgument& argument : named) {
    auto match = std::find_if(parameters.begin(), parameters.end(), [&](const Parameter& p) {
      return !p.name.empty() && Lower(p.name) == Lower(argument.name);
    });
    if (match == parameters.end()) fail("no argument named '" + argument.name + "'");
    const size_t index = size_t(match - parameters.begin());
    if (given[index]) fail("argument '" + argument.name + "' given twice");
    bind(index, argument.value, argument.name);
  }
  for (size_t i = 0; i < parameters.size(); ++i)
    if (!given[i] && !parameters[i].optional)
      fail("argument " + std::to_string(i + 1) + " (" + TypeName(parameters[i].type) +
           ") is missing");
  return bound;
}

AVSValue ScriptEnvironment::Invoke(const char* name, const AVSValue args,
                                   const char* const* arg_names) {
  std::vector<AVSValue> positional;
  std::vector<NamedArgument> named;
  for (int i = 0; i < args.ArraySize(); ++i) {
    if (arg_names && arg_names[i])
      named.push_back({arg_names[i], args[i]});
    else if (named.empty())
      positional.push_back(args[i]);
    else
      ThrowError("%s: a positional argument follows a named one", name);
  }
  return Call(name, positional, named);
}

AVSValue ScriptEnvironment::Call(const std::string& name, const std::vector<AVSValue>& positional,
                                 const std::vector<NamedArgument>& named) {
  auto found = functions_.find(Lower(name));
  if (found == functions_.end())
    ThrowError("%s", SaveString(("there is no function named " + name).c_str()));
  const Function& function = found->second;
  const std::vector<AVSValue> arguments = Bind(name, function, positional, named);
  return function.apply(AVSValue(arguments.data(), int(arguments.size())), function.user_data,
                        this);
}

bool ScriptEnvironment::MakeWritable(PVideoFrame* frame) {
  if ((*frame)->GetWritePtr()) return false;
  PVideoFrame copy = NewFrame((*frame)->GetRowSize(), (*frame)->GetHeight());
  BitBlt(copy->GetWritePtr(), copy->GetPitch(), (*frame)->GetReadPtr(), (*frame)->GetPitch(),
         (*frame)->GetRowSize(), (*frame)->GetHeight());
  *frame = copy;
  return true;
}

void ScriptEnvironment::AtExit(ShutdownFunc function, void* user_data) {
  at_exit_.emplace_back(function, user_data);
}

void ScriptEnvironment::CheckVersion(int version) {
  if (version > AVISYNTH_INTERFACE_VERSION)
    ThrowError("plugin interface version %d is newer than this host's (%d)", version,
               AVISYNTH_INTERFACE_VERSION);
}

AVSValue ScriptEnvironment::GetVar(const char*) { Unsupported("GetVar"); }
bool ScriptEnvironment::SetVar(const char*, const AVSValue&) { Unsupported("SetVar"); }
bool ScriptEnvironment::SetGlobalVar(const char*, const AVSValue&) { Unsupported("SetGlobalVar"); }
void ScriptEnvironment::PushContext(int) { Unsupported("PushContext"); }
void ScriptEnvironment::PopContext() { Unsupported("PopContext"); }
PVideoFrame ScriptEnvironment::Subframe(PVideoFrame, int, int, int, int) {
  Unsupported("Subframe");
}
int ScriptEnvironment::SetMemoryMax(int) { Unsupported("SetMemoryMax"); }
int ScriptEnvironment::SetWorkingDir(const char*) { Unsupported("SetWorkingDir"); }
bool ScriptEnvironment::PlanarChromaAlignment(int) { Unsupported("PlanarChromaAlignment"); }
PVideoFrame ScriptEnvironment::SubframePlanar(PVideoFrame, int, int, int, int, int, int, int) {
  Unsupported("SubframePlanar");
}
// The environment belongs to whoever made it, and goes with it.
void ScriptEnvironment::DeleteScriptEnvironment() { Unsupported("DeleteScriptEnvironment"); }
void ScriptEnvironment::ApplyMessage(PVideoFrame*, const VideoInfo&, const char*, int, int, int,
                                     int) {
  Unsupported("ApplyMessage");
}
const void* ScriptEnvironment::GetAVSLinkage() { Unsupported("GetAVSLinkage"); }
