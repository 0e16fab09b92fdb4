#include "model/geometry.h"

namespace vmc {

geometry radii(float s2, const coords& r) {
  geometry g;
  g.x1 = r[0];
  g.y1 = r[1];
  g.z1 = r[2];
  g.x2 = r[3];
  g.y2 = r[4];
  g.z2 = r[5];
  // Each shifted z and each difference is a float before it is squared.
  g.r1l = dist(g.x1, g.y1, g.z1 + s2);
  g.r1r = dist(g.x1, g.y1, g.z1 - s2);
  g.r2l = dist(g.x2, g.y2, g.z2 + s2);
  g.r2r = dist(g.x2, g.y2, g.z2 - s2);
  g.r12 = dist(g.x1 - g.x2, g.y1 - g.y2, g.z1 - g.z2);
  return g;
}

}  // namespace vmc
