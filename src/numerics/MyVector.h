// Range-checked vectors and matrices. Every element access is tested; a failed
// test is a programming error that ends the program with exit status -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

namespace quorvel {

[[noreturn]] void VectorRangeError(int index, int first, int last);
[[noreturn]] void MatrixRangeError(int index, int first, int last);

// A vector whose first subscript is chosen by the caller (base). Both element
// types (double and 32-bit integer) print the same CMyVector messages. Copies
// take the source's subscripts and elements.
template <typename T>
class CMyVectorT {
 public:
  // Covers subscripts first..last. The same length only moves the base and
  // keeps the elements; another length reallocates. Returns the length, 0
  // (with the vector empty) for a length below 1 or memory that cannot be had.
  int SetRange(int first, int last) {
    long long length = static_cast<long long>(last) - first + 1;
    if (length == n_) {
      base_ = first;
      return n_;
    }
    Free();
    if (length < 1 || length > 0x7fffffff) return 0;
    try {
      data_.resize(static_cast<size_t>(length));
    } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
      Free();
      return 0;
    }
    n_ = static_cast<int>(length);
    base_ = first;
    return n_;
  }

  void Free() {
    std::vector<T>().swap(data_);
    base_ = n_ = 0;
  }

  T& operator[](int i) {
    if (n_ < 1 || i < base_ || i > base_ + n_ - 1) VectorRangeError(i, base_, base_ + n_ - 1);
    return data_[static_cast<size_t>(i - base_)];
  }
  const T& operator[](int i) const {
    if (n_ < 1 || i < base_ || i > base_ + n_ - 1) VectorRangeError(i, base_, base_ + n_ - 1);
    return data_[static_cast<size_t>(i - base_)];
  }

  CMyVectorT& operator*=(T s) {
    for (T& e : data_) e *= s;
    return *this;
  }

  int Base() const { return base_; }
  int Size() const { return n_; }

 private:
  int base_ = 0;
  int n_ = 0;
  std::vector<T> data_;
};

using CMyVector = CMyVectorT<double>;
using CMyIntVector = CMyVectorT<std::int32_t>;

// A matrix of CMyVector rows with chosen row and column bases. Copies take
// the source's size, bases and elements.
class CMyMatrix {
 public:
  // Makes the matrix nRows x nColumns with both bases 0. Counts below 1 empty
  // it and return 0; the same size changes nothing.
  int SetSize(int nRows, int nColumns);
  void SetBase(int rowBase, int columnBase);
  CMyVector& operator[](int i) {
    if (nRows_ < 1 || i < rowBase_ || i > rowBase_ + nRows_ - 1) MatrixRangeError(i, rowBase_, rowBase_ + nRows_ - 1);
    return rows_[static_cast<size_t>(i - rowBase_)];
  }
  const CMyVector& operator[](int i) const {
    if (nRows_ < 1 || i < rowBase_ || i > rowBase_ + nRows_ - 1) MatrixRangeError(i, rowBase_, rowBase_ + nRows_ - 1);
    return rows_[static_cast<size_t>(i - rowBase_)];
  }
  void Free();

  int Rows() const { return nRows_; }
  int Columns() const { return nColumns_; }
  int RowBase() const { return rowBase_; }
  int ColumnBase() const { return columnBase_; }

 private:
  int nRows_ = 0;
  int nColumns_ = 0;
  std::vector<CMyVector> rows_;
  int rowBase_ = 0;
  int columnBase_ = 0;
};

// Inverts in place the n x n matrix stored row by row in a (rows l apart) by
// Gauss-Jordan elimination with partial pivoting. det receives the
// determinant. Returns 0 on success, 1 when singular (|pivot| <= eps), 999 for
// invalid arguments (n < 2, n > 500, eps <= 0).
int minver(double* a, int l, int n, double eps, double* det);

}  // namespace quorvel
