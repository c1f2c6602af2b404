#include "kvcat/poly.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kvcat {

std::array<double, 10> terms(double te, double tc) {
    return {1.0,     te,           tc,           te * te,      te * tc,
            tc * tc, te * te * te, te * te * tc, te * tc * tc, tc * tc * tc};
}

double evaluate(const Coefficients& c, double te, double tc) {
    const std::array<double, 10> t = terms(te, tc);
    double sum = 0;
    for (int i = 0; i < 10; ++i)
        sum += c[i] * t[i];
    return sum;
}

namespace {

// Weighted least squares: minimises the sum of (w_i * (poly_i - value_i) / value_i)^2.
Coefficients solveWeighted(const std::vector<Sample>& samples, const std::vector<double>& weight) {
    constexpr int n = 10;
    const std::size_t m = samples.size();
    if (m < static_cast<std::size_t>(n))
        throw std::invalid_argument("fit needs at least ten samples");
    // Temperatures scaled by 1/50 keep the columns of comparable size; the coefficients
    // are scaled back at the end. Householder QR on the weighted system.
    constexpr double scale = 50.0;
    constexpr std::array<int, 10> degree = {0, 1, 1, 2, 2, 2, 3, 3, 3, 3};
    std::vector<std::array<double, n>> a(m);
    std::vector<double> b(m);
    for (std::size_t i = 0; i < m; ++i) {
        const Sample& s = samples[i];
        if (!(std::fabs(s.value) > 0) || !std::isfinite(s.value))
            throw std::invalid_argument("fit samples must be finite and not zero");
        const double w = weight[i] / std::fabs(s.value);
        a[i] = terms(s.te / scale, s.tc / scale);
        for (double& x : a[i])
            x *= w;
        b[i] = s.value * w;
    }
    for (int k = 0; k < n; ++k) {
        double norm = 0;
        for (std::size_t i = k; i < m; ++i)
            norm += a[i][k] * a[i][k];
        norm = std::sqrt(norm);
        if (norm < 1e-12)
            throw std::invalid_argument("fit samples don't determine the polynomial");
        const double alpha = a[k][k] > 0 ? -norm : norm;
        std::vector<double> v(m, 0.0);
        for (std::size_t i = k; i < m; ++i)
            v[i] = a[i][k];
        v[k] -= alpha;
        double vv = 0;
        for (std::size_t i = k; i < m; ++i)
            vv += v[i] * v[i];
        if (vv == 0)
            continue;
        for (int j = k; j < n; ++j) {
            double dot = 0;
            for (std::size_t i = k; i < m; ++i)
                dot += v[i] * a[i][j];
            const double f = 2 * dot / vv;
            for (std::size_t i = k; i < m; ++i)
                a[i][j] -= f * v[i];
        }
        double dot = 0;
        for (std::size_t i = k; i < m; ++i)
            dot += v[i] * b[i];
        const double f = 2 * dot / vv;
        for (std::size_t i = k; i < m; ++i)
            b[i] -= f * v[i];
    }
    Coefficients c{};
    for (int k = n - 1; k >= 0; --k) {
        double sum = b[k];
        for (int j = k + 1; j < n; ++j)
            sum -= a[k][j] * c[j];
        if (std::fabs(a[k][k]) < 1e-12)
            throw std::invalid_argument("fit samples don't determine the polynomial");
        c[k] = sum / a[k][k];
    }
    for (int k = 0; k < n; ++k)
        c[k] /= std::pow(scale, degree[k]);
    return c;
}

} // namespace

Coefficients fitRelative(const std::vector<Sample>& samples, int rounds) {
    // Least squares first, then Lawson's reweighting towards the smallest largest error:
    // each round multiplies a sample's weight by its error. The best round is kept.
    std::vector<double> w2(samples.size(), 1.0); // squared weights
    std::vector<double> w(samples.size(), 1.0);
    Coefficients best = solveWeighted(samples, w);
    double bestError = maxRelativeError(best, samples);
    Coefficients c = best;
    for (int round = 0; round < rounds; ++round) {
        double sum = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const Sample& s = samples[i];
            w2[i] *= std::fabs(evaluate(c, s.te, s.tc) - s.value) / std::fabs(s.value) + 1e-12;
            sum += w2[i];
        }
        for (std::size_t i = 0; i < samples.size(); ++i)
            w[i] = std::sqrt(w2[i] / sum * static_cast<double>(samples.size()));
        try {
            c = solveWeighted(samples, w);
        } catch (const std::invalid_argument&) {
            break; // weights collapsed onto too few samples
        }
        const double e = maxRelativeError(c, samples);
        if (e < bestError) {
            bestError = e;
            best = c;
        }
    }
    return best;
}

double maxRelativeError(const Coefficients& c, const std::vector<Sample>& samples) {
    double worst = 0;
    for (const Sample& s : samples)
        worst = std::max(worst, std::fabs(evaluate(c, s.te, s.tc) - s.value) / std::fabs(s.value));
    return worst;
}

Coefficients fromBicubicOrder(const Coefficients& n) {
    // 1, x, x², y, y², x·y, x³, y³, x²·y, x·y²  ->  1, x, y, x², x·y, y², x³, x²·y, x·y², y³
    return {n[0], n[1], n[3], n[2], n[5], n[4], n[6], n[8], n[9], n[7]};
}

Coefficients fromAffine(const Coefficients& c, double ax, double bx, double ay, double by,
                        double scale) {
    // p(x, y) with x = ax·te + bx, y = ay·tc + by: expand each term x^i·y^j by the
    // binomial rule into powers of te and tc.
    constexpr int px[10] = {0, 1, 0, 2, 1, 0, 3, 2, 1, 0};
    constexpr int py[10] = {0, 0, 1, 0, 1, 2, 0, 1, 2, 3};
    const auto slot = [&](int i, int j) {
        for (int k = 0; k < 10; ++k)
            if (px[k] == i && py[k] == j)
                return k;
        return -1;
    };
    constexpr double binom[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
    Coefficients out{};
    for (int k = 0; k < 10; ++k)
        for (int i = 0; i <= px[k]; ++i)
            for (int j = 0; j <= py[k]; ++j) {
                const double f = binom[px[k]][i] * std::pow(ax, i) * std::pow(bx, px[k] - i) *
                                 binom[py[k]][j] * std::pow(ay, j) * std::pow(by, py[k] - j);
                out[slot(i, j)] += c[k] * f;
            }
    for (double& v : out)
        v *= scale;
    return out;
}

Coefficients fromFahrenheit(const Coefficients& c, double scale) {
    return fromAffine(c, 1.8, 32.0, 1.8, 32.0, scale);
}

} // namespace kvcat
