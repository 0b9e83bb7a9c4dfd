#include "extent_messages.h"

namespace {

constexpr const char* kShape = "Korvel: blur can be  line rect or focus only";
constexpr const char* kZero = "Korvel:x and y both must not be zero";
constexpr int L = kLeftOut;

}  // namespace

const ExtentCase kExtentCases[] = {
    // The keyword, matched byte for byte.
    {640, 480, 999, 999, "Line", kShape},
    {640, 480, L, L, "RECT", kShape},
    {640, 480, L, L, "focus ", kShape},
    {640, 480, L, L, "", kShape},
    {640, 480, L, L, "line", nullptr},
    {640, 480, L, L, "rect", nullptr},
    {640, 480, L, L, "focus", nullptr},
    // "line": each extent within an eighth of its side, not both zero.
    {640, 480, -80, -60, "line", nullptr},
    {640, 480, 80, 60, "line", nullptr},
    {640, 480, 81, L, "line", "Korvel:x must be  between plus minus 80"},
    {640, 480, -81, L, nullptr, "Korvel:x must be  between plus minus 80"},
    {640, 480, 81, 61, nullptr, "Korvel:x must be  between plus minus 80"},
    {640, 480, 0, 61, nullptr, "Korvel:y must be  between plus minus 60"},
    {640, 480, 0, -61, nullptr, "Korvel:y must be  between plus minus 60"},
    {640, 480, 0, 0, nullptr, kZero},
    {640, 480, 0, L, nullptr, nullptr},
    {640, 480, L, 0, nullptr, nullptr},
    {32, 480, L, L, nullptr, "Korvel:x must be  between plus minus 4"},
    {640, 32, L, L, nullptr, "Korvel:y must be  between plus minus 4"},
    {7, 480, 0, 60, nullptr, nullptr},
    {7, 480, 0, 0, nullptr, kZero},
    {7, 480, 1, 1, nullptr, "Korvel:x must be  between plus minus 0"},
    // "rect": from 1 to an eighth of the side.
    {640, 480, 0, L, "rect", "Korvel:x must be  between 1 and 80"},
    {640, 480, 81, L, "rect", "Korvel:x must be  between 1 and 80"},
    {640, 480, 0, 0, "rect", "Korvel:x must be  between 1 and 80"},
    {640, 480, 80, 60, "rect", nullptr},
    {640, 480, 1, 1, "rect", nullptr},
    {640, 480, 80, 61, "rect", "Korvel:y must be  between 1 and 60"},
    {640, 480, 80, 0, "rect", "Korvel:y must be  between 1 and 60"},
    {32, 480, L, L, "rect", "Korvel:x must be  between 1 and 4"},
    // "focus": a radius from 2 to an eighth of the width, whatever y and the height.
    {640, 480, 1, L, "focus", "Korvel:for focus x must be  between 2 80"},
    {640, 480, 81, L, "focus", "Korvel:for focus x must be  between 2 80"},
    {640, 480, 2, L, "focus", nullptr},
    {640, 480, 80, L, "focus", nullptr},
    {640, 480, 2, 1000, "focus", nullptr},
    {32, 480, L, L, "focus", "Korvel:for focus x must be  between 2 4"},
    {160, 800, 21, L, "focus", "Korvel:for focus x must be  between 2 20"},
    {640, 64, 70, L, "focus", nullptr},
};

const int kExtentCaseCount = int(sizeof kExtentCases / sizeof kExtentCases[0]);
