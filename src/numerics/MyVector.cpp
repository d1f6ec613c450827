#include "numerics/MyVector.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quorvel {

void VectorRangeError(int index, int first, int last) {
  std::printf("CMyVector::operator[]: Subscript out of range  [%d] is not between %d and %d]\n", index, first, last);
  std::exit(-1);
}

void MatrixRangeError(int index, int first, int last) {
  std::printf("CMyMatrix::operator[]: Subscript out of range  [%d is not between %d and %d]\n", index, first, last);
  std::exit(-1);
}

void CMyMatrix::Free() {
  std::vector<CMyVector>().swap(rows_);
  nRows_ = nColumns_ = rowBase_ = columnBase_ = 0;
}

int CMyMatrix::SetSize(int nRows, int nColumns) {
  if (nRows < 1 || nColumns < 1) {
    Free();
    return 0;
  }
  if (nRows == nRows_ && nColumns == nColumns_) return nRows_;
  Free();
  try {
    rows_.resize(static_cast<size_t>(nRows));
  } catch (const std::exception&) {
    Free();
    return 0;
  }
  for (CMyVector& row : rows_) {
    if (row.SetRange(0, nColumns - 1) < 1) {
      Free();
      return 0;
    }
  }
  nRows_ = nRows;
  nColumns_ = nColumns;
  return nRows_;
}

void CMyMatrix::SetBase(int rowBase, int columnBase) {
  rowBase_ = rowBase;
  columnBase_ = columnBase;
  for (CMyVector& row : rows_) row.SetRange(columnBase, columnBase + nColumns_ - 1);
}

int minver(double* a, int l, int n, double eps, double* det) {
  if (n < 2 || n > 500 || eps <= 0 || l < n) return 999;
  int p[500];
  double d = 1.0;
  for (int i = 0; i < n; ++i) p[i] = i;
  auto at = [a, l](int i, int j) -> double& { return a[static_cast<size_t>(i) * l + j]; };
  for (int k = 0; k < n; ++k) {
    int r = k;
    double best = 0.0;
    for (int i = k; i < n; ++i) {
      double v = std::fabs(at(i, k));
      if (v > best) {  // only a strictly larger value replaces the choice
        best = v;
        r = i;
      }
    }
    double pivot = at(r, k);
    if (std::fabs(pivot) <= eps) {
      *det = d;
      return 1;
    }
    d *= pivot;
    if (r != k) {
      d = -d;
      std::swap(p[k], p[r]);
      for (int j = 0; j < n; ++j) std::swap(at(k, j), at(r, j));
    }
    for (int j = 0; j < n; ++j) at(k, j) /= pivot;
    for (int i = 0; i < n; ++i) {
      if (i == k) continue;
      double w = at(i, k);
      if (w == 0.0) continue;
      for (int j = 0; j < n; ++j)
        if (j != k) at(i, j) -= w * at(k, j);
      at(i, k) = -w / pivot;
    }
    at(k, k) = 1.0 / pivot;
  }
  for (int i = 0; i < n; ++i) {
    while (p[i] != i) {
      int m = p[i];
      std::swap(p[m], p[i]);
      for (int j = 0; j < n; ++j) std::swap(at(j, i), at(j, m));
    }
  }
  *det = d;
  return 0;
}

}  // namespace quorvel
