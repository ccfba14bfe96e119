// Where a block definition lands: the block tree, the explode, the extents
// and pictures all carry a definition's points through one of these.
//
//   T(X, Y) = (x + r1 X + r2 Y,  y + r3 X + r4 Y)
//
// A placement mirrors when its determinant r1 r4 - r2 r3 is negative.
#pragma once

#include <cmath>

#include "jww/jwwtype.h"

namespace talvine {

struct TPlacement {
    double x = 0, y = 0, r1 = 1, r2 = 0, r3 = 0, r4 = 1;

    void Map(double& px, double& py) const {
        const double X = px, Y = py;
        px = x + r1 * X + r2 * Y;
        py = y + r3 * X + r4 * Y;
    }
    // The linear part only: the image of a difference of two points.
    void MapVector(double& vx, double& vy) const {
        const double X = vx, Y = vy;
        vx = r1 * X + r2 * Y;
        vy = r3 * X + r4 * Y;
    }
    // This placement after `inner`: a point placed by inner inside a
    // definition that this one places.
    TPlacement Compose(const TPlacement& inner) const {
        TPlacement p;
        p.x = x + r1 * inner.x + r2 * inner.y;
        p.y = y + r3 * inner.x + r4 * inner.y;
        p.r1 = r1 * inner.r1 + r2 * inner.r3;
        p.r2 = r1 * inner.r2 + r2 * inner.r4;
        p.r3 = r3 * inner.r1 + r4 * inner.r3;
        p.r4 = r3 * inner.r2 + r4 * inner.r4;
        return p;
    }

    bool Mirrors() const { return r1 * r4 - r2 * r3 < 0; }
    // How much lengths grow, on average over directions: the root of the
    // area's scale.
    double Scale() const { return std::sqrt(std::fabs(r1 * r4 - r2 * r3)); }
    // Within tol of the identity's linear part.
    bool Identity(double tol) const {
        return std::abs(r1 - 1) <= tol && std::abs(r4 - 1) <= tol && std::abs(r2) <= tol && std::abs(r3) <= tol;
    }
    // Axes stay axes and circles stay circles, within tol: equal scales on
    // both axes (one may mirror), no rotation.
    bool Diagonal(double tol) const {
        return std::abs(std::abs(r1) - std::abs(r4)) <= tol && std::abs(r2) <= tol && std::abs(r3) <= tol;
    }
    bool Finite() const {
        return std::isfinite(x) && std::isfinite(y) && std::isfinite(r1) && std::isfinite(r2) && std::isfinite(r3) &&
               std::isfinite(r4);
    }
};

// An insert within its own list: at its insertion point, scaled first, then
// rotated.
TPlacement PlacementOf(const TEntJwwBlock& insert);
// A node of the block tree: its whole placement in the drawing.
inline TPlacement PlacementOf(const TEntJwwBlockTree& n) { return TPlacement{n.x, n.y, n.r1, n.r2, n.r3, n.r4}; }

}  // namespace talvine
