// Skin coverage: which cells of a texel grid the model's triangles cover.
//
// The inside test. A cell is the integer position (x, y). With the corners P0,
// P1, P2 scaled to the grid (u x width, v x height), a cell is inside when its
// weights along the edges P0P1 and P0P2 are a >= 0, b >= 0 and a + b < 1: the
// near edges are closed, the far edge open. Every named value is rounded to a
// float when it is stored and each formula is evaluated in double, so figures
// are the same on every build.
//
// The sliver rule. A cell is marked only when it also lies within one cell of
// the triangle, in u and in v. For every triangle whose weights round to within
// a fraction of a cell this changes nothing: the weights alone decide. Only a
// near-degenerate sliver, whose rounded weights can pass the test far from the
// triangle itself, loses those stray cells. The rule is what lets the scan visit,
// on each row the triangle spans, only the cells within one cell of it (instead
// of its whole bounding box), so a triangle costs its rows and the cells it
// covers: 65535 slivers across a 1024 x 1024 skin take a second, not minutes.
#include "skin_coverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "state.h"

namespace {

// Grids beyond this many cells are not scanned (a real skin has well under a
// million texels; the cap keeps a hostile header from a huge allocation).
constexpr uint64_t kMaxCoverageCells = uint64_t(64) << 20;
// How far from the triangle, in cells, a cell may lie and still be tested.
constexpr double kNearCells = 1;

// The texel grid of the coverage scan, one byte per cell.
struct CoverageGrid {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> marked;
};

// A triangle in grid units, with its weight terms.
struct GridTriangle {
  float pu[3], pv[3];
  float e0u, e0v, e1u, e1v;
  float d00, d01, d11;
  float inv;
};

double Lowest(const float v[3]) { return std::min({double(v[0]), double(v[1]), double(v[2])}); }
double Highest(const float v[3]) { return std::max({double(v[0]), double(v[1]), double(v[2])}); }

// The box from the lowest to the highest position, rounded half to even, clipped to
// [0, limit - 1]; false when nothing of it lies in the grid.
bool ScanRange(const float v[3], int32_t limit, int64_t& first, int64_t& last) {
  double low = std::nearbyint(Lowest(v));
  double high = std::nearbyint(Highest(v));
  low = std::max(low, 0.0);
  high = std::min(high, double(limit) - 1);
  if (!(low <= high)) return false;
  first = int64_t(low);
  last = int64_t(high);
  return true;
}

// Scales the corners to the grid and forms the weight terms; false for a
// triangle with no inside (non-finite corners, collinear corners, or weights
// beyond float range, which make such a sliver count as a line).
bool MakeGridTriangle(const CoverageGrid& grid, const VNLVEC3_T* corner[3], GridTriangle& t) {
  for (int i = 0; i < 3; ++i) {
    t.pu[i] = float(double(corner[i]->x) * grid.width);
    t.pv[i] = float(double(corner[i]->y) * grid.height);
    if (!std::isfinite(t.pu[i]) || !std::isfinite(t.pv[i])) return false;
  }
  t.e0u = float(double(t.pu[1]) - t.pu[0]), t.e0v = float(double(t.pv[1]) - t.pv[0]);
  t.e1u = float(double(t.pu[2]) - t.pu[0]), t.e1v = float(double(t.pv[2]) - t.pv[0]);
  t.d00 = float(double(t.e0u) * t.e0u + double(t.e0v) * t.e0v);
  t.d01 = float(double(t.e0u) * t.e1u + double(t.e0v) * t.e1v);
  t.d11 = float(double(t.e1u) * t.e1u + double(t.e1v) * t.e1v);
  double denominator = double(t.d00) * t.d11 - double(t.d01) * t.d01;
  if (denominator == 0) return false;
  t.inv = float(1.0 / denominator);
  return t.inv != 0 && std::isfinite(t.inv);
}

bool Inside(const GridTriangle& t, int64_t x, int64_t y) {
  float p0 = float(double(x) - t.pu[0]);
  float p1 = float(double(y) - t.pv[0]);
  float q0 = float(double(p0) * t.e0u + double(p1) * t.e0v);
  float q1 = float(double(p0) * t.e1u + double(p1) * t.e1v);
  float a = float((double(q1) * t.d00 - double(q0) * t.d01) * t.inv);
  float b = float((double(q0) * t.d11 - double(q1) * t.d01) * t.inv);
  return a >= 0 && b >= 0 && double(a) + double(b) < 1;
}

// The u extent of the triangle's part between the rows `low` and `high`: its
// corners in that band and its edges' crossings of the band's two borders.
bool BandExtent(const GridTriangle& t, double low, double high, double& left, double& right) {
  left = HUGE_VAL;
  right = -HUGE_VAL;
  auto take = [&](double u) {
    left = std::min(left, u);
    right = std::max(right, u);
  };
  for (int i = 0; i < 3; ++i) {
    const double u0 = t.pu[i], v0 = t.pv[i];
    const double u1 = t.pu[(i + 1) % 3], v1 = t.pv[(i + 1) % 3];
    if (v0 >= low && v0 <= high) take(u0);
    if (v0 == v1) continue;
    for (double border : {low, high})
      if ((border - v0) * (border - v1) <= 0) take(u0 + (border - v0) / (v1 - v0) * (u1 - u0));
  }
  return left <= right;
}

// Marks the cells inside the triangle (see the opening comment); returns how many
// were not marked before.
uint64_t MarkTriangle(CoverageGrid& grid, const VNLVEC3_T* corner[3]) {
  GridTriangle t;
  if (!MakeGridTriangle(grid, corner, t)) return 0;
  int64_t x0, x1, y0, y1;
  if (!ScanRange(t.pu, grid.width, x0, x1) || !ScanRange(t.pv, grid.height, y0, y1)) return 0;

  uint64_t added = 0;
  for (int64_t y = y0; y <= y1; ++y) {
    double left, right;
    if (!BandExtent(t, double(y) - kNearCells, double(y) + kNearCells, left, right)) continue;
    // In double, clipped to the box before the conversion: corners may lie far off the grid.
    const double first = std::max(std::ceil(left - kNearCells), double(x0));
    const double last = std::min(std::floor(right + kNearCells), double(x1));
    if (!(first <= last)) continue;
    uint8_t* row = grid.marked.data() + uint64_t(y) * uint64_t(grid.width);
    for (int64_t x = int64_t(first); double(x) <= last; ++x) {
      if (row[x]) continue;  // a cell counts once: overlapping triangles cost a byte test
      if (Inside(t, x, y)) {
        row[x] = 1;
        ++added;
      }
    }
  }
  return added;
}

}  // namespace

double SkinCoverage(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  uint64_t cells = uint64_t(width) * uint64_t(height);
  if (cells > kMaxCoverageCells) return 0;

  const VNLMODEL_T& model = gState.model;
  if (!model.triangles || !model.skinCoords) return 0;
  CoverageGrid grid{width, height, std::vector<uint8_t>(cells, 0)};
  uint64_t vertices = uint64_t(model.vertexCount) + model.seamCount;
  uint64_t count = 0;
  for (uint32_t t = 0; t < model.triangleCount && count < cells; ++t) {
    const uint16_t* index = model.triangles[t].index;
    if (index[0] >= vertices || index[1] >= vertices || index[2] >= vertices) continue;
    const VNLVEC3_T* corner[3] = {&model.skinCoords[index[0]], &model.skinCoords[index[1]],
                                  &model.skinCoords[index[2]]};
    count += MarkTriangle(grid, corner);
  }
  return double(count) / double(cells) * 100.0;
}
