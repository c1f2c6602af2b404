#include "kvcat/import_envelope.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kvcat {

namespace {

// The default K line lies this far below Tc = Te + 10 K: the engine interpolates it in
// floating point, and a point at exactly 10 K lift must never fall below it by a rounding
// error (a few 1e-14 K).
constexpr double kKLineMargin = 1e-6;

// The envelope as the engine reads it.
kpx::Envelope engineEnvelope(const std::map<std::string, double>& env) {
    kpx::RatingRecord record;
    kpx::forEachRatingColumn(record, [&](std::string_view name, double& value) {
        if (const auto it = env.find(std::string(name)); it != env.end())
            value = it->second;
    });
    return record.envelope;
}

} // namespace

double snapped(double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10).ptr;
    double out = v;
    std::from_chars(buf, end, out);
    return out;
}

std::map<std::string, double> defaultEnvelope(const RowFigures& x) {
    const ValidityRange& g = x.range;
    const double maxSuperheat = x.sh ? *x.sh : *x.rgt - g.teMin;
    const double shMax = std::max(30.0, std::ceil(maxSuperheat));
    std::map<std::string, double> env = {
        {"TeLow", g.teMin},
        {"TeHig", g.teMax},
        {"TcLow", g.tcMin},
        {"TcHig", g.tcMax},
        {"TeMin", g.teMin},
        {"TeMax", g.teMax},
        {"TcMin", g.tcMin},
        {"TcMax", g.tcMax},
        {"ShMax", shMax},
        {"RgtMax", snapped(g.teMax + shMax)},
        {"ShTol", 5},
        {"ScMax", std::max(20.0, std::ceil(x.liq ? g.tcMax - *x.liq : x.scBase) + 5)},
        {"TcTol", 3},
        {"ShF", 10},
        {"ShH", 20},
        {"K1e", g.teMin},
        {"K1c", snapped(g.teMin + 10 - kKLineMargin)},
        {"K2e", g.teMax},
        {"K2c", snapped(g.teMax + 10 - kKLineMargin)}};
    // Flat F and H curves 10 K above TcHig, their ends on the range's ends exactly.
    const auto breakpoints = [&](const char* curve, int n) {
        for (int i = 0; i < n; ++i) {
            const std::string name = curve + std::to_string(i);
            env[name + "e"] = i == 0       ? g.teMin
                              : i == n - 1 ? g.teMax
                                           : snapped(g.teMin + (g.teMax - g.teMin) * i / (n - 1));
            env[name + "c"] = snapped(g.tcMax + 10);
        }
    };
    breakpoints("F", 7);
    breakpoints("H", 5);
    return env;
}

std::vector<BadPoint> nonPositivePoints(const std::map<std::string, double>& env,
                                        const RowFigures& x) {
    const kpx::Envelope e = engineEnvelope(env);
    std::vector<BadPoint> bad;
    constexpr int kSteps = 24;
    const auto check = [&](double te, double tc) {
        const double sh = x.sh ? *x.sh : *x.rgt - te;
        if (kpx::classify(e, kpx::Conditions{te, tc, x.scBase, sh, sh}) != kpx::kWorking)
            return;
        const double values[4] = {
            kpx::capacityPolynomial(x.poly[0], te, tc), kpx::powerPolynomial(x.poly[1], te, tc),
            kpx::powerPolynomial(x.poly[2], te, tc), kpx::massFlowPolynomial(x.poly[3], te, tc)};
        for (int k = 0; k < 4; ++k)
            if (!(values[k] > 0 && std::isfinite(values[k]))) {
                bad.push_back({te, tc, values[k], k});
                return;
            }
    };
    for (int i = 0; i <= kSteps; ++i) {
        const double te = i == kSteps ? e.teHig : e.teLow + (e.teHig - e.teLow) * i / kSteps;
        for (int j = 0; j <= kSteps; ++j)
            check(te, j == kSteps ? e.tcHig : e.tcLow + (e.tcHig - e.tcLow) * j / kSteps);
        // Along the K line: 10 K lift and the line itself.
        check(te, te + 10);
        if (e.k2e > e.k1e)
            check(te, e.k1c + (te - e.k1e) * (e.k2c - e.k1c) / (e.k2e - e.k1e));
    }
    return bad;
}

bool narrowToPositive(std::map<std::string, double>& env, const RowFigures& x) {
    for (int round = 0; round < 200; ++round) {
        const std::vector<BadPoint> bad = nonPositivePoints(env, x);
        if (bad.empty())
            return true;
        double teLow = env["TeLow"], teHig = env["TeHig"], tcLow = env["TcLow"],
               tcHig = env["TcHig"];
        double badTeMin = bad[0].te, badTeMax = bad[0].te, badTcMin = bad[0].tc,
               badTcMax = bad[0].tc;
        for (const BadPoint& b : bad) {
            badTeMin = std::min(badTeMin, b.te);
            badTeMax = std::max(badTeMax, b.te);
            badTcMin = std::min(badTcMin, b.tc);
            badTcMax = std::max(badTcMax, b.tc);
        }
        const auto up = [](double v) { return snapped(std::floor(v * 10 + 1e-9) / 10 + 0.1); };
        const auto down = [](double v) { return snapped(std::ceil(v * 10 - 1e-9) / 10 - 0.1); };
        const auto area = [](double a, double b, double c, double d) {
            double sum = 0;
            for (int i = 0; i <= 100; ++i) {
                const double te = a + (b - a) * i / 100;
                sum += std::max(0.0, d - std::max(c, te + 10));
            }
            return b > a && d > c ? sum * (b - a) : -1.0;
        };
        const double moves[4][4] = {{up(badTeMax), teHig, tcLow, tcHig},
                                    {teLow, down(badTeMin), tcLow, tcHig},
                                    {teLow, teHig, up(badTcMax), tcHig},
                                    {teLow, teHig, tcLow, down(badTcMin)}};
        int best = -1;
        double bestArea = 0;
        for (int k = 0; k < 4; ++k)
            if (const double a = area(moves[k][0], moves[k][1], moves[k][2], moves[k][3]);
                a > bestArea) {
                best = k;
                bestArea = a;
            }
        if (best < 0)
            return false;
        env["TeLow"] = moves[best][0];
        env["TeHig"] = moves[best][1];
        env["TcLow"] = moves[best][2];
        env["TcHig"] = moves[best][3];
        env["TeMin"] = std::clamp(env["TeMin"], env["TeLow"], env["TeHig"]);
        env["TeMax"] = std::clamp(env["TeMax"], env["TeLow"], env["TeHig"]);
        env["TcMin"] = std::clamp(env["TcMin"], env["TcLow"], env["TcHig"]);
        env["TcMax"] = std::clamp(env["TcMax"], env["TcLow"], env["TcHig"]);
    }
    return false;
}

} // namespace kvcat
