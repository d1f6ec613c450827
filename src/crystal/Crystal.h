// The in-memory model of a periodic structure shared by every converter,
// writer and analysis. Lengths in nm, angles in degrees, positions fractional,
// volume in nm3, density in g/cm3.
#pragma once

#include <string>
#include <vector>

#include "crystal/AtomType.h"
#include "crystal/DatabasePaths.h"
#include "crystal/SpaceGroup.h"
#include "numerics/CellInverse.h"
#include "numerics/FrameTurn.h"
#include "numerics/MyVector.h"

namespace quorvel {

// One site of the asymmetric unit or of the unit cell. The site refers to its
// atom type by index into its crystal's type table (the crystal resolves it
// with TypeOf), so copies of a crystal never point into another crystal.
class CAtomSite {
 public:
  int iAtomType = -1;   // -1: no type
  int iAsymSite = -1;   // own index (asymmetric unit) or generating site (unit cell)
  std::string Label;
  double x = 0, y = 0, z = 0;
  double Occupancy = 0;
  double Force[3] = {0, 0, 0};
};

class CCrystal {
 public:
  static constexpr int kDefaultAtomTypes = 20;
  static constexpr int kDefaultAtomAsymSites = 20;
  static constexpr int kDefaultAtomSites = 4096;
  // Capacities that readers of formats listing every atom use.
  static constexpr int kConverterAtomTypes = 100;
  static constexpr int kConverterAtomSites = 10000;

  CCrystal();
  // Member by member. Sites refer to their types by index, so the sites of a
  // copy refer to the copy's own types.
  CCrystal(const CCrystal&) = default;
  CCrystal& operator=(const CCrystal&) = default;

  // Everything but the database paths anew: P1, a unit cube, empty tables of
  // the default capacities. Returns 1.
  int Initialize();

  int AllocateAtomTypes(int n);
  int AllocateAtomAsymSites(int n);
  int AllocateAtomSites(int n);

  void SetLatticeParameters(double a, double b, double c, double alpha, double beta, double gamma);
  int CalculateLatticeVectors();
  void SetLatticeVectors(double ax, double ay, double az, double bx, double by, double bz, double cx, double cy,
                         double cz);
  int CalculateLatticeParameters();

  int AddAtomType(const std::string& name, double charge, bool bUnique);
  int FindAtomType(const std::string& name) const;

  int AddAtomAsymSite(const std::string& label, const std::string& typeName, double occupancy, double x, double y,
                      double z, double fx, double fy, double fz);
  // The same with the type already found (or -1: the type is looked up by
  // name), for readers that resolve types themselves: AddAtomAsymSite adds
  // the type, and says so for every site while the type table is full.
  int AddAtomAsymSiteOfType(const std::string& label, const std::string& typeName, int iNamedType, double occupancy,
                            double x, double y, double z, double fx, double fy, double fz);
  int AddAtomAsymSiteRecord(const CAtomSite& site);
  int AddAtomSite(const std::string& label, int iAtomType, int iAsymSite, double occupancy, double x, double y,
                  double z, double fx, double fy, double fz);
  int CopyAsymSitesToSites();
  // Says once, for each full site table, how many sites it refused since
  // the last report (CopyAsymSitesToSites and the expansions report).
  void ReportRefusedSites();
  int ExpandAsymSites();
  // The same, but images of one type within tolerance of a site along every
  // axis (fractional, modulo 1) are that site, and a full table says once
  // how many images it left out.
  int ExpandAsymSitesWithin(double tolerance);
  int FindAtomSite(int iAtomType, double x, double y, double z) const;


  // Inline: the neighbour searches call it for every pair they test.
  double GetDistance2(double x1, double y1, double z1, double x2, double y2, double z2) const {
    const double(*G)[3] = MetricTensor;
    double dx = x2 - x1, dy = y2 - y1, dz = z2 - z1;
    return G[0][0] * dx * dx + G[1][1] * dy * dy + G[2][2] * dz * dz +
           2.0 * (G[0][1] * dx * dy + G[0][2] * dx * dz + G[1][2] * dy * dz);
  }
  double CalculateDensity();
  // Fractional position of a Cartesian one in nm. Returns 1, or 0 with the
  // singular-cell message (the outputs untouched) when the lattice vectors
  // cannot be inverted.
  int CartesianToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const;
  // Cartesian position in nm of a fractional position: x*a1 + y*a2 + z*a3.
  void FractionalToCartesian(double x, double y, double z, double& cx, double& cy, double& cz) const;
  void Copy(const CCrystal& source) { *this = source; }
  // The turn of vectors (forces) given in the Cartesian frame of a program
  // that printed this cell as the rows `printed` (nm) into the frame of the
  // lattice vectors. The identity when printed cannot be inverted.
  CFrameTurn TurnFrom(const double printed[3][3]) const;

  // The type of a site, or null when it has none.
  const CAtomType* TypeOf(const CAtomSite& site) const;
  // The type's Name, else its Label, else the site's own Label.
  std::string GetAtomTypeName(const CAtomSite& site) const;

  std::string Name;
  double Pressure = 0;
  double Temperature = 0;
  double Density = 0;
  std::string ChemicalName = "None";
  double Volume = 0;
  double a = 0, b = 0, c = 0;
  double alpha = 0, beta = 0, gamma = 0;
  // Rows a, b, c in nm. Set only through SetLatticeVectors or
  // CalculateLatticeVectors, which keep their inverse.
  CMyVector LatticeVector[3];
  double MetricTensor[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  CSpaceGroup SpaceGroup;
  int nMaxAtomTypes = 0, nMaxAtomAsymSites = 0, nMaxAtomSites = 0;
  int nAtomTypes = 0;
  std::vector<CAtomType> AtomTypes;
  CMyIntVector nAtomsInFormula;
  int nAtomAsymSites = 0;
  std::vector<CAtomSite> AtomAsymSites;
  int nAtomSites = 0;
  std::vector<CAtomSite> AtomSites;
  CDatabasePaths Databases;
  double SameSiteTolerance = 1e-5;
  std::string FormulaSum;

 private:
  // The running number of an unlabelled site counts the earlier sites of its
  // name. Readers add a step's sites one after another, so the counts per
  // type of the sites already counted are kept and only the sites added since
  // are counted. The counts belong to one table: a new allocation, a site
  // added by record or a table cut back (a reader's new step) starts them
  // anew; so does a table whose last counted site has changed its type.
  // Readers fill the table only through AddAtomAsymSite(OfType) and
  // AddAtomAsymSiteRecord.
  struct CSiteCounts {
    const CAtomSite* sites = nullptr;  // the table counted
    int nCounted = 0;                  // its first nCounted sites
    int lastType = -1;                 // the type index of site nCounted - 1
    bool bUntyped = false;             // a counted site has no type: go by labels
    std::vector<int> perType;          // sites counted per type index
  };
  // The counts of a crystal restart in its copies, whose tables are their own.
  struct CSiteTally {
    CSiteCounts counts;
    CSiteTally() = default;
    CSiteTally(const CSiteTally&) {}
    CSiteTally& operator=(const CSiteTally&) {
      counts = CSiteCounts();
      return *this;
    }
  };
  void TallyAsymSites();
  int CountAsymSitesNamed(const std::string& name) const;

  CSiteTally tally_;
  // Sites refused by the full tables, and the count last reported of each.
  struct CRefusedSites {
    struct CTable {
      long long nRefused = 0, nReported = 0;
    };
    CTable asym, cell;
  };
  CRefusedSites refused_;
  // The inverse of the lattice vectors, set wherever they are.
  CCellInverse cellInverse_;
};

}  // namespace quorvel
