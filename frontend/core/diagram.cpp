#include "kv/diagram.h"

#include "kv/perftable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace kv {

Rgb regionColour(int32_t code) {
    switch (code) {
    case KPX_CLEAN:
        return {198, 228, 190};
    case KPX_TE_BELOW_INNER:
        return {250, 230, 160};
    case KPX_TE_ABOVE_INNER:
        return {247, 210, 125};
    case KPX_TC_BELOW_INNER:
        return {200, 220, 242};
    case KPX_TC_ABOVE_INNER:
        return {245, 185, 140};
    case KPX_SUPERHEAT_HIGH:
        return {226, 200, 238};
    case KPX_SH2_BELOW_SH1:
        return {218, 210, 192};
    case KPX_BELOW_K_LINE:
        return {170, 214, 228};
    case KPX_TC_ABOVE_LIMIT:
        return {238, 160, 145};
    default:
        break;
    }
    return code < 0 ? Rgb{245, 245, 245} : Rgb{210, 210, 210};
}

std::string legendText(int32_t code) {
    if (code == KPX_CLEAN)
        return "Within the envelope";
    if (code < 0)
        return "Refused";
    std::string reason = ratingReason(code);
    reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
    return "Warning " + std::to_string(code) + ": " + reason;
}

std::string pointText(const ConditionValues& point, UnitSystem units) {
    const ConditionValues p = fromEngineUnits(point, units);
    const std::string unit(unitLabels(units).te);
    return "Te " + plainNumber(p.te, 1) + " " + unit + ", Tc " + plainNumber(p.tc, 1) + " " + unit;
}

std::string allConditionsText(const ConditionValues& point, UnitSystem units) {
    const ConditionValues p = fromEngineUnits(point, units);
    const UnitLabels labels = unitLabels(units);
    const std::pair<const char*, std::pair<double, std::string_view>> parts[] = {
        {"Te", {p.te, labels.te}},
        {"Tc", {p.tc, labels.tc}},
        {"Sc", {p.sc, labels.sc}},
        {"Sh1", {p.sh1, labels.sh1}},
        {"Sh2", {p.sh2, labels.sh2}}};
    std::string text;
    for (const auto& [name, value] : parts)
        text += (text.empty() ? "" : ", ") + std::string(name) + " " +
                numberText(roundHalfEven(value.first, 2), NumberFormat::english()) + " " +
                std::string(value.second);
    return text;
}

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGridGrey{215, 215, 215};
constexpr Rgb kBoundary{70, 70, 70};
constexpr Rgb kText{30, 30, 30};
constexpr Rgb kPointRed{200, 0, 0};

double niceStep(double span) {
    for (double s : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0})
        if (span / s <= 12)
            return s;
    return 100.0;
}

// Breaks a text into lines of at most `width` characters at blanks.
std::vector<std::string> wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flush = [&] {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        word.clear();
    };
    for (char c : text) {
        if (c == ' ')
            flush();
        else
            word += c;
    }
    flush();
    lines.push_back(line);
    return lines;
}

std::string colourText(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

Drawing envelopeDrawing(const Envelope& env, const ConditionValues& point, UnitSystem units,
                        double width, double height, double textScale) {
    Drawing d;
    d.width = width;
    d.height = height;
    d.units = units;
    const double legendWidth = std::min(230.0, width * 0.36);
    d.plotLeft = 54;
    d.plotTop = 10;
    d.plotWidth = std::max(40.0, width - d.plotLeft - legendWidth - 16);
    d.plotHeight = std::max(40.0, height - d.plotTop - 46);

    auto shown = [units](double te, double tc) {
        return fromEngineUnits({te, tc, 0, 0, 0}, units);
    };
    const ConditionValues lo = shown(env.window.teFrom, env.window.tcFrom);
    const ConditionValues hi = shown(env.window.teTo, env.window.tcTo);
    d.teFrom = lo.te;
    d.teTo = hi.te;
    d.tcFrom = lo.tc;
    d.tcTo = hi.tc;
    auto map = [&](double te, double tc) { // engine units to drawing
        const ConditionValues s = shown(te, tc);
        return DrawPoint{d.plotLeft + (s.te - d.teFrom) / (d.teTo - d.teFrom) * d.plotWidth,
                         d.plotTop + (d.tcTo - s.tc) / (d.tcTo - d.tcFrom) * d.plotHeight};
    };

    for (const EnvelopePolygon& p : env.polygons) {
        DrawPolygon poly;
        poly.fill = regionColour(p.code);
        for (const EnvelopePoint& e : p.points)
            poly.points.push_back(map(e.te, e.tc));
        d.polygons.push_back(std::move(poly));
    }

    // Grid lines and tick labels in the units shown, over the regions.
    const std::string unit(unitLabels(units).te);
    const double teStep = niceStep(d.teTo - d.teFrom), tcStep = niceStep(d.tcTo - d.tcFrom);
    for (double v = std::ceil(d.teFrom / teStep) * teStep; v <= d.teTo + 1e-9; v += teStep) {
        const double x = d.plotLeft + (v - d.teFrom) / (d.teTo - d.teFrom) * d.plotWidth;
        d.lines.push_back({{{x, d.plotTop}, {x, d.plotTop + d.plotHeight}}, kGridGrey, 0.6});
        d.texts.push_back({{x, d.plotTop + d.plotHeight + 14},
                           plainNumber(v, 0),
                           9.5,
                           DrawText::Anchor::Middle,
                           false,
                           false,
                           kText});
    }
    for (double v = std::ceil(d.tcFrom / tcStep) * tcStep; v <= d.tcTo + 1e-9; v += tcStep) {
        const double y = d.plotTop + (d.tcTo - v) / (d.tcTo - d.tcFrom) * d.plotHeight;
        d.lines.push_back({{{d.plotLeft, y}, {d.plotLeft + d.plotWidth, y}}, kGridGrey, 0.6});
        d.texts.push_back({{d.plotLeft - 5, y + 3.5},
                           plainNumber(v, 0),
                           9.5,
                           DrawText::Anchor::End,
                           false,
                           false,
                           kText});
    }
    for (const EnvelopeLine& l : env.boundaries) {
        DrawLine line{{}, kBoundary, 0.9};
        for (const EnvelopePoint& e : l.points)
            line.points.push_back(map(e.te, e.tc));
        d.lines.push_back(std::move(line));
    }
    d.texts.push_back({{d.plotLeft + d.plotWidth / 2, d.plotTop + d.plotHeight + 34},
                       "Evaporating temperature Te (" + unit + ")",
                       11,
                       DrawText::Anchor::Middle,
                       false,
                       false,
                       kText});
    d.texts.push_back({{d.plotLeft - 34, d.plotTop + d.plotHeight / 2},
                       "Condensing temperature Tc (" + unit + ")",
                       11,
                       DrawText::Anchor::Middle,
                       false,
                       true,
                       kText});
    // The frame.
    const double r = d.plotLeft + d.plotWidth, b = d.plotTop + d.plotHeight;
    d.lines.push_back({{{d.plotLeft, d.plotTop},
                        {r, d.plotTop},
                        {r, b},
                        {d.plotLeft, b},
                        {d.plotLeft, d.plotTop}},
                       kBlack,
                       1});

    // The operating point: a cross in a ring, with its coordinates.
    const DrawPoint p = map(point.te, point.tc);
    if (p.x >= d.plotLeft && p.x <= r && p.y >= d.plotTop && p.y <= b) {
        d.lines.push_back({{{p.x - 7, p.y}, {p.x + 7, p.y}}, kPointRed, 1.6});
        d.lines.push_back({{{p.x, p.y - 7}, {p.x, p.y + 7}}, kPointRed, 1.6});
        std::vector<DrawPoint> ring;
        for (int i = 0; i <= 24; ++i)
            ring.push_back({p.x + 4.5 * std::cos(i * std::numbers::pi / 12),
                            p.y + 4.5 * std::sin(i * std::numbers::pi / 12)});
        d.lines.push_back({ring, kPointRed, 1.4});
        const bool left = p.x > d.plotLeft + d.plotWidth * 0.6;
        const bool below = p.y < d.plotTop + 20;
        d.texts.push_back({{left ? p.x - 9 : p.x + 9, below ? p.y + 16 : p.y - 8},
                           pointText(point, units),
                           10,
                           left ? DrawText::Anchor::End : DrawText::Anchor::Start,
                           true,
                           false,
                           kPointRed});
    }

    // The legend: one swatch per code that occurs, clean first, then warnings, refused last.
    std::vector<int32_t> codes;
    for (int32_t c : env.codes)
        if (c == 0)
            codes.push_back(c);
    for (int32_t c : env.codes)
        if (c > 0)
            codes.push_back(c);
    if (std::any_of(env.codes.begin(), env.codes.end(), [](int32_t c) { return c < 0; }))
        codes.push_back(-2);
    double y = d.plotTop + 2;
    const double lx = r + 14;
    const auto chars =
        static_cast<std::size_t>(std::max(12.0, (legendWidth - 22) / (4.9 * textScale)));
    for (int32_t c : codes) {
        d.rects.push_back({lx, y, 12, 10, regionColour(c), kBoundary});
        double ty = y + 9;
        for (const std::string& line : wrap(legendText(c), chars)) {
            d.texts.push_back(
                {{lx + 18, ty}, line, 9.5, DrawText::Anchor::Start, false, false, kText});
            ty += 12 * textScale;
        }
        y = ty + 5 * textScale;
    }
    d.lines.push_back({{{lx, y + 6}, {lx + 12, y + 6}}, kPointRed, 1.6});
    d.lines.push_back({{{lx + 6, y}, {lx + 6, y + 12}}, kPointRed, 1.6});
    d.texts.push_back(
        {{lx + 18, y + 10}, "Operating point", 9.5, DrawText::Anchor::Start, false, false, kText});
    for (DrawText& t : d.texts)
        t.size *= textScale;
    return d;
}

bool drawingTemperatures(const Drawing& d, double x, double y, double& te, double& tc) {
    if (x < d.plotLeft || x > d.plotLeft + d.plotWidth || y < d.plotTop ||
        y > d.plotTop + d.plotHeight)
        return false;
    const ConditionValues shown{d.teFrom + (x - d.plotLeft) / d.plotWidth * (d.teTo - d.teFrom),
                                d.tcTo - (y - d.plotTop) / d.plotHeight * (d.tcTo - d.tcFrom), 0, 0,
                                0};
    const ConditionValues e = toEngineUnits(shown, d.units);
    te = e.te;
    tc = e.tc;
    return true;
}

std::string drawingSvg(const Drawing& d) {
    auto num = [](double v) { return plainNumber(v, 2); };
    auto points = [&](const std::vector<DrawPoint>& pts) {
        std::string s;
        for (const DrawPoint& p : pts)
            s += (s.empty() ? "" : " ") + num(p.x) + "," + num(p.y);
        return s;
    };
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      num(d.width) + "\" height=\"" + num(d.height) + "\" viewBox=\"0 0 " +
                      num(d.width) + " " + num(d.height) +
                      "\" font-family=\"Liberation Sans, Arial, sans-serif\">\n"
                      "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    for (const DrawPolygon& p : d.polygons)
        out += "<polygon points=\"" + points(p.points) + "\" fill=\"" + colourText(p.fill) +
               "\" stroke=\"" + colourText(p.fill) + "\" stroke-width=\"0.3\"/>\n";
    for (const DrawLine& l : d.lines)
        out += "<polyline points=\"" + points(l.points) + "\" fill=\"none\" stroke=\"" +
               colourText(l.colour) + "\" stroke-width=\"" + num(l.width) + "\"/>\n";
    for (const DrawRect& r : d.rects)
        out += "<rect x=\"" + num(r.x) + "\" y=\"" + num(r.y) + "\" width=\"" + num(r.w) +
               "\" height=\"" + num(r.h) + "\" fill=\"" + colourText(r.fill) + "\" stroke=\"" +
               colourText(r.stroke) + "\" stroke-width=\"0.6\"/>\n";
    for (const DrawText& t : d.texts) {
        const char* anchor = t.anchor == DrawText::Anchor::Start    ? "start"
                             : t.anchor == DrawText::Anchor::Middle ? "middle"
                                                                    : "end";
        out += "<text x=\"" + num(t.at.x) + "\" y=\"" + num(t.at.y) + "\" font-size=\"" +
               num(t.size) + "\" text-anchor=\"" + anchor + "\" fill=\"" + colourText(t.colour) +
               "\"" + (t.bold ? " font-weight=\"bold\"" : "") +
               (t.vertical ? " transform=\"rotate(-90 " + num(t.at.x) + " " + num(t.at.y) + ")\""
                           : "") +
               ">" + xmlEscaped(t.text) + "</text>\n";
    }
    return out + "</svg>\n";
}

} // namespace kv
