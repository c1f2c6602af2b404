// The envelope diagram as a list of shapes: the regions, their boundaries, the axes, the
// legend and the operating point, laid out once for a given size. The window paints the
// list with its toolkit, its PDF data sheet prints it, and the command line writes it as
// SVG, so all three show the same picture.
#pragma once

#include "kv/envelope.h"
#include "kv/units.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct DrawPoint {
    double x = 0, y = 0;
};

struct DrawPolygon {
    std::vector<DrawPoint> points;
    Rgb fill;
};

struct DrawLine {
    std::vector<DrawPoint> points;
    Rgb colour;
    double width = 1;
};

struct DrawText {
    enum class Anchor { Start, Middle, End };
    DrawPoint at; // baseline position
    std::string text;
    double size = 9; // font size, in drawing units
    Anchor anchor = Anchor::Start;
    bool bold = false;
    bool vertical = false; // rotated 90° anticlockwise
    Rgb colour;
};

struct DrawRect {
    double x = 0, y = 0, w = 0, h = 0;
    Rgb fill, stroke;
};

// Drawing units are pixels at 96 dpi on screen and points on paper; y grows downwards.
struct Drawing {
    double width = 0, height = 0;
    // In painting order: polygons, then lines, then rectangles, then texts.
    std::vector<DrawPolygon> polygons;
    std::vector<DrawLine> lines;
    std::vector<DrawRect> rects;
    std::vector<DrawText> texts;
    // The plot area and the temperatures (units shown) at its edges.
    double plotLeft = 0, plotTop = 0, plotWidth = 0, plotHeight = 0;
    double teFrom = 0, teTo = 0, tcFrom = 0, tcTo = 0;
    UnitSystem units = UnitSystem::SI;
};

// The fill colour of a region of a code.
Rgb regionColour(int32_t code);
// The legend's text of a code: "Within the envelope", "Refused", or the warning's limit.
std::string legendText(int32_t code);

// Lays out the diagram of `envelope` at `size` (width, height) with the operating point
// `point` (engine units), the axes in `units`.
// `textScale` scales every text (and the legend's line length with it).
Drawing envelopeDrawing(const Envelope& envelope, const ConditionValues& point, UnitSystem units,
                        double width, double height, double textScale = 1.0);

// The temperatures (engine units) under a position of the drawing; false outside the plot.
bool drawingTemperatures(const Drawing& d, double x, double y, double& te, double& tc);

// The drawing as a standalone SVG document.
std::string drawingSvg(const Drawing& d);

// "Te 5 °C, Tc 50 °C": a point in the units shown.
std::string pointText(const ConditionValues& point, UnitSystem units);
// "Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, Sh2 10 K": the five conditions of `point` (engine
// units) in the units shown, to two decimals at most.
std::string allConditionsText(const ConditionValues& point, UnitSystem units);

} // namespace kv
