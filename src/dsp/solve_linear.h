#pragma once
// Dense real linear solver: Gaussian elimination with partial pivoting.

namespace kavu {

// Solves a · out = b for the n × n matrix `a` stored row by row, row i starting at a[i * stride]
// (stride >= n). `a` and `b` are overwritten. Pivot: the row with the largest |a[p][k]| at or below
// k (the first one on ties). There is no singularity check: a zero pivot gives infinities or NaN
// in `out`. Returns true when every element of `out` is finite. n <= 0 does nothing (true);
// stride < n is a broken invariant (FatalError).
bool SolveLinear(double* a, int n, int stride, double* b, double* out);

}  // namespace kavu
