// One call of KorvelBlur (libkorvelblur.so) in the real host on a detailed source of any
// format, and its frames checked plane by plane against the model.
#pragma once

#include "korvel_blur_model.h"
#include "real_host.h"

namespace korvel_real_host {

// A host with libkorvelblur.so loaded by LoadPlugin.
class KorvelBlurHost : public RealHost {
 public:
  KorvelBlurHost();
};

// Frames 0 to frames - 1 of the call on its detailed source, every plane against the model.
void CheckAgainstModel(RealHost& host, const KorvelBlurCase& c, int frames);

// Whether two clips' frames are equal, plane by plane, byte for byte; each clip is asked for
// frames in the host that made it.
void ExpectEqualFrames(RealHost& expected_host, const PClip& expected, RealHost& actual_host,
                       const PClip& actual, int frames);

}  // namespace korvel_real_host
