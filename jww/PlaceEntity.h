// Carrying an entity through a block placement: what each member of a
// definition becomes when the placement is exploded.
//
//   line, solid corners, points     the positions are mapped
//   arc, arc-shaped solid           the ellipse is mapped: new centre, major
//                                   axis (searched where T is not diagonal),
//                                   flattening from a conjugate point, and
//                                   start and sweep re-parametrised; a
//                                   mirroring T reverses the sweep
//   text                            start and end mapped; sizes measured
//                                   through T; swapped ends when T mirrors
//   image text                      the image width and rotation in its string
//   dimension                       its parts as above; a value text marked
//                                   for it is measured and formatted anew
#pragma once

#include "jww/Placement.h"
#include "jww/jwwtype.h"

namespace talvine {

void Place(const TPlacement& T, TEntJwwLine& l);
void Place(const TPlacement& T, TEntJwwEnko& e);
void Place(const TPlacement& T, TEntJwwTen& p);
void Place(const TPlacement& T, TEntJwwMoji& m);
void Place(const TPlacement& T, TEntJwwSolid& s);
// A dimension whose line, once placed, lies on a layer group of scale
// lineGroupScale (not above 0: 1).
void Place(const TPlacement& T, TEntJwwSunpo& d, double lineGroupScale);

}  // namespace talvine
