#include "numerics/MyVector.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

namespace quorvel {
namespace {

// The fatal messages go to standard output; death tests watch standard error,
// so the child sends its standard output there first.
#define EXPECT_FATAL_STDOUT(statement, message)  \
  EXPECT_EXIT(                                   \
      {                                          \
        dup2(2, 1);                              \
        statement;                               \
      },                                         \
      ::testing::ExitedWithCode(255), message)

TEST(MyVector, SubscriptsAreRangeChecked) {
  CMyVector v;
  EXPECT_EQ(v.SetRange(0, 2), 3);
  v[0] = 1;
  v[1] = 2;
  v[2] = 3;
  EXPECT_EQ(v[2], 3);
  EXPECT_FATAL_STDOUT(v[3] = 0, "^CMyVector::operator\\[\\]: Subscript out of range  \\[3\\] is not between 0 and 2\\]\n$");
  EXPECT_FATAL_STDOUT(v[-1] = 0, "\\[-1\\] is not between 0 and 2\\]");
  CMyVector empty;
  EXPECT_FATAL_STDOUT(empty[0] = 0, "\\[0\\] is not between 0 and -1\\]");
  CMyIntVector ints;
  ints.SetRange(1, 2);
  EXPECT_FATAL_STDOUT(ints[0] = 0, "^CMyVector::operator\\[\\]: Subscript out of range  \\[0\\] is not between 1 and 2\\]");
}

TEST(MyVector, SetRangeKeepsElementsOnlyForTheSameLength) {
  CMyVector v;
  v.SetRange(0, 2);
  v[0] = 10;
  v[1] = 11;
  v[2] = 12;
  EXPECT_EQ(v.SetRange(1, 3), 3);
  EXPECT_EQ(v[1], 10);  // former element 0
  EXPECT_EQ(v[3], 12);
  EXPECT_EQ(v.SetRange(5, 4), 0);
  EXPECT_EQ(v.Size(), 0);
  v.SetRange(-2, 0);
  v[-2] = 1;
  v[-1] = 2;
  v[0] = 3;
  v *= 2.0;
  EXPECT_EQ(v[0], 6);
}

TEST(MyVector, CopyNeedsEqualLengthAndEqualBase) {
  CMyVector a, b;
  a.SetRange(0, 2);
  b.SetRange(0, 2);
  for (int i = 0; i < 3; ++i) a[i] = i + 0.5;
  b.Copy(a);
  EXPECT_EQ(b[2], 2.5);
  CMyVector four;
  four.SetRange(0, 3);
  EXPECT_FATAL_STDOUT(four.Copy(a), "^CMyVector::Copy: Inconsistent vector length \\[4 != 3\\]\n$");
  CMyVector shifted;
  shifted.SetRange(1, 3);
  EXPECT_FATAL_STDOUT(shifted.Copy(a), "Subscript out of range  \\[0\\] is not between 1 and 3\\]");
}

TEST(MyMatrix, RowsAreRangeCheckedAndSizesFollowTheRules) {
  CMyMatrix m;
  EXPECT_EQ(m.SetSize(3, 3), 3);
  m[2][2] = 5;
  EXPECT_EQ(m.SetSize(3, 3), 3);
  EXPECT_EQ(m[2][2], 5);  // same size: untouched
  EXPECT_FATAL_STDOUT(m[3][0] = 0, "^CMyMatrix::operator\\[\\]: Subscript out of range  \\[3 is not between 0 and 2\\]\n$");
  EXPECT_FATAL_STDOUT(m[0][3] = 0, "^CMyVector::operator\\[\\]: Subscript out of range  \\[3\\] is not between 0 and 2\\]");
  m.SetBase(1, 1);
  m[3][3] = 7;
  EXPECT_FATAL_STDOUT(m[0][1] = 0, "\\[0 is not between 1 and 3\\]");
  CMyMatrix copy;
  copy.Copy(m);
  EXPECT_EQ(copy[3][3], 7);
  EXPECT_EQ(m.SetSize(0, 3), 0);
  EXPECT_EQ(m.Rows(), 0);
  EXPECT_FATAL_STDOUT(m[0][0] = 0, "\\[0 is not between 0 and -1\\]");
}

TEST(Minver, InvertsWithPartialPivoting) {
  double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  double det = 0;
  EXPECT_EQ(minver(identity, 3, 3, 1e-6, &det), 0);
  EXPECT_EQ(det, 1.0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(identity[i], i % 4 == 0 ? 1.0 : 0.0);

  double swap[4] = {0, 1, 1, 0};
  EXPECT_EQ(minver(swap, 2, 2, 1e-6, &det), 0);
  EXPECT_EQ(det, -1.0);
  EXPECT_EQ(swap[0], 0.0);
  EXPECT_EQ(swap[1], 1.0);
  EXPECT_EQ(swap[2], 1.0);
  EXPECT_EQ(swap[3], 0.0);

  // [[2,1,1],[1,3,2],[1,0,0]]: det = 2*(0-0) - 1*(0-2) + 1*(0-3) = -1, and
  // the adjugate over det is [[0,0,1],[-2,1,3],[3,-1,-5]] (A times it is I).
  double a[9] = {2, 1, 1, 1, 3, 2, 1, 0, 0};
  EXPECT_EQ(minver(a, 3, 3, 1e-9, &det), 0);
  EXPECT_NEAR(det, -1.0, 1e-12);
  const double inverse[9] = {0, 0, 1, -2, 1, 3, 3, -1, -5};
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(a[i], inverse[i], 1e-12) << i;

  // Rows further apart than the matrix is wide.
  double strided[6] = {4, 0, 99, 0, 2, 99};
  EXPECT_EQ(minver(strided, 3, 2, 1e-6, &det), 0);
  EXPECT_EQ(strided[0], 0.25);
  EXPECT_EQ(strided[4], 0.5);
  EXPECT_EQ(strided[2], 99);
  EXPECT_EQ(det, 8.0);
}

TEST(Minver, RefusesSingularAndInvalidInput) {
  double zeroColumn[9] = {1, 0, 2, 3, 0, 4, 5, 0, 6};
  double det = 0;
  EXPECT_EQ(minver(zeroColumn, 3, 3, 1e-6, &det), 1);
  double untouched[4] = {1, 2, 3, 4};
  det = 42;
  EXPECT_EQ(minver(untouched, 1, 1, 1e-6, &det), 999);
  EXPECT_EQ(minver(untouched, 501, 501, 1e-6, &det), 999);
  EXPECT_EQ(minver(untouched, 2, 2, 0.0, &det), 999);
  EXPECT_EQ(det, 42);
  EXPECT_EQ(untouched[0], 1);
}

}  // namespace
}  // namespace quorvel
