// Script values: what scripts pass to functions and get back from them.
#pragma once

#include "clip.h"

class AVSValue {
 public:
  // Type tags. 'v' is the value of an optional argument that the script did not give.
  enum : short { kVoid = 'v', kArray = 'a', kClip = 'c', kInt = 'i', kString = 's' };

  AVSValue() = default;
  AVSValue(IClip* clip) : type_(kClip) { SetClip(clip); }              // NOLINT: implicit
  AVSValue(const PClip& clip) : type_(kClip) { SetClip(clip.get()); }  // NOLINT: implicit
  AVSValue(int integer) : type_(kInt) { integer_ = integer; }          // NOLINT: implicit
  AVSValue(const char* string) : type_(kString) { string_ = string; }  // NOLINT: implicit
  // An array refers to its elements; whoever made them keeps them alive.
  AVSValue(const AVSValue* elements, int size) : type_(kArray), array_size_(short(size)) {
    array_ = elements;
  }
  AVSValue(const AVSValue& other) { CopyFrom(other); }
  AVSValue& operator=(const AVSValue& other) {
    if (this != &other) {
      AVSValue keep(*this);  // release only after the copy, in case other lives inside it
      Reset();
      CopyFrom(other);
    }
    return *this;
  }
  ~AVSValue() { Reset(); }

  bool Defined() const { return type_ != kVoid; }
  bool IsClip() const { return type_ == kClip; }
  bool IsInt() const { return type_ == kInt; }
  bool IsString() const { return type_ == kString; }
  bool IsArray() const { return type_ == kArray; }
  short Type() const { return type_; }

  PClip AsClip() const { return IsClip() ? PClip(clip_) : PClip(); }
  int AsInt(int fallback) const { return IsInt() ? integer_ : fallback; }
  const char* AsString(const char* fallback) const { return IsString() ? string_ : fallback; }

  int ArraySize() const { return IsArray() ? array_size_ : 1; }
  // Element i of an array; any other value stands for itself.
  const AVSValue& operator[](int i) const {
    return IsArray() && i >= 0 && i < array_size_ ? array_[i] : *this;
  }

 private:
  void SetClip(IClip* clip) {
    clip_ = clip;
    if (clip_) ++clip_->refcount_;
  }
  void CopyFrom(const AVSValue& other) {
    type_ = other.type_;
    array_size_ = other.array_size_;
    switch (type_) {
      case kClip: SetClip(other.clip_); break;
      case kInt: integer_ = other.integer_; break;
      case kString: string_ = other.string_; break;
      case kArray: array_ = other.array_; break;
      default: clip_ = nullptr; break;
    }
  }
  void Reset() {
    if (type_ == kClip && clip_ && --clip_->refcount_ == 0) delete clip_;
    type_ = kVoid;
    clip_ = nullptr;
  }

  short type_ = kVoid;
  short array_size_ = 0;
  union {
    IClip* clip_ = nullptr;
    int integer_;
    const char* string_;
    const AVSValue* array_;
  };
};
