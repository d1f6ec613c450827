#include "programs/TrajectoryConversion.h"

#include <cstdio>
#include <utility>

#include "analysis/RDF.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"
#include "text/Messages.h"
#include "text/TextUtil.h"

namespace quorvel {

void WriteStructureCIF(const char* which, CCrystal& crystal, const std::string& path) {
  std::printf("Make CIFFile of %s structure [%s].\n", which, path.c_str());
  WriteCIF(crystal, path);
}

CTrajectoryConversion::CLayout CTrajectoryConversion::CLayout::ForOutput(EStart start, const std::string& output,
                                                                         const std::string& crystalName) {
  CLayout layout;
  layout.Start = start;
  layout.CrystalName = crystalName;
  layout.XSF = output;
  ReplaceExtension(layout.XSF, "xsf");
  layout.CIFStem = CutAtLastDot(output);
  return layout;
}

CTrajectoryConversion::CTrajectoryConversion(const CConversionSettings& settings, CLayout layout)
    : settings_(settings),
      layout_(std::move(layout)),
      crystal_(NewConverterCrystal(layout_.CrystalName, settings.Databases)),
      initial_(NewConverterCrystal(layout_.CrystalName, settings.Databases)) {}

CTrajectoryConversion::~CTrajectoryConversion() = default;

int CTrajectoryConversion::Run() {
  const bool bStartFirst = layout_.Start == EStart::kInputFile;
  bool bStartHeldAtoms = false;
  if (bStartFirst) {
    ReadStartingStructure(*crystal_);
    bStartHeldAtoms = crystal_->nAtomAsymSites > 0;
    if (layout_.bStartIsInitial) initial_->Copy(*crystal_);
  }
  CXSFTrajectory frames(settings_.Plan, CountSteps(), layout_.bLastStepReplaces);
  if (bStartFirst) PrintPlan(frames);

  if (!OpenSteps()) return -1;
  // Without bHeaderAlways the header (ANIMSTEPS nOutput) comes with the
  // first step: a run without steps leaves the file empty.
  if (!frames.Create(layout_.XSF, layout_.bHeaderAlways)) {
    if (!frames.Refused()) ReportCanNotWrite(layout_.XSF);
    return -1;
  }
  if (!bStartFirst) {
    ReadStartingStructure(*crystal_);
    bStartHeldAtoms = crystal_->nAtomAsymSites > 0;
    initial_->Copy(*crystal_);
    PrintPlan(frames);
  }

  // A run of no atoms at all, neither at its start nor in a step (garbage,
  // another program's file), writes nothing: the trajectory is dropped, and
  // the earlier one stays.
  if (!ConvertSteps(frames) && !bStartHeldAtoms && crystal_->nAtomAsymSites == 0) {
    std::printf("\n");
    HoldsAtoms(*crystal_, layout_.CrystalName);
    return 0;
  }
  frames.Close();
  WriteResults();
  return 1;
}

bool CTrajectoryConversion::ConvertSteps(CXSFTrajectory& frames) {
  const bool bInitialIsFirstStep = layout_.Start == EStart::kInputFile && !layout_.bStartIsInitial;
  bool bAnyAtoms = false;
  for (int step = 0; step < frames.nStep; ++step) {
    if (ReadNextStep(*crystal_) <= 0) break;
    if (step == 0 && bInitialIsFirstStep) initial_->Copy(*crystal_);
    frames.WriteStep(step, *crystal_);
    bAnyAtoms = bAnyAtoms || crystal_->nAtomSites > 0;
  }
  return bAnyAtoms;
}

void CTrajectoryConversion::PrintPlan(const CXSFTrajectory& frames) { frames.PrintPlan(*crystal_); }

void CTrajectoryConversion::WriteResults() {
  std::printf("\n");
  WriteInitialAndFinalCIF();
  WriteMoreFiles();
  if (settings_.RDF.bCalculate) {
    // The final structure's tables are named as final ones, so that they do
    // not replace those of the initial structure.
    CalculateRDFOf("initial", *initial_, 0);
    CalculateRDFOf("final", *crystal_, 1);
  }
}

void CTrajectoryConversion::WriteInitialAndFinalCIF() {
  if (!Skipped("initial", *initial_)) WriteStructureCIF("initial", *initial_, layout_.CIFStem + "-initial.cif");
  if (!Skipped("final", *crystal_)) WriteStructureCIF("final", *crystal_, layout_.CIFStem + "-final.cif");
}

void CTrajectoryConversion::CalculateRDFOf(const char* which, const CCrystal& crystal, int mode) {
  std::printf("Calculate RDF for %s structure.\n", which);
  if (!Skipped(which, crystal)) CalculateRDF(crystal, settings_.RDF, mode);
}

bool CTrajectoryConversion::Skipped(const char* which, const CCrystal& crystal) const {
  if (!layout_.bSkipEmptyStructures || crystal.nAtomAsymSites != 0) return false;
  std::printf("  **No data for %s structure.\n", which);
  std::printf("    Skipped.\n");
  return true;
}

}  // namespace quorvel
