#include "hopper_geometry.h"

#include <cmath>

namespace karvel {

int RoundHalfEven(double x)
{
    return static_cast<int>(std::nearbyint(x));
}

THopperGeometry HopperGeometry(const THopperSettings& s)
{
    THopperGeometry g {};
    const int margin = s.shiftLeftRight;
    g.innerWidth = s.width - 2 * margin;
    g.innerHeight = s.height - 2 * s.shiftUpDown;
    const double k = s.proportion / 100.0;
    const double c = s.konusnost / 100.0;
    const double half = g.innerWidth / 2.0;
    const double outlet = c * g.innerWidth;

    g.shoulder = k * g.innerHeight + s.shiftUpDown;
    g.y0 = RoundHalfEven(g.shoulder);
    g.outletY = g.y0 + s.shiftUpDown + RoundHalfEven(0.8 * (g.innerHeight - g.shoulder));

    const int outletLeft = RoundHalfEven(half - outlet) + margin;
    const int outletRight = RoundHalfEven(half + outlet) + margin;
    g.funnel = {THopperPoint {margin, g.y0}, THopperPoint {margin + g.innerWidth, g.y0},
                THopperPoint {outletRight, g.outletY}, THopperPoint {outletLeft, g.outletY}};
    g.body = {margin, s.shiftUpDown, s.width - margin, RoundHalfEven(g.shoulder - 2)};
    if (s.open)
        g.damper = {outletLeft, g.outletY + 2, RoundHalfEven(half - outlet + 5) + margin,
                    g.innerHeight};
    else
        g.damper = {outletLeft, g.outletY + 2, outletRight, g.outletY + 7};
    g.textCentreX = margin + g.innerWidth / 2;
    g.textTop = g.y0 / 4;
    return g;
}

} // namespace karvel
