#pragma once
// OKorrPolyCreater: weighted least-squares fit of z ≈ Σ c_i · x^a_i · y^b_i with up to 16 terms.
// The normal equations are accumulated point by point (O(terms²) per point, no allocation) and
// solved once. A plain value object: copy it freely, embed it in its owner.
//
//   OKorrPolyCreater fit;
//   fit.PolyTypeAdd(2);                       // z ≈ c0 + c1·x + c2·x²
//   fit.StartPolyCreate();
//   for (...) fit.AddAproxValue(x, z, w);     // weight w >= 0
//   fit.Solve(16);
//   double v = fit.Value(x), s = fit.Slope(x);
//
// Powers: x^k by repeated squaring for k >= 0, 1 for k <= 0 (so 0^0 = 1). Misuse (too many terms,
// adding points before StartPolyCreate or after changing the terms, a coefficient index out of
// range) is a broken invariant and stops the program through FatalError.
namespace kavu {

class OKorrPolyCreater {
 public:
  static constexpr int kMaxTerms = 16;

  OKorrPolyCreater() = default;
  OKorrPolyCreater(const OKorrPolyCreater& other);
  OKorrPolyCreater& operator=(const OKorrPolyCreater& other);

  // The model becomes a polynomial in x of degree n: terms x^0 ... x^n (n + 1 terms, n 0 ... 15).
  // Clears the sums and the coefficients.
  void PolyTypeAdd(int n);
  // Appends the term x^a · y^b (at most 16 terms). Clears the sums and the coefficients.
  void AddTerm(int a, int b);
  int Terms() const { return m_N; }

  // Clears the sums; needs at least one term.
  void StartPolyCreate();
  // Adds one point with weight w.
  void AddAproxValue(double x, double y, double z, double w);
  void AddAproxValue(double x, double z, double w) { AddAproxValue(x, 0.0, z, w); }

  // Solves for the first min(limit, Terms()) coefficients; the others become 0. No singularity
  // check: a singular system gives non-finite coefficients. Returns true when all are finite.
  bool Solve(int limit);

  // Σ c_i x^a_i (y exponents ignored) and its derivative Σ c_i a_i x^(a_i - 1).
  double Value(double x) const;
  double Slope(double x) const;
  // The full two-variable model Σ c_i x^a_i y^b_i.
  double Value2(double x, double y) const;

  // Coefficient i, 0 <= i < Terms().
  double& operator[](int i);
  double operator[](int i) const;

  // Weighted sums of the points added since StartPolyCreate.
  double SumW() const { return m_SumW; }
  double SumWZ2() const { return m_SumWZ2; }
  // sqrt(Σ w (z - model)² / Σ w) from the sums and the solved coefficients; 0 without weight.
  double ResidualRms() const;

 private:
  static constexpr int kMaxSums = kMaxTerms * (kMaxTerms + 3) / 2;
  static int SumsFor(int terms) { return terms * (terms + 3) / 2; }
  static int Packed(int i, int j) { return i * (i + 1) / 2 + (i - j); }  // row i: j = i ... 0
  void ClearFit();

  int m_N = 0;
  int m_A[kMaxTerms] = {};
  int m_B[kMaxTerms] = {};
  int m_SumsN = 0;  // number of sums the accumulation was started for
  double m_Sums[kMaxSums] = {};
  double m_SumWZ2 = 0.0;
  double m_SumW = 0.0;
  double m_C[kMaxTerms] = {};
};

}  // namespace kavu
