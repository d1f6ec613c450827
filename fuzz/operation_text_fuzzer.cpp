// The operation-text parser: whatever it accepts formats back to a text that
// parses to the same operation.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crystal/SpaceGroup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  double r[3][3], t[3];
  if (!quorvel::ParseOperationText(text, r, t)) return 0;
  quorvel::CMyMatrix rotation;
  quorvel::CMyVector translation;
  rotation.SetSize(3, 3);
  translation.SetRange(0, 2);
  for (int m = 0; m < 3; ++m) {
    if (!std::isfinite(t[m]) || std::fabs(t[m]) > 1e6) return 0;
    translation[m] = t[m];
    for (int n = 0; n < 3; ++n) rotation[m][n] = r[m][n];
  }
  double r2[3][3], t2[3];
  std::string formatted = quorvel::FormatOperation(rotation, translation);
  if (!quorvel::ParseOperationText(formatted, r2, t2)) std::abort();
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n)
      if (r2[m][n] != r[m][n]) std::abort();
    // Translations come back as fraction texts or "%lg" (six digits).
    if (std::fabs(t2[m] - t[m]) > 1e-5 * (1 + std::fabs(t[m]))) std::abort();
  }
  return 0;
}
