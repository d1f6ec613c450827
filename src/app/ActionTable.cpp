#include "app/ActionTable.h"

#include "analysis/Distances.h"
#include "analysis/RDF.h"
#include "analysis/StructureReport.h"
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

// Adding an action is adding a row here and its handler in its subsystem.
const ActionEntry kActions[] = {
    {"ConvF09p", "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", false, &CPlimo::ConvF09p},
    {"UpdateFILE05", "Update Input .f05 file with sn=%d.\n", true, &CPlimo::UpdateFILE05},
    {"AddHistoryCSV", "Make History CSV File from Input .f06 file.\n", false, &CPlimo::AddHistoryCSV},
    {"PWScfConvOutput", "Make XSF file from PWScf Output.\n", false, PWScfConvOutput},
    {"DVXaF01Conv", "Convert F01 file.\n", false, DVXaF01Conv},
    {"VASPConvCONTCAR", "Convert VASP INCAR/CONTCAR files.\n", false, VASPConvCONTCAR},
    {"VASPMakeXSF", "Make XSF file from VASP CONTCAR files.\n", false, VASPMakeXSF},
    {"TranSIESTAConvOutput", "Make XSF file from TranSIESTA-C Output.\n", false, TranSIESTAConvOutput},
    {"CASTEPConvOutput", "Make CAR/XSF file from CASTEP .castep file.\n", false, CASTEPConvOutput},
    {"WIENConvDOS", "Make DOS.CSV file from WIEN2k .int/.dos* files.\n", false, WIENConvDOS},
    {"WIENMakeCIFFromStruct", "Make CIF file from WIEN2k .struct file.\n", false, WIENMakeCIFFromStruct},
    {"GULPMakeCIFFromInput", "Make CIF file from GULP .inp file.\n", false, GULPMakeCIFFromInput},
    {"ShowCIFInf", "Show CIF Information.\n", false, ShowCIFInf},
    {"CalRDF", "Calculate Radial Distribution Functions.\n", false, CalRDF},
    {"CalDistance", "Calculate Distance.\n", false, CalDistance},
};
const int kActionCount = static_cast<int>(sizeof kActions / sizeof kActions[0]);

}  // namespace quorvel
