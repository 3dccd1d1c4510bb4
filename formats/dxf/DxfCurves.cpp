// Curve approximation and object coordinate systems of the DXF reader.
#include "formats/dxf/DxfCurves.h"

#include "core/CError.h"

#include <algorithm>
#include <cmath>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace vltrx {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
// The arbitrary-axis algorithm switches its helper axis below this.
constexpr double kArbitraryAxisLimit = 1.0 / 64.0;
// Splines of a higher degree are not drawn (real drawings stay below 12).
constexpr int kMaxSplineDegree = 16;
// Refinement depth of one knot span: at least 2 halvings (so an S-shaped
// span is never taken for straight from its middle point alone), at most 16.
constexpr int kMinSplineDepth = 2;
constexpr int kMaxSplineDepth = 16;
// Points one spline may add before refinement stops.
constexpr size_t kMaxSplinePoints = 1u << 18;

DxfVec cross(const DxfVec& a, const DxfVec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Length without overflow for components up to the largest double.
double length(const DxfVec& v) {
  const double m = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
  if (m == 0 || !std::isfinite(m)) return m;
  const double x = v.x / m, y = v.y / m, z = v.z / m;
  return m * std::sqrt(x * x + y * y + z * z);
}

bool normalise(DxfVec& v) {
  const double l = length(v);
  if (!(l > 0) || !std::isfinite(l)) return false;
  v = {v.x / l, v.y / l, v.z / l};
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Distance of p from the segment a-b (from a when a == b).
double distanceToSegment(const DxfVec& p, const DxfVec& a, const DxfVec& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const double len2 = dx * dx + dy * dy + dz * dz;
  double t = 0;
  if (len2 > 0) t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy + (p.z - a.z) * dz) / len2, 0.0, 1.0);
  const DxfVec f{a.x + t * dx - p.x, a.y + t * dy - p.y, a.z + t * dz - p.z};
  return length(f);
}

// Distance of p from the line through a and b (the foot of the
// perpendicular); the simplification measures against the whole line.
double distanceToLine(const DxfVec& p, const DxfVec& a, const DxfVec& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const double len2 = dx * dx + dy * dy + dz * dz;
  double t = 0;
  if (len2 > 0) t = ((p.x - a.x) * dx + (p.y - a.y) * dy + (p.z - a.z) * dz) / len2;
  const DxfVec f{a.x + t * dx - p.x, a.y + t * dy - p.y, a.z + t * dz - p.z};
  return length(f);
}

int clampCount(double n) {
  if (!(n >= 0)) return kMaxCurvePoints;
  if (n > kMaxCurvePoints) return kMaxCurvePoints;
  return static_cast<int>(n);
}

// Step angle in radians for the chord error tol on a radius r.
double stepAngle(double r, double tol) {
  const double c = 1.0 - tol / r;
  if (!(c > -1.0)) return 2 * kPi;
  return 2.0 * std::acos(std::min(c, 1.0));
}

class SplineEvaluator {
 public:
  SplineEvaluator(const DxfSpline& s, DxfPointTable& out, double tol)
      : m_s(s), m_out(out), m_tol(tol), m_start(out.size()) {}

  void run() {
    const int p = m_s.degree;
    const int n = static_cast<int>(m_s.controls.size());
    bool first = true;
    for (int k = p; k < n; ++k) {
      const double t0 = m_s.knots[static_cast<size_t>(k)];
      const double t1 = m_s.knots[static_cast<size_t>(k) + 1];
      if (!(t1 > t0)) continue;
      const DxfVec p0 = eval(k, t0);
      const DxfVec p1 = eval(k, t1);
      if (first) {
        m_out.push_back(p0);
        first = false;
      }
      refine(k, t0, p0, t1, p1, 0);
    }
  }

 private:
  // De Boor's algorithm on the homogeneous control points of span k.
  DxfVec eval(int k, double t) const {
    const int p = m_s.degree;
    double d[kMaxSplineDegree + 1][4];
    for (int j = 0; j <= p; ++j) {
      const size_t i = static_cast<size_t>(j + k - p);
      const DxfVec& c = m_s.controls[i];
      const double w = m_s.weights.empty() ? 1.0 : m_s.weights[i];
      d[j][0] = c.x * w;
      d[j][1] = c.y * w;
      d[j][2] = c.z * w;
      d[j][3] = w;
    }
    for (int r = 1; r <= p; ++r) {
      for (int j = p; j >= r; --j) {
        const double left = m_s.knots[static_cast<size_t>(j + k - p)];
        const double right = m_s.knots[static_cast<size_t>(j + 1 + k - r)];
        const double alpha = right > left ? (t - left) / (right - left) : 0.0;
        for (int c = 0; c < 4; ++c) d[j][c] = (1.0 - alpha) * d[j - 1][c] + alpha * d[j][c];
      }
    }
    const double w = d[p][3];
    if (w == 0) return {d[p][0], d[p][1], d[p][2]};
    return {d[p][0] / w, d[p][1] / w, d[p][2] / w};
  }

  void refine(int k, double t0, const DxfVec& p0, double t1, const DxfVec& p1, int depth) {
    if (depth < kMaxSplineDepth && m_out.size() - m_start < kMaxSplinePoints) {
      const double tm = 0.5 * (t0 + t1);
      const DxfVec pm = eval(k, tm);
      if (depth < kMinSplineDepth || distanceToSegment(pm, p0, p1) > m_tol) {
        refine(k, t0, p0, tm, pm, depth + 1);
        refine(k, tm, pm, t1, p1, depth + 1);
        return;
      }
    }
    m_out.push_back(p1);
  }

  const DxfSpline& m_s;
  DxfPointTable& m_out;
  double m_tol;
  size_t m_start;
};

size_t pageSize() {
  static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

// Tables of 2 MiB or more are 2 MiB aligned and asked to be backed by
// transparent huge pages: one fault then maps 2 MiB instead of 4 KiB. On
// 1 M entities the point table alone took 34 000 faults of 4 KiB, a third of
// the system time of a read.
namespace {

size_t mappedSize(size_t bytes) {
  if (bytes == 0) return 1;
  return bytes >= kDxfHugePage ? (bytes + kDxfHugePage - 1) & ~(kDxfHugePage - 1) : bytes;
}

}  // namespace

void* dxfAllocatePages(size_t bytes) {
  const size_t size = mappedSize(bytes);
  if (size < kDxfHugePage) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
  }
  void* raw = ::mmap(nullptr, size + kDxfHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kDxfHugePage - 1) & ~uintptr_t(kDxfHugePage - 1);
  // Trim the slack in front of and behind the aligned part.
  if (aligned > start) ::munmap(raw, aligned - start);
  if (const size_t after = start + kDxfHugePage - aligned) ::munmap(reinterpret_cast<void*>(aligned + size), after);
  void* p = reinterpret_cast<void*>(aligned);
  ::madvise(p, size, MADV_HUGEPAGE);  // only a hint
  return p;
}

void dxfFreePages(void* p, size_t bytes) {
  if (p) ::munmap(p, mappedSize(bytes));
}

void dxfReleasePages(void* p, size_t bytes) {
  const uintptr_t page = pageSize();
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) / page * page;
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

DxfOcs::DxfOcs(DxfVec n) {
  if (n.x == 0 && n.y == 0 && n.z == 0) n = {0, 0, 1};
  if (!normalise(n)) {
    m_valid = false;
    return;
  }
  if (n.x == 0 && n.y == 0 && n.z > 0) return;  // the world system
  m_az = n;
  DxfVec ax = std::fabs(n.x) < kArbitraryAxisLimit && std::fabs(n.y) < kArbitraryAxisLimit ? cross({0, 1, 0}, n)
                                                                                           : cross({0, 0, 1}, n);
  DxfVec ay{};
  if (!normalise(ax) || !normalise(ay = cross(n, ax))) {
    m_valid = false;
    m_az = {0, 0, 1};
    return;
  }
  m_ax = ax;
  m_ay = ay;
  m_identity = false;
}

DxfVec DxfOcs::toWorld(DxfVec p) const {
  if (m_identity) return p;
  return {p.x * m_ax.x + p.y * m_ay.x + p.z * m_az.x, p.x * m_ax.y + p.y * m_ay.y + p.z * m_az.y,
          p.x * m_ax.z + p.y * m_ay.z + p.z * m_az.z};
}

void DxfOcs::toWorld(DxfPointTable& out, size_t first) const {
  if (m_identity) return;
  for (size_t i = first; i < out.size(); ++i) out[i] = toWorld(out[i]);
}

int arcPointCount(double r, double sweepDegrees, double tol) {
  const double step = stepAngle(r, tol) / kDegree;
  return clampCount(std::trunc(std::fabs(sweepDegrees) / step) + 1.0);
}

void appendArcPoints(DxfPointTable& out, DxfVec centre, double r, double a0Degrees, double sweepDegrees, int n,
                     int first) {
  if (n < 2) n = 2;
  for (int i = first; i < n; ++i) {
    const double angle = (a0Degrees + i * sweepDegrees / (n - 1)) * kDegree;
    out.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle), centre.z});
  }
}

bool bulgeArc(DxfVec p1, DxfVec p2, double b, DxfVec& centre, double& r, double& a0Degrees, double& sweepDegrees) {
  if (b == 0) return false;
  const double dx = p2.x - p1.x, dy = p2.y - p1.y;
  const double chord = std::hypot(dx, dy);
  if (!(chord > 0)) return false;
  const double theta = 4.0 * std::atan(b);
  const double half = std::fabs(theta) / 2.0;
  r = chord / (2.0 * std::sin(half));
  // Distance of the centre from the chord's middle, signed so that the
  // centre lies to the left of p1 -> p2 for a counter-clockwise arc below a
  // half circle.
  const double h = r * std::cos(half);
  const double mx = 0.5 * (p1.x + p2.x), my = 0.5 * (p1.y + p2.y);
  const double ux = -dy / chord, uy = dx / chord;  // left normal
  const double side = b > 0 ? 1.0 : -1.0;
  centre = {mx + side * h * ux, my + side * h * uy, p1.z};
  a0Degrees = std::atan2(p1.y - centre.y, p1.x - centre.x) / kDegree;
  sweepDegrees = theta / kDegree;
  return std::isfinite(r) && std::isfinite(centre.x) && std::isfinite(centre.y);
}

bool appendEllipse(DxfPointTable& out, DxfVec centre, DxfVec major, double ratio, DxfVec normal, double start,
                   double sweep, double tol) {
  const double a = length(major);
  const double b = a * ratio;
  if (!(a > 0) || !(b > 0) || !std::isfinite(b)) return false;
  DxfVec n = normal;
  if (n.x == 0 && n.y == 0 && n.z == 0) n = {0, 0, 1};
  if (!normalise(n)) n = {0, 0, 1};
  DxfVec minor = cross(n, major);
  const double ml = length(minor);
  if (!(ml > 0)) return false;
  minor = {minor.x / ml * b, minor.y / ml * b, minor.z / ml * b};
  const double step = stepAngle(std::max(a, b), tol);
  int count = clampCount(std::trunc(std::fabs(sweep) / step) + 1.0);
  if (count < 2) count = 2;
  for (int i = 0; i < count; ++i) {
    const double t = start + i * sweep / (count - 1);
    const double c = std::cos(t), s = std::sin(t);
    out.push_back({centre.x + major.x * c + minor.x * s, centre.y + major.y * c + minor.y * s,
                   centre.z + major.z * c + minor.z * s});
  }
  return true;
}

int checkSpline(const DxfSpline& s) {
  if (s.degree < 1) return +ErrorCode::DxfInvalidSplineDegree;
  if (s.knots.empty() && s.controls.empty()) return 1;
  const size_t p = static_cast<size_t>(s.degree);
  if (s.knots.size() != s.controls.size() + p + 1) return +ErrorCode::DxfInvalidKnotCount;
  if (!s.weights.empty() && s.weights.size() != s.controls.size()) return +ErrorCode::DxfWeightCountMismatch;
  for (size_t i = 1; i < s.knots.size(); ++i)
    if (s.knots[i] < s.knots[i - 1]) return +ErrorCode::DxfInvalidKnotCount;
  // Too few control points for the degree, a degree no drawing uses, an
  // empty domain or a weight that is not positive: nothing sound to draw.
  if (s.degree > kMaxSplineDegree || s.controls.size() < p + 1) return 1;
  if (!(s.knots[s.controls.size()] > s.knots[p])) return 1;
  for (double w : s.weights)
    if (!(w > 0)) return 1;
  return 0;
}

void appendSpline(DxfPointTable& out, const DxfSpline& spline, double tol) {
  SplineEvaluator(spline, out, tol).run();
}

void simplifyRange(DxfPointTable& out, size_t first, double tol) {
  const size_t n = out.size() - first;
  if (n < 3) return;
  std::vector<uint8_t> keep(n, 0);
  keep[0] = keep[n - 1] = 1;
  // Explicit stack: the recursion of a long curve would be as deep as the
  // curve is long.
  std::vector<std::pair<size_t, size_t>> stack{{0, n - 1}};
  while (!stack.empty()) {
    auto [lo, hi] = stack.back();
    stack.pop_back();
    if (hi <= lo + 1) continue;
    const DxfVec& a = out[first + lo];
    const DxfVec& b = out[first + hi];
    double worst = -1;
    size_t split = lo;
    for (size_t i = lo + 1; i < hi; ++i) {
      const double d = distanceToLine(out[first + i], a, b);
      if (d > worst) {
        worst = d;
        split = i;
      }
    }
    if (worst <= tol) continue;
    keep[split] = 1;
    stack.push_back({lo, split});
    stack.push_back({split, hi});
  }
  size_t w = first;
  for (size_t i = 0; i < n; ++i)
    if (keep[i]) out[w++] = out[first + i];
  out.resize(w);
}

bool nearlyEqual(const DxfVec& a, const DxfVec& b, double eps) {
  return std::fabs(a.x - b.x) <= eps && std::fabs(a.y - b.y) <= eps && std::fabs(a.z - b.z) <= eps;
}

bool applyClosureRule(DxfPointTable& out, size_t first) {
  const size_t n = out.size() - first;
  if (n >= 2 && nearlyEqual(out[first], out.back(), kClosureTolerance)) {
    out.pop_back();
    return n - 1 >= 3;
  }
  return false;
}

}  // namespace vltrx
