// The run that every trajectory converter shares: the plan of frames, the XSF
// trajectory written step by step, the CIF files of the initial and final
// structures and, on request, their radial distribution functions. A
// converter says how its files give the starting structure and the steps,
// and adds what it writes besides.
#pragma once

#include <memory>
#include <string>

#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;

// "Make CIFFile of <which> structure [<path>]." and the CIF file.
void WriteStructureCIF(const char* which, CCrystal& crystal, const std::string& path);

class CTrajectoryConversion {
 public:
  // Where the starting structure comes from; it decides when the structure
  // is read and which structure is the initial one.
  enum class EStart {
    // An input file of its own: it is read (and printed) before the steps
    // are counted, and the initial structure is the first step.
    kInputFile,
    // The head of the log: it is read once the XSF file is created, and it
    // is the initial structure.
    kHeadOfLog,
  };

  // What sets one converter's run apart from the others'.
  struct CLayout {
    EStart Start = EStart::kInputFile;
    std::string CrystalName;  // the name the structures carry
    std::string XSF;          // the trajectory
    std::string CIFStem;      // <stem>-initial.cif and <stem>-final.cif
    // A positive nLastStep replaces the count of steps outright.
    bool bLastStepReplaces = false;
    // The XSF header is written even when the run has no step.
    bool bHeaderAlways = false;
    // A structure without atoms gets neither CIF file nor RDF, but a message.
    bool bSkipEmptyStructures = false;
    // With kInputFile: the starting structure, not the first step, is the
    // initial structure.
    bool bStartIsInitial = false;

    // The layout of an output conversion named by its output file: the XSF
    // file is that name with the extension xsf, the CIF files take the name
    // up to its last dot.
    static CLayout ForOutput(EStart start, const std::string& output, const std::string& crystalName);
  };

  CTrajectoryConversion(const CConversionSettings& settings, CLayout layout);
  virtual ~CTrajectoryConversion();
  CTrajectoryConversion(const CTrajectoryConversion&) = delete;
  CTrajectoryConversion& operator=(const CTrajectoryConversion&) = delete;

  // The whole conversion. 1; -1 when the steps cannot be read (see
  // OpenSteps) or the XSF file cannot be created; 0, with nothing written,
  // when neither the starting structure nor a step holds an atom.
  int Run();

 protected:
  // Reads (and prints) the starting structure into the crystal.
  virtual void ReadStartingStructure(CCrystal& crystal) = 0;
  // The number of steps the files hold.
  virtual int CountSteps() = 0;
  // Makes the steps ready to be read, just before the XSF file is created;
  // false, after the converter's message, when the conversion cannot go on.
  virtual bool OpenSteps() = 0;
  // Reads the next step into the crystal: 1, or 0 when there is none left
  // (the crystal then keeps the last step read).
  virtual int ReadNextStep(CCrystal& crystal) = 0;

  // Prints the counts of the starting structure and the plan.
  virtual void PrintPlan(const CXSFTrajectory& frames);
  // After the steps: an empty line, the initial and final CIF files, the
  // converter's own files and, on request, the RDFs of the initial (named as
  // an initial one) and the final structure (named as a final one).
  virtual void WriteResults();
  // The converter's own files, written after the CIF files.
  virtual void WriteMoreFiles() {}

  // The CIF files <stem>-initial.cif and <stem>-final.cif.
  void WriteInitialAndFinalCIF();
  // "Calculate RDF for <which> structure." and the RDF tables (mode as
  // CalculateRDF takes it).
  void CalculateRDFOf(const char* which, const CCrystal& crystal, int mode);

  const CConversionSettings settings_;
  const CLayout layout_;
  // The structure of the step last read: the starting structure, and at the
  // end the final one.
  std::unique_ptr<CCrystal> crystal_;
  std::unique_ptr<CCrystal> initial_;

 private:
  // With bSkipEmptyStructures, says that a structure without atoms is
  // skipped; true then.
  bool Skipped(const char* which, const CCrystal& crystal) const;
  // The steps of the plan as frames; true when one of them held atoms.
  bool ConvertSteps(CXSFTrajectory& frames);
};

}  // namespace quorvel
