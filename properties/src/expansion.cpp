// Chebyshev expansions: evaluation, fitting and inversion; see expansion.h.
#include "asere/expansion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace asere {

namespace {

constexpr int kMaxIterations = 100;

} // namespace

void PieceGrid::build(double lo, std::span<const double> upper) {
    // Eight cells a piece on average; the pieces narrow towards the critical point, where
    // a cell may hold several.
    constexpr std::size_t kCellsPerPiece = 8;
    *this = PieceGrid{};
    const double hi = upper.empty() ? lo : upper.back();
    if (!(hi > lo) || upper.size() > UINT32_MAX)
        return;
    const std::size_t cells = kCellsPerPiece * upper.size();
    lo_ = lo;
    scale_ = static_cast<double>(cells) / (hi - lo);
    // A value can fall into a cell from just below its computed lower edge by rounding:
    // the margin keeps the pieces that end there.
    const double margin = 1e-6 / scale_;
    first_.resize(cells);
    std::size_t i = 0;
    for (std::size_t j = 0; j < cells; ++j) {
        const double edge = lo + static_cast<double>(j) / scale_ - margin;
        while (i + 1 < upper.size() && upper[i] < edge)
            ++i;
        first_[j] = static_cast<std::uint32_t>(i);
    }
    pieces_ = upper.size();
}

void Chebyshev::index() {
    std::vector<double> upper;
    for (const Piece& p : pieces)
        upper.push_back(p.xmax);
    grid.build(empty() ? 0 : xmin(), upper);
}

std::size_t Chebyshev::pieceOf(double x) const noexcept {
    // First piece whose upper edge is not below x (the last one above all).
    if (grid.fits(pieces.size())) {
        std::size_t i = grid.start(x);
        while (i + 1 < pieces.size() && pieces[i].xmax < x)
            ++i;
        return i;
    }
    auto it = std::lower_bound(pieces.begin(), pieces.end(), x,
                               [](const Piece& p, double v) { return p.xmax < v; });
    if (it == pieces.end())
        return pieces.size() - 1;
    return static_cast<std::size_t>(it - pieces.begin());
}

double Chebyshev::eval(double x, double* dfdx) const noexcept {
    const Piece& p = pieces[pieceOf(x)];
    const double scale = 2 / (p.xmax - p.xmin);
    const double u = (2 * x - (p.xmax + p.xmin)) / (p.xmax - p.xmin);
    const std::size_t n = p.c.size();
    if (dfdx == nullptr) {
        // Clenshaw recurrence.
        double b1 = 0, b2 = 0;
        for (std::size_t k = n; k-- > 1;) {
            const double b0 = p.c[k] + 2 * u * b1 - b2;
            b2 = b1;
            b1 = b0;
        }
        return p.c[0] + u * b1 - b2;
    }
    // T_k and U_(k-1) together: T_k' = k U_(k-1).
    double tPrev = 1, tCur = u, uPrev = 0, uCur = 1;
    double f = p.c[0], df = 0;
    for (std::size_t k = 1; k < n; ++k) {
        f += p.c[k] * tCur;
        df += p.c[k] * static_cast<double>(k) * uCur;
        const double tNext = 2 * u * tCur - tPrev;
        const double uNext = 2 * u * uCur - uPrev;
        tPrev = tCur;
        tCur = tNext;
        uPrev = uCur;
        uCur = uNext;
    }
    *dfdx = df * scale;
    return f;
}

Chebyshev::Piece lobattoPiece(double a, double b, std::span<const double> values) {
    const int degree = static_cast<int>(values.size()) - 1;
    Chebyshev::Piece piece{a, b, std::vector<double>(values.size()), true};
    for (int k = 0; k <= degree; ++k) {
        double sum = 0;
        for (int j = 0; j <= degree; ++j)
            sum += (j == 0 || j == degree ? 0.5 : 1.0) * values[j] *
                   std::cos(std::numbers::pi * j * k / degree);
        piece.c[k] = 2.0 / degree * sum * (k == 0 || k == degree ? 0.5 : 1.0);
    }
    return piece;
}

double lobattoNode(double a, double b, int j, int degree) {
    if (j == 0)
        return a;
    if (j == degree)
        return b;
    return 0.5 * (a + b) - 0.5 * (b - a) * std::cos(std::numbers::pi * j / degree);
}

std::vector<double> risingEdges(const Chebyshev& c) {
    std::vector<double> edges;
    for (const auto& p : c.pieces)
        edges.push_back(c.eval(p.xmin));
    edges.push_back(c.eval(c.xmax()));
    for (std::size_t i = 1; i < edges.size(); ++i)
        if (!(edges[i] > edges[i - 1]))
            return {};
    return edges;
}

Result<double> solveRising(const Chebyshev& c, const std::vector<double>& edges,
                           double target) noexcept {
    if (edges.empty() || target < edges.front() || target > edges.back())
        return failure<double>(Status::OutOfRange);
    const auto it = std::upper_bound(edges.begin(), edges.end() - 1, target);
    const std::size_t k = std::min<std::size_t>(
        std::max<std::ptrdiff_t>(0, (it - edges.begin()) - 1), c.pieces.size() - 1);
    double lo = c.pieces[k].xmin, hi = c.pieces[k].xmax;
    double flo = edges[k], fhi = edges[k + 1];
    double x = lo + (target - flo) / (fhi - flo) * (hi - lo);
    // Newton's method inside the piece's bracket.
    for (int i = 0; i < kMaxIterations; ++i) {
        double slope;
        const double diff = c.eval(x, &slope) - target;
        if (diff == 0)
            return {x, Status::Ok};
        if (diff > 0)
            hi = x;
        else
            lo = x;
        double next = slope > 0 ? x - diff / slope : kNaN;
        if (!(next >= lo && next <= hi))
            next = 0.5 * (lo + hi);
        if (std::abs(next - x) <= 1e-14 * x)
            return {next, Status::Ok};
        x = next;
    }
    return failure<double>(Status::NoConvergence);
}

void SharedExpansion::eval(double T, double* out) const noexcept {
    // The piece whose range holds T; a T on an inner edge takes the upper piece.
    std::size_t p;
    if (grid.fits(c.size())) {
        p = grid.start(T);
        while (p + 1 < c.size() && edges[p + 1] <= T)
            ++p;
    } else {
        const auto it = std::upper_bound(edges.begin() + 1, edges.end() - 1, T);
        p = static_cast<std::size_t>(it - (edges.begin() + 1));
    }
    const double lo = edges[p], hi = edges[p + 1];
    const double u = (2 * T - (lo + hi)) / (hi - lo);
    double tk[kMaxExpansionTerms];
    tk[0] = 1;
    tk[1] = u;
    for (std::size_t n = 2; n < terms; ++n)
        tk[n] = 2 * u * tk[n - 1] - tk[n - 2];
    // The sum of c_k T_k(u) of four functions at a time, in registers.
    const double* k = c[p].data();
    std::size_t s = 0;
    for (; s + 4 <= count; s += 4) {
        double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
        for (std::size_t n = 0; n < terms; ++n) {
            const double* kn = k + n * count + s;
            a0 += kn[0] * tk[n];
            a1 += kn[1] * tk[n];
            a2 += kn[2] * tk[n];
            a3 += kn[3] * tk[n];
        }
        out[s] = a0;
        out[s + 1] = a1;
        out[s + 2] = a2;
        out[s + 3] = a3;
    }
    for (; s < count; ++s) {
        double a = 0;
        for (std::size_t n = 0; n < terms; ++n)
            a += k[n * count + s] * tk[n];
        out[s] = a;
    }
}

namespace {

void fitPieces(SharedExpansion& e, std::size_t count, double Tlo, double Thi,
               const std::function<void(double, double*)>& values, FitLimits limits) {
    constexpr double kNarrowest = 0.25; // K
    // Real fluids need a few hundred pieces at most; a damaged file whose functions would
    // need more is not fitted (or only below), which bounds the time and memory of loading.
    constexpr std::size_t kMaxPieces = 1024;
    const int n = std::clamp<int>(limits.terms, 2, kMaxExpansionTerms);
    e = SharedExpansion{count, static_cast<std::size_t>(n), {Tlo}, {}, {}};
    std::vector<double> v(count), w(count);
    double a = Tlo, width = 20;
    while (a < Thi) {
        if (e.c.size() == kMaxPieces) {
            if (!limits.keepPart)
                e = SharedExpansion{};
            return;
        }
        const double b = std::min(Thi, a + width);
        std::vector<double> c(static_cast<std::size_t>(n) * count, 0.0);
        for (int j = 0; j < n; ++j) {
            const double theta = std::numbers::pi * (j + 0.5) / n;
            values(0.5 * (a + b) + 0.5 * (b - a) * std::cos(theta), v.data());
            for (int k = 0; k < n; ++k) {
                const double t = (k == 0 ? 1.0 : 2.0) / n * std::cos(k * theta);
                for (std::size_t s = 0; s < count; ++s)
                    c[k * count + s] += t * v[s];
            }
        }
        e.edges.push_back(b);
        e.c.push_back(std::move(c));
        bool good = true;
        for (int j = 0; j <= 2 * n && good; ++j) {
            const double T = a + (b - a) * (j + 0.5) / (2 * n + 1);
            values(T, v.data());
            e.eval(T, w.data());
            for (std::size_t s = 0; s < count && good; ++s)
                good = std::abs(w[s] - v[s]) <= limits.tolerance * std::max(1.0, std::abs(v[s]));
        }
        if (!good) {
            e.edges.pop_back();
            e.c.pop_back();
            if (width <= kNarrowest) {
                if (!limits.keepPart || e.c.empty())
                    e = SharedExpansion{};
                return;
            }
            width /= 2;
            continue;
        }
        a = b;
        width = std::min(2 * width, 20.0);
    }
}

} // namespace

void fitShared(SharedExpansion& e, std::size_t count, double lo, double hi,
               const std::function<void(double, double*)>& values, FitLimits limits) {
    fitPieces(e, count, lo, hi, values, limits);
    if (e.edges.size() > 1)
        e.grid.build(e.edges.front(), std::span(e.edges).subspan(1));
}

} // namespace asere
