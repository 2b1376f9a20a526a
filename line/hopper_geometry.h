#pragma once
// Geometry of the hopper indicator: body, funnel and discharge damper from the control's
// size and settings. Kept apart from the painting so it can be checked to the pixel.

#include <array>

namespace karvel {

struct THopperPoint {
    int x, y;
    bool operator==(const THopperPoint&) const = default;
};
struct THopperRect {
    int left, top, right, bottom; // right and bottom excluded
    bool operator==(const THopperRect&) const = default;
};

struct THopperSettings {
    int width = 0, height = 0;
    int shiftUpDown = 0, shiftLeftRight = 0;
    int proportion = 0; // percent of the inner height taken by the body
    int konusnost = 0; // half-width of the outlet, percent of the inner width
    bool open = false; // damper drawn open
};

struct THopperGeometry {
    int innerWidth, innerHeight;
    double shoulder; // where the funnel starts (real)
    int y0; // shoulder, rounded
    int outletY; // outlet level
    std::array<THopperPoint, 4> funnel; // P0..P3
    THopperRect body;
    THopperRect damper;
    int textCentreX; // the text is centred on this x
    int textTop; // top of the first text line
};

// Halves round to the even neighbour, as everywhere in this drawing.
int RoundHalfEven(double x);
THopperGeometry HopperGeometry(const THopperSettings& s);

} // namespace karvel
