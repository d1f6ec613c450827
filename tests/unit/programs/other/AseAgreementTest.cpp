// The PWScf and CASTEP conversions compared with ASE's reading of the same
// files (Debian's python3-ase). Skipped where ASE is not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "app/RunFrame.h"
#include "app/TextUtil.h"
#include "programs/other/CASTEP.h"
#include "programs/other/PWScf.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

const std::string kE2E = std::string(QUORVEL_SOURCE_DATA_DIR) + "/../tests/e2e/";

// Our files against ASE: the XSF frames (cell, fractional positions, forces)
// and the final CIF (cell parameters, wrapped fractional positions, elements).
const char* kScript = R"PY(
import sys
try:
    import numpy as np
    import ase.io
    from ase.io.espresso import read_espresso_out
    from ase.units import Ry, Bohr, Hartree
except ImportError:
    sys.exit(77)
import warnings
warnings.simplefilter("ignore")

kind, d = sys.argv[1], sys.argv[2]
failures = []

def check(what, ours, theirs, tol):
    ours, theirs = np.asarray(ours, float), np.asarray(theirs, float)
    if ours.shape != theirs.shape or np.max(np.abs(ours - theirs), initial=0) > tol:
        failures.append("%s: ours %s, ASE %s" % (what, ours.tolist(), theirs.tolist()))

def wrapped(p):
    p = np.mod(np.asarray(p) + 1e-8, 1.0)
    return np.where(p >= 0.9999999999, p - 1, p)

if kind == "pwscf":
    with open(d + "/quartz.out") as f:
        # Frame 0 is the starting structure, frame k + 1 the positions printed
        # after force block k, the force block of our step k.
        ase_frames = list(read_espresso_out(f, index=slice(None), results_required=False))
    ase_input = ase.io.read(d + "/quartz.inp", format="espresso-in")
    steps = ase_frames[1:]
    forces = [a.get_forces() / (Ry / Bohr) for a in ase_frames[:-1]]
    final = steps[-1]
else:
    final = ase.io.read(d + "/rutile.castep", format="castep-castep")
    ase_input = final
    steps, forces = None, None

xsf = ase.io.read(d + ("/quartz.xsf" if kind == "pwscf" else "/rutile.xsf"), index=":")
if steps is not None:
    check("number of frames", [len(xsf)], [len(steps)], 0)
for i, frame in enumerate(xsf):
    # The header cell is printed to six decimals in units of alat.
    check("frame %d cell parameters" % i, frame.cell.cellpar(), (steps[i] if steps else frame).cell.cellpar(), 2e-5)
    if steps is not None:
        check("frame %d fractional positions" % i, frame.get_scaled_positions(wrap=False),
              steps[i].get_scaled_positions(wrap=False), 1e-7)
        # Forces are printed to seven decimals.
        check("frame %d forces" % i, frame.get_forces() / Hartree, forces[i], 1e-7)
        check("frame %d elements" % i, frame.numbers, steps[i].numbers, 0)
last = xsf[-1]
check("last frame cell parameters", last.cell.cellpar(), final.cell.cellpar(), 2e-5)
check("last frame fractional positions", wrapped(last.get_scaled_positions(wrap=False)),
      wrapped(final.get_scaled_positions(wrap=False)), 1e-7)

cif = ase.io.read(d + ("/quartz-final.cif" if kind == "pwscf" else "/rutile-final.cif"))
# The cell is printed with six significant digits; pw.x takes it from the input.
check("CIF cell parameters", cif.cell.cellpar(), ase_input.cell.cellpar() if kind == "pwscf" else final.cell.cellpar(),
      1e-4)
check("CIF fractional positions", cif.get_scaled_positions(wrap=False), wrapped(final.get_scaled_positions(wrap=False)),
      1e-6)
check("CIF elements", cif.numbers, final.numbers, 0)

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
)PY";

class AseAgreementTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_[0] = NONRELPath;
    saved_[1] = ASFDCPath;
    NONRELPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/nonrel";
    ASFDCPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/asfdc";
  }
  void TearDown() override {
    NONRELPath = saved_[0];
    ASFDCPath = saved_[1];
  }
  // Runs the script on the scratch directory; fails with its report.
  void Compare(const char* kind) {
    if (!FileExists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    WriteFile(dir_.Path("check.py"), kScript);
    // Run in the scratch directory: ASE's CASTEP reader may leave a keyword
    // file in its working directory.
    std::string command = "cd '" + dir_.Dir() + "' && /usr/bin/python3 '" + dir_.Path("check.py") + "' " + kind + " '" + dir_.Dir() + "' > '" +
                          dir_.Path("report.txt") + "' 2>&1";
    int status = std::system(command.c_str());
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 77) GTEST_SKIP() << "python3-ase is not installed";
    EXPECT_EQ(code, 0) << ReadFile(dir_.Path("report.txt"));
  }
  TempDir dir_;

 private:
  std::string saved_[2];
};

TEST_F(AseAgreementTest, PWScfRelaxation) {
  const std::string in = kE2E + "PWScfConvOutput/relax_quartz_every_second_step/in/";
  ASSERT_TRUE(CopyFileContents(in + "quartz.inp", dir_.Path("quartz.inp")));
  ASSERT_TRUE(CopyFileContents(in + "quartz.out", dir_.Path("quartz.out")));
  testing::internal::CaptureStdout();
  EXPECT_EQ(PWScfConvOutput(dir_.Path("quartz.out"), ""), 1);
  testing::internal::GetCapturedStdout();
  Compare("pwscf");
}

TEST_F(AseAgreementTest, CASTEPCellOptimisation) {
  const std::string in = kE2E + "CASTEPConvOutput/cellopt_rutile_every_second_step/in/";
  ASSERT_TRUE(CopyFileContents(in + "rutile.castep", dir_.Path("rutile.castep")));
  testing::internal::CaptureStdout();
  EXPECT_EQ(CASTEPConvOutput(dir_.Path("rutile.castep"), ""), 1);
  testing::internal::GetCapturedStdout();
  Compare("castep");
}

}  // namespace
}  // namespace quorvel
