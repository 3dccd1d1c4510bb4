// Curve approximation of the DXF reader: arcs and bulges, ellipses,
// rational B-splines, the simplification of approximated curves, and the
// object coordinate systems of the arbitrary-axis algorithm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace vltrx {

struct DxfVec {
  double x = 0, y = 0, z = 0;
};

/// Tables from this size on are aligned to it and backed by huge pages.
inline constexpr size_t kDxfHugePage = size_t(2) << 20;

/// Page-aligned memory of bytes (throws std::bad_alloc), and its release.
void* dxfAllocatePages(size_t bytes);
void dxfFreePages(void* p, size_t bytes);
/// Gives the whole pages inside [p, p + bytes) back to the system; they
/// read as zero afterwards.
void dxfReleasePages(void* p, size_t bytes);

/// Allocates whole pages straight from the system, so that a table can
/// hand back the pages of a part it no longer needs (releasePages) while it
/// still owns the rest: the commit gives back the staged points it has
/// stored, and the staged copy and the store never both hold a drawing.
template <typename T>
struct DxfPageAllocator {
  using value_type = T;
  DxfPageAllocator() = default;
  template <typename U>
  DxfPageAllocator(const DxfPageAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(dxfAllocatePages(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { dxfFreePages(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const DxfPageAllocator<U>&) const { return true; }
};

/// The point table of a drawing.
using DxfPointTable = std::vector<DxfVec, DxfPageAllocator<DxfVec>>;

/// Most points one arc, ellipse or spline span is cut into, whatever the
/// tolerance and the radius ask for (a radius of 1e12 would otherwise ask
/// for billions).
inline constexpr int kMaxCurvePoints = 16384;
/// First and last point of a polygon closer than this on every axis are one.
inline constexpr double kClosureTolerance = 5e-5;

/// The object coordinate system of an extrusion direction (groups 210, 220,
/// 230) by the arbitrary-axis algorithm.
class DxfOcs {
 public:
  /// (0, 0, 0) is taken as (0, 0, 1). valid() is false when the direction
  /// cannot be normalised; the transformation is then the identity.
  explicit DxfOcs(DxfVec normal = {0, 0, 1});
  bool identity() const { return m_identity; }
  bool valid() const { return m_valid; }
  /// The normal as normalised (the world z axis of an invalid direction).
  DxfVec normal() const { return m_az; }
  DxfVec toWorld(DxfVec p) const;
  /// Transforms out[first ..] in place.
  void toWorld(DxfPointTable& out, size_t first) const;

 private:
  DxfVec m_ax{1, 0, 0}, m_ay{0, 1, 0}, m_az{0, 0, 1};
  bool m_identity = true;
  bool m_valid = true;
};

/// Points of an arc of radius r and sweep (degrees) with the chord error
/// tol: trunc(|sweep| / step) + 1 with step = 2 acos(1 - tol / r), at most
/// kMaxCurvePoints. A radius at or below tol / 2 gives step 360.
int arcPointCount(double r, double sweepDegrees, double tol);

/// Appends points first .. n-1 of the n points (n >= 2) of the arc around
/// centre from a0 over sweep (degrees, counter-clockwise when positive).
void appendArcPoints(DxfPointTable& out, DxfVec centre, double r, double a0Degrees, double sweepDegrees, int n,
                     int first = 0);

/// The arc of the bulge b between p1 and p2 (z of p1): centre, radius,
/// start angle and sweep in degrees. False for b == 0 or p1 == p2.
bool bulgeArc(DxfVec p1, DxfVec p2, double b, DxfVec& centre, double& r, double& a0Degrees, double& sweepDegrees);

/// Appends the points of an ellipse around centre with the major semi-axis
/// vector major, the minor axis in the plane of normal scaled by ratio,
/// from parameter start over sweep (radians). Returns false (nothing
/// appended) when an axis is zero or negative.
bool appendEllipse(DxfPointTable& out, DxfVec centre, DxfVec major, double ratio, DxfVec normal, double start,
                   double sweep, double tol);

/// A rational B-spline as a SPLINE entity gives it.
struct DxfSpline {
  int degree = 0;
  std::vector<double> knots;
  std::vector<double> weights;
  std::vector<DxfVec> controls;
};

/// Result of checkSpline: 0 = fine, 1 = nothing to draw (skip), or a
/// negative error code (-2305 degree, -2306 knots, -2307 weights).
int checkSpline(const DxfSpline& spline);

/// Appends the points of the spline from knot[degree] to
/// knot[controls]: every knot value, and between two of them the points of
/// a recursive refinement until the chord is within tol of the curve.
void appendSpline(DxfPointTable& out, const DxfSpline& spline, double tol);

/// Removes from out[first ..] every point that lies within tol of the chord
/// between the points kept around it (recursively, farthest point first).
void simplifyRange(DxfPointTable& out, size_t first, double tol);

/// The closure rule on out[first ..]: at least two points with the first
/// and last within kClosureTolerance on every axis drop the last point and
/// close; fewer than three points never close. Returns closed.
bool applyClosureRule(DxfPointTable& out, size_t first);

/// True when a and b differ by at most eps on every axis.
bool nearlyEqual(const DxfVec& a, const DxfVec& b, double eps);

}  // namespace vltrx
