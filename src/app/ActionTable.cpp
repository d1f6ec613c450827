#include "app/ActionTable.h"

#include "analysis/Distances.h"
#include "analysis/RDF.h"
#include "analysis/StructureReport.h"
#include "app/Options.h"
#include "programs/Conversion.h"
#include "programs/md/Plimo.h"
#include "programs/other/CASTEP.h"
#include "programs/other/DVXa.h"
#include "programs/other/GULP.h"
#include "programs/other/PWScf.h"
#include "programs/other/TranSIESTA.h"
#include "programs/vasp/VASPActions.h"
#include "programs/wien2k/WIENDOS.h"
#include "programs/wien2k/WIENStruct.h"

namespace quorvel {

namespace {

// The handlers: each reads the options its action uses, once, and passes
// them down as values. Nothing below this file reads the option table.

CRDFSettings RDFSettings() {
  CRDFSettings rdf;
  rdf.bCalculate = GetOptionInt("CalcRDF") != 0;
  rdf.MaximumDistance = GetOptionDouble("MaximumDistance");
  rdf.nMesh = GetOptionInt("nMesh");
  rdf.CoordinationNumber = GetOptionInt("CoordinationNumber");
  return rdf;
}

CConversionSettings ConversionSettings(const CActionArguments& arguments) {
  CConversionSettings settings;
  settings.Databases = arguments.Databases;
  settings.Plan.nLastStep = GetOptionInt("nLastStep");
  settings.Plan.nOutputInterval = GetOptionInt("nOutputInterval");
  settings.RDF = RDFSettings();
  return settings;
}

int ConvF09p(const CActionArguments& arguments) {
  CPlimo::CAveragingRange range;
  range.iAvrFirstStep = GetOptionInt("iAvrFirstStep");
  range.iAvrLastStep = GetOptionInt("iAvrLastStep");
  return CPlimo::ConvF09p(arguments.Input, ConversionSettings(arguments), range);
}

int UpdateFILE05(const CActionArguments& arguments) {
  CPlimo::CUpdateValues values;
  values.nCycle = GetOptionInt("nCycle");
  values.NextTemperature = GetOptionDouble("NextTemperature");
  values.TemperatureRate = GetOptionDouble("TemperatureRate");
  values.ControlStep = GetOptionInt("ControlStep");
  values.NextPressure = GetOptionDouble("NextPressure");
  return CPlimo::UpdateFILE05(arguments.Input, GetOptionInt("sn"), values);
}

int AddHistoryCSV(const CActionArguments& arguments) {
  return CPlimo::AddHistoryCSV(arguments.Input, arguments.Output, GetOptionInt("nOutputInterval"));
}

int PWScf(const CActionArguments& arguments) {
  return PWScfConvOutput(arguments.Input, ConversionSettings(arguments));
}

int DVXa(const CActionArguments& arguments) {
  return DVXaF01Conv(arguments.Input, OptionTable.GetOptionValue("Spin"), GetOptionInt("Madelung"));
}

int VASPContcar(const CActionArguments& arguments) {
  return VASPConvCONTCAR(arguments.Input, ConversionSettings(arguments));
}

int VASPXsf(const CActionArguments& arguments) { return VASPMakeXSF(arguments.Input, ConversionSettings(arguments)); }

int TranSIESTALog(const CActionArguments& arguments) {
  return TranSIESTAConvOutput(arguments.Input, ConversionSettings(arguments));
}

int CASTEPRun(const CActionArguments& arguments) {
  return CASTEPConvOutput(arguments.Input, ConversionSettings(arguments));
}

int WIENDOS(const CActionArguments& arguments) { return WIENConvDOS(arguments.Input); }

int WIENStruct(const CActionArguments& arguments) {
  return WIENMakeCIFFromStruct(arguments.Input, arguments.Databases);
}

int GULP(const CActionArguments& arguments) { return GULPMakeCIFFromInput(arguments.Input, arguments.Databases); }

int Report(const CActionArguments& arguments) {
  CReportSwitches switches;
  switches.bShowAsymmetricUnit = GetOptionInt("ShowAsymmetricUnit") != 0;
  switches.bShowAllAtoms = GetOptionInt("ShowAllAtoms") != 0;
  return ShowCIFInf(arguments.Input, arguments.Databases, switches);
}

int RDF(const CActionArguments& arguments) { return CalRDF(arguments.Input, arguments.Databases, RDFSettings()); }

int Distances(const CActionArguments& arguments) {
  CDistanceWindow window;
  window.MinimumDistance = GetOptionDouble("MinimumDistance");
  window.MaximumDistance = GetOptionDouble("MaximumDistance");
  return CalDistance(arguments.Input, arguments.Output, arguments.Databases, window);
}

}  // namespace

// Adding an action is adding a row here and its handler above.
const ActionEntry kActions[] = {
    {"ConvF09p", "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", false, ConvF09p},
    {"UpdateFILE05", "Update Input .f05 file with sn=%d.\n", true, UpdateFILE05},
    {"AddHistoryCSV", "Make History CSV File from Input .f06 file.\n", false, AddHistoryCSV},
    {"PWScfConvOutput", "Make XSF file from PWScf Output.\n", false, PWScf},
    {"DVXaF01Conv", "Convert F01 file.\n", false, DVXa},
    {"VASPConvCONTCAR", "Convert VASP INCAR/CONTCAR files.\n", false, VASPContcar},
    {"VASPMakeXSF", "Make XSF file from VASP CONTCAR files.\n", false, VASPXsf},
    {"TranSIESTAConvOutput", "Make XSF file from TranSIESTA-C Output.\n", false, TranSIESTALog},
    {"CASTEPConvOutput", "Make CAR/XSF file from CASTEP .castep file.\n", false, CASTEPRun},
    {"WIENConvDOS", "Make DOS.CSV file from WIEN2k .int/.dos* files.\n", false, WIENDOS},
    {"WIENMakeCIFFromStruct", "Make CIF file from WIEN2k .struct file.\n", false, WIENStruct},
    {"GULPMakeCIFFromInput", "Make CIF file from GULP .inp file.\n", false, GULP},
    {"ShowCIFInf", "Show CIF Information.\n", false, Report},
    {"CalRDF", "Calculate Radial Distribution Functions.\n", false, RDF},
    {"CalDistance", "Calculate Distance.\n", false, Distances},
};
const int kActionCount = static_cast<int>(sizeof kActions / sizeof kActions[0]);

}  // namespace quorvel
