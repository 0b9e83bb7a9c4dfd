// Script values: what scripts pass to functions and get back from them.
//
// The layout is the host's: a type tag, an array size and one payload of pointer size at
// most (16 bytes on 64-bit targets, 8 on 32-bit Windows). Tags other than those named here
// (functions, and whatever newer hosts add) are "not this type" to every accessor.
#pragma once

#include "clip.h"

class AVSValue {
 public:
  // Type tags. 'v' is the value of an optional argument that the script did not give.
  enum : short {
    kVoid = 'v',
    kArray = 'a',
    kClip = 'c',
    kBool = 'b',
    kInt = 'i',
    kFloat = 'f',
    kString = 's',
  };

  AVSValue() { clip = nullptr; }
  AVSValue(IClip* value) : type(kClip) { SetClip(value); }              // NOLINT: implicit
  AVSValue(const PClip& value) : type(kClip) { SetClip(value.get()); }  // NOLINT: implicit
  AVSValue(bool value) : type(kBool) { boolean = value; }               // NOLINT: implicit
  AVSValue(int value) : type(kInt) { integer = value; }                 // NOLINT: implicit
  AVSValue(float value) : type(kFloat) { floating_pt = value; }         // NOLINT: implicit
  AVSValue(const char* value) : type(kString) { string = value; }       // NOLINT: implicit
  // An array refers to its elements and never counts or releases them: whoever made them
  // keeps them alive, and destroys them.
  AVSValue(const AVSValue* elements, int size) : type(kArray), array_size(short(size)) {
    array = elements;
  }
  AVSValue(const AVSValue& other) { CopyFrom(other); }
  AVSValue& operator=(const AVSValue& other) {
    if (this != &other) {
      const AVSValue keep(*this);  // released only after the copy, in case other lives in it
      Reset();
      CopyFrom(other);
    }
    return *this;
  }
  ~AVSValue() { Reset(); }

  bool Defined() const { return type != kVoid; }
  bool IsClip() const { return type == kClip; }
  bool IsBool() const { return type == kBool; }
  bool IsInt() const { return type == kInt; }
  bool IsFloat() const { return type == kFloat || type == kInt; }
  bool IsString() const { return type == kString; }
  bool IsArray() const { return type == kArray; }
  short Type() const { return type; }

  // A new counted reference, or none unless this is a clip.
  PClip AsClip() const { return IsClip() ? PClip(clip) : PClip(); }
  bool AsBool(bool fallback) const { return IsBool() ? boolean : fallback; }
  int AsInt(int fallback) const { return IsInt() ? integer : fallback; }
  float AsFloat(float fallback) const {
    return type == kFloat ? floating_pt : type == kInt ? float(integer) : fallback;
  }
  const char* AsString(const char* fallback) const { return IsString() ? string : fallback; }

  int ArraySize() const { return IsArray() ? array_size : 1; }
  // Element i of an array; any other value stands for itself.
  const AVSValue& operator[](int i) const {
    return IsArray() && i >= 0 && i < array_size ? array[i] : *this;
  }

 private:
  void SetClip(IClip* value) {
    clip = value;
    if (clip) clip->AddRef();
  }
  void CopyFrom(const AVSValue& other) {
    type = other.type;
    array_size = other.array_size;
    if (type == kClip)
      SetClip(other.clip);
    else
      array = other.array;  // the whole payload, whatever it holds
  }
  void Reset() {
    if (type == kClip && clip) clip->Release();
    type = kVoid;
    clip = nullptr;
  }

  short type = kVoid;
  short array_size = 0;
  union {
    IClip* clip;
    bool boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVSValue* array;
  };
};
