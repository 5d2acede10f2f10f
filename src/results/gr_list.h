#pragma once
// The graph window's view of what it shows: a list of graphs (OGrList), each with a value axis
// (TGrDia) and lines (OGrListItem). The window never knows what a line means; it asks the line
// for its points, its name and how to draw it.
#include <cstdint>
#include <string>

#include "results/tgr_dia.h"

namespace kavu {

// Point flags returned by OGrListItem::GetPoint.
enum GrPointFlags : int32_t {
  kGrInvalid = 1,      // skipped; the line continues from the last valid point
  kGrNewSegment = 2,   // a new segment starts at this point
  kGrEndSegment = 4,   // the segment ends after this point
  kGrNoAutoscale = 0x20,
  kGrNoMarker = 0x40,
  kGrGlitch = 0x80,    // ignored by an autoscale while the axis ignores glitches
};

class OGrListItem {
 public:
  virtual ~OGrListItem() = default;
  virtual int GetKind() const = 0;  // 0 a series of points, 1 a function of x
  virtual int HasBand() const = 0;  // 1: drawn as a filled band of ± half-width
  virtual int32_t GetCount() const = 0;
  // A fixed value range replacing autoscaling; false when the line has none.
  virtual bool GetFixedRange(double& x0, double& x1, double& y0, double& y1) const {
    (void)x0, (void)x1, (void)y0, (void)y1;
    return false;
  }
  // The index range [first, end) worth drawing for the visible x range, and the index step.
  virtual void GetIndexRange(double x_lo, double x_hi, int pixels, int32_t& first, int32_t& end,
                             int32_t& step) const {
    (void)x_lo, (void)x_hi, (void)pixels;
    first = 0, end = GetCount(), step = 1;
  }
  // Point i: x, y and the point's GrPointFlags.
  virtual int32_t GetPoint(int32_t i, double& x, double& y) const = 0;
  virtual double GetHalfWidthAt(double x) const { (void)x; return 0; }
  virtual double GetHalfWidth(int32_t i) const { (void)i; return 0; }
  virtual void GetFunctionXRange(double& x0, double& x1) const { x0 = 1e100, x1 = -1e100; }
  virtual void GetFunctionYRange(double& y0, double& y1) const { y0 = 1e100, y1 = -1e100; }
  virtual double GetFunctionValue(double x) const { (void)x; return 0; }
  virtual void GetName(std::string& text) const { text.clear(); }
  virtual void SetHasVisiblePoints(bool flag) { (void)flag; }
  virtual bool IsShown() const { return true; }
};

class OGrList {
 public:
  virtual ~OGrList() = default;
  virtual int32_t GetGraphCount() const = 0;
  virtual TGrDia& GetAxis(int32_t g) = 0;
  virtual int32_t GetLineCount(int32_t g) const = 0;
  // Line l of graph g. May return a shared object: use it before asking for the next line.
  virtual OGrListItem& GetLine(int32_t g, int32_t l) = 0;
};

}  // namespace kavu
