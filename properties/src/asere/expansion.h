// Chebyshev expansions of functions of temperature: piecewise expansions of one function
// (saturation curves read from a fluid file or fitted at load), expansions of several
// functions sharing their pieces, and their fitting, evaluation and inversion.
#pragma once

#include "asere/fluid.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace asere {

// Equal cells over the range of a piecewise expansion, each with the first piece that
// reaches into it: the piece of a value is then a step or two from its cell's, where a
// search over all pieces takes several unpredictable branches.
class PieceGrid {
public:
    // The grid of pieces whose upper edges `upper` rise, over [lo, upper.back()].
    void build(double lo, std::span<const double> upper);
    // Whether it was built for `pieces` pieces (and not for fewer, before some were added).
    bool fits(std::size_t pieces) const noexcept { return pieces != 0 && pieces == pieces_; }
    // A piece no later than the first whose upper edge is not below x: every piece before
    // it ends below x.
    std::size_t start(double x) const noexcept {
        const double t = (x - lo_) * scale_;
        if (!(t > 0))
            return 0;
        const std::size_t last = first_.size() - 1;
        return first_[t < static_cast<double>(last) ? static_cast<std::size_t>(t) : last];
    }

private:
    double lo_ = 0, scale_ = 0;
    std::size_t pieces_ = 0;
    std::vector<std::uint32_t> first_;
};

// A piecewise Chebyshev expansion of a function of temperature.
struct Chebyshev {
    struct Piece {
        double xmin, xmax;
        std::vector<double> c;
        bool exact = true; // checked to stand for the function itself, not just a start
    };
    std::vector<Piece> pieces; // ordered, contiguous
    PieceGrid grid;            // for pieceOf, once the pieces are complete (index)

    bool empty() const noexcept { return pieces.empty(); }
    double xmin() const noexcept { return pieces.front().xmin; }
    double xmax() const noexcept { return pieces.back().xmax; }
    bool covers(double x) const noexcept { return !empty() && x >= xmin() && x <= xmax(); }
    // Value (and derivative when dfdx is not null) at x, x inside [xmin, xmax].
    double eval(double x, double* dfdx = nullptr) const noexcept;
    std::size_t pieceOf(double x) const noexcept;
    bool exactAt(double x) const noexcept { return pieces[pieceOf(x)].exact; }
    // Builds the grid of the pieces for pieceOf; pieces added later go without it.
    void index();
};

// The piece of `values.size()` coefficients on [a, b] through the values at the
// Chebyshev-Lobatto nodes: values[j] at T = (a + b)/2 + (b - a)/2 cos(pi j / N), N the
// degree (from b down to a).
Chebyshev::Piece lobattoPiece(double a, double b, std::span<const double> values);
// Node j of `degree` on [a, b] in rising order: a for j = 0, b for j = degree.
double lobattoNode(double a, double b, int j, int degree);

// The x at which a rising expansion reaches `target`; edges holds its values at each
// piece's lower edge, then at the top. OutOfRange when target lies outside the edges.
Result<double> solveRising(const Chebyshev& c, const std::vector<double>& edges,
                           double target) noexcept;
// The edges solveRising needs: the values at each piece's lower edge, then at the top.
// Empty when they do not rise.
std::vector<double> risingEdges(const Chebyshev& c);

// Piecewise Chebyshev expansions in T of several functions sharing their pieces, each
// of 2 to kMaxExpansionTerms coefficients.
constexpr std::size_t kMaxExpansionTerms = 32;
struct SharedExpansion {
    std::size_t count = 0;              // functions
    std::size_t terms = 0;              // coefficients of each in a piece
    std::vector<double> edges;          // lower edge of each piece, then the top
    std::vector<std::vector<double>> c; // per piece: coefficient k of function s at k count + s
    PieceGrid grid;                     // built by fitShared

    bool covers(double T) const noexcept {
        return edges.size() > 1 && T >= edges.front() && T <= edges.back();
    }
    // The values of all functions at T (covers(T)).
    void eval(double T, double* out) const noexcept;
};

// How closely fitShared fits: each expansion matches its function to `tolerance` of
// max(1, |value|) between the nodes; where it can't, the fit is left empty, or with
// `keepPart` it stops there, keeping the pieces below.
struct FitLimits {
    double tolerance = 1e-12;
    bool keepPart = false;
    int terms = 12; // coefficients of each function in a piece
};

// Expansions of `count` functions of x (a temperature, or ln p for an inverse) over
// [lo, hi], values(x, out) giving their values: pieces of limits.terms coefficients,
// 20 wide at most, halved until they match (down to a width of 0.25).
void fitShared(SharedExpansion& e, std::size_t count, double lo, double hi,
               const std::function<void(double, double*)>& values, FitLimits limits = {});

} // namespace asere
