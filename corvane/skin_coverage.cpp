// Skin coverage: which cells of a texel grid the model's triangles cover.
//
// The inside test. A cell is the integer position (x, y). With the corners P0,
// P1, P2 scaled to the grid (u x width, v x height), a cell is inside when its
// weights along the edges P0P1 and P0P2 are a >= 0, b >= 0 and a + b < 1: the
// near edges are closed, the far edge open. Every named value is rounded to a
// float when it is stored and each formula is evaluated in double, so figures
// are the same on every build.
//
// The sliver rule. A cell is marked only when it also lies within a quarter
// cell of the triangle, along u and along v. For every triangle whose weights
// round to within a small fraction of a cell this changes nothing: the weights
// alone decide. Only a near-degenerate sliver, whose rounded weights can pass
// the test farther from the triangle itself, loses those stray cells. The rule
// lets the scan visit, on each row the triangle spans, only the cells near it
// instead of its whole bounding box, so a triangle costs its rows and the cells
// it covers: 65535 slivers across a 1024 x 1024 skin take about a second.
#include "skin_coverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Grids beyond this many cells are not scanned (a real skin has well under a
// million texels; the cap keeps a hostile header from a huge allocation).
constexpr uint64_t kMaxCoverageCells = uint64_t(64) << 20;
// How far from the triangle, in cells along u and along v, a cell may lie and
// still be tested.
constexpr double kNearCells = 0.25;

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

// The triangle's boundaries as functions of v, for the rows it spans: corners
// sorted by v (top, middle, bottom), the long edge from top to bottom and the
// two short ones through the middle corner.
struct RowWalk {
  double topV, midV, bottomV;
  double topU, midU;
  double longSlope, upperSlope, lowerSlope;  // du / dv of each edge

  explicit RowWalk(const GridTriangle& t) {
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&t](int i, int j) { return t.pv[i] < t.pv[j]; });
    const double u[3] = {t.pu[order[0]], t.pu[order[1]], t.pu[order[2]]};
    const double v[3] = {t.pv[order[0]], t.pv[order[1]], t.pv[order[2]]};
    topV = v[0], midV = v[1], bottomV = v[2];
    topU = u[0], midU = u[1];
    // Corners on one row are collinear and never get here, so bottomV > topV.
    longSlope = (u[2] - u[0]) / (v[2] - v[0]);
    upperSlope = v[1] > v[0] ? (u[1] - u[0]) / (v[1] - v[0]) : 0;
    lowerSlope = v[2] > v[1] ? (u[2] - u[1]) / (v[2] - v[1]) : 0;
  }

  double longEdge(double v) const { return topU + (v - topV) * longSlope; }
  // At the middle corner's row the upper edge ends at that corner (a flat upper
  // edge leaves the rest of that row to the long edge and the corner itself).
  double shortEdge(double v) const {
    return v <= midV ? (midV > topV ? topU + (v - topV) * upperSlope : midU) : midU + (v - midV) * lowerSlope;
  }

  // The u extent of the triangle's part between the rows `low` and `high`; false
  // when that band misses the triangle. Both boundaries are straight but for the
  // bend at the middle corner, so the band's ends and that corner decide.
  bool extent(double low, double high, double& left, double& right) const {
    low = std::max(low, topV);
    high = std::min(high, bottomV);
    if (!(low <= high)) return false;
    const double a = longEdge(low), b = longEdge(high), c = shortEdge(low), d = shortEdge(high);
    left = std::min({a, b, c, d});
    right = std::max({a, b, c, d});
    if (low < midV && midV < high) {
      left = std::min(left, midU);
      right = std::max(right, midU);
    }
    return true;
  }
};

// Marks the cells inside the triangle (see the opening comment); returns how many
// were not marked before.
uint64_t MarkTriangle(CoverageGrid& grid, const VNLVEC3_T* corner[3]) {
  GridTriangle t;
  if (!MakeGridTriangle(grid, corner, t)) return 0;
  int64_t x0, x1, y0, y1;
  if (!ScanRange(t.pu, grid.width, x0, x1) || !ScanRange(t.pv, grid.height, y0, y1)) return 0;

  const RowWalk walk(t);
  uint64_t added = 0;
  for (int64_t y = y0; y <= y1; ++y) {
    double left, right;
    if (!walk.extent(double(y) - kNearCells, double(y) + kNearCells, left, right)) continue;
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

double SkinCoverage(const VNLMODEL_T& model, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  uint64_t cells = uint64_t(width) * uint64_t(height);
  if (cells > kMaxCoverageCells) return 0;

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
