#include "crystal/Crystal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "text/TextUtil.h"
#include "numerics/Constants.h"

namespace quorvel {

namespace {

// Avogadro's number as the density has always been computed with.
constexpr double kAvogadro = 6.02204e23;
// nm3 to cm3.
constexpr double kNm3ToCm3 = 1e-21;

// CMyVector's assignment insists on equal lengths; a crystal copy must take
// whatever length the source has (0 for an unused operation slot).
template <typename Vector>
void AssignVector(Vector& to, const Vector& from) {
  if (from.Size() < 1) {
    to.Free();
    return;
  }
  to.SetRange(from.Base(), from.Base() + from.Size() - 1);
  to.Copy(from);
}

// The space group's implicit assignment would stop the program on the first
// operation slot whose vector length differs between the two groups, so the
// copy is made field by field with the lengths of the source.
void CopySpaceGroup(CSpaceGroup& to, const CSpaceGroup& from) {
  to.Name = from.Name;
  to.Number = from.Number;
  to.SecondKey = from.SecondKey;
  to.nOperations = from.nOperations;
  to.bInversion = from.bInversion;
  to.nCentring = from.nCentring;
  for (int j = 0; j < CSpaceGroup::kMaxCentring; ++j) AssignVector(to.Centring[j], from.Centring[j]);
  for (int i = 0; i < CSpaceGroup::kMaxOperations; ++i) {
    to.OperationText[i] = from.OperationText[i];
    AssignVector(to.OperationTranslation[i], from.OperationTranslation[i]);
    to.OperationRotation[i] = from.OperationRotation[i];  // CMyMatrix re-sizes itself
  }
}

// The type part of a name before any "{b}" suffix.
std::string CutAtBrace(const std::string& name) { return name.substr(0, name.find('{')); }

bool AllFinite(double x, double y, double z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

// The one test of "the same site": unit-cell site k has the given type index
// and lies strictly closer than the tolerance (metric distance, no images).
bool IsSameSite(const CCrystal& crystal, int k, int iAtomType, double x, double y, double z) {
  const CAtomSite& s = crystal.AtomSites[k];
  if (s.iAtomType != iAtomType) return false;
  return std::sqrt(crystal.GetDistance2(s.x, s.y, s.z, x, y, z)) < crystal.SameSiteTolerance;
}

// The number of asymmetric sites whose GetAtomTypeName equals name (ignoring
// case). The names are compared once per atom type, not once per site: a
// reader adding ten thousand atoms one by one would otherwise compare fifty
// million names for every step of a trajectory.
int CountAllAsymSitesNamed(const CCrystal& crystal, const std::string& name) {
  // Per type: 1 when its name (its Label when the Name is empty) matches, 0
  // when not, -1 when it has neither, so that its sites go by their own
  // labels.
  const int nTypes = std::max(0, std::min(crystal.nAtomTypes, static_cast<int>(crystal.AtomTypes.size())));
  std::vector<signed char> match(static_cast<size_t>(nTypes));
  for (int t = 0; t < nTypes; ++t) {
    const std::string& typeName = crystal.AtomTypes[t].NameOrLabel();
    match[t] = typeName.empty() ? -1 : (EqualNoCase(typeName, name) ? 1 : 0);
  }
  int count = 0;
  const CAtomSite* const sites = crystal.AtomAsymSites.data();
  const int nSites = std::max(0, std::min(crystal.nAtomAsymSites, static_cast<int>(crystal.AtomAsymSites.size())));
  for (int i = 0; i < nSites; ++i) {
    const unsigned t = static_cast<unsigned>(sites[i].iAtomType);  // a negative index wraps beyond nTypes
    const int m = t < static_cast<unsigned>(nTypes) ? match[t] : -1;
    if (m >= 0)
      count += m;
    else if (EqualNoCase(sites[i].Label, name))
      ++count;
  }
  return count;
}

}  // namespace

CCrystal::CCrystal() {
  for (CMyVector& v : LatticeVector) v.SetRange(0, 2);
  Initialize();
}

CCrystal::CCrystal(const CCrystal& other) : CCrystal() { Copy(other); }

CCrystal& CCrystal::operator=(const CCrystal& other) {
  Copy(other);
  return *this;
}

// The database paths are left alone: readers initialize a crystal after
// the action has given it the paths.
int CCrystal::Initialize() {
  SameSiteTolerance = 1e-5;
  Name.clear();
  ChemicalName = "None";
  Pressure = 0;
  Temperature = 0;
  Density = 0;
  Volume = 0;
  a = b = c = 0;
  alpha = beta = gamma = 0;
  for (int i = 0; i < 3; ++i) {
    if (LatticeVector[i].Size() != 3) LatticeVector[i].SetRange(0, 2);
    for (int j = 0; j < 3; ++j) {
      LatticeVector[i][j] = (i == j) ? 1.0 : 0.0;
      MetricTensor[i][j] = 0;
    }
  }
  FormulaSum.clear();
  SpaceGroup.Initialize();
  AllocateAtomTypes(kDefaultAtomTypes);
  AllocateAtomAsymSites(kDefaultAtomAsymSites);
  AllocateAtomSites(kDefaultAtomSites);
  return 1;
}

// A negative capacity is taken as 0; a capacity that cannot be allocated
// leaves an empty table (capacity 0) rather than ending the run. Site
// tables are reserved at their capacity and filled as sites arrive (see
// NextSlot): a converter's table of ten thousand sites costs memory, and time,
// only for the atoms a file has. Type tables hold their records from the
// start.
template <typename Record>
static int AllocateTable(std::vector<Record>& table, int n, int& nMax, int& nUsed, bool bFilled) {
  if (n < 0) n = 0;
  table.clear();
  table.shrink_to_fit();
  nMax = 0;
  nUsed = 0;
  try {
    if (bFilled)
      table.resize(static_cast<size_t>(n));
    else
      table.reserve(static_cast<size_t>(n));
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
    table.clear();
    return 0;
  }
  nMax = n;
  return n;
}

// The position, occupancy and force of a site being added.
static void Place(CAtomSite& site, double occupancy, double x, double y, double z, double fx, double fy, double fz) {
  site.x = x;
  site.y = y;
  site.z = z;
  site.Occupancy = occupancy;
  site.Force[0] = fx;
  site.Force[1] = fy;
  site.Force[2] = fz;
}

// The next record of a site table holding nUsed sites, the table growing to
// it within its reserved capacity (records already in the table do not
// move); null, with the message naming the table's counter, when the table
// is full.
static CAtomSite* NextSlot(std::vector<CAtomSite>& table, int nUsed, int nMax, const char* counter) {
  if (nUsed >= nMax) {
    std::printf("%s [%d] exceeds maximum [%d].\n", counter, nUsed, nMax);
    return nullptr;
  }
  if (static_cast<size_t>(nUsed) >= table.size()) table.resize(static_cast<size_t>(nUsed) + 1);
  return &table[static_cast<size_t>(nUsed)];
}

int CCrystal::AllocateAtomTypes(int n) {
  nAtomsInFormula.Free();
  n = AllocateTable(AtomTypes, n, nMaxAtomTypes, nAtomTypes, true);
  if (n > 0) {
    if (nAtomsInFormula.SetRange(0, n - 1) < 1) {
      AtomTypes.clear();
      nMaxAtomTypes = 0;
      return 0;
    }
    for (int i = 0; i < n; ++i) nAtomsInFormula[i] = 0;
  }
  return n;
}

int CCrystal::AllocateAtomAsymSites(int n) {
  tally_ = CSiteTally();
  return AllocateTable(AtomAsymSites, n, nMaxAtomAsymSites, nAtomAsymSites, false);
}

int CCrystal::AllocateAtomSites(int n) { return AllocateTable(AtomSites, n, nMaxAtomSites, nAtomSites, false); }

void CCrystal::SetLatticeParameters(double a_, double b_, double c_, double alpha_, double beta_, double gamma_) {
  a = a_;
  b = b_;
  c = c_;
  alpha = alpha_;
  beta = beta_;
  gamma = gamma_;
}

// Standard orientation: a along x, b in the x-y plane, c with a non-negative
// z component.
int CCrystal::CalculateLatticeVectors() {
  double ca = std::cos(alpha * kDegToRad);
  double cb = std::cos(beta * kDegToRad);
  double cg = std::cos(gamma * kDegToRad);
  double sg = std::sin(gamma * kDegToRad);
  double t = (ca - cb * cg) / sg;
  // u = sin(beta) * sqrt(1 - (t/sin(beta))^2), written without the division
  // so that beta of 0 or 180 degrees does not divide by zero; angles that cannot close a cell make
  // the radicand negative, and the third vector then lies flat (u = 0).
  double u2 = 1.0 - cb * cb - t * t;
  double u = u2 > 0 ? std::sqrt(u2) : 0.0;

  LatticeVector[0][0] = a;
  LatticeVector[0][1] = 0;
  LatticeVector[0][2] = 0;
  LatticeVector[1][0] = b * cg;
  LatticeVector[1][1] = b * sg;
  LatticeVector[1][2] = 0;
  LatticeVector[2][0] = c * cb;
  LatticeVector[2][1] = c * t;
  LatticeVector[2][2] = c * u;

  const double p[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) MetricTensor[i][i] = p[i] * p[i];
  MetricTensor[0][1] = MetricTensor[1][0] = a * b * cg;
  MetricTensor[0][2] = MetricTensor[2][0] = a * c * cb;
  MetricTensor[1][2] = MetricTensor[2][1] = b * c * ca;

  Volume = a * b * c * std::sqrt(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg);
  return 1;
}

void CCrystal::SetLatticeVectors(double ax, double ay, double az, double bx, double by, double bz, double cx,
                                 double cy, double cz) {
  const double v[3][3] = {{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) LatticeVector[i][j] = v[i][j];
}

int CCrystal::CalculateLatticeParameters() {
  double len[3];
  for (int i = 0; i < 3; ++i) {
    const CMyVector& v = LatticeVector[i];
    len[i] = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  }
  auto angle = [this, &len](int i, int j) {
    const CMyVector& u = LatticeVector[i];
    const CMyVector& v = LatticeVector[j];
    double cosine = (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) / (len[i] * len[j]);
    // Rounding can push the cosine of parallel vectors just past 1.
    cosine = std::max(-1.0, std::min(1.0, cosine));
    return std::acos(cosine) * kRadToDeg;
  };
  a = len[0];
  b = len[1];
  c = len[2];
  alpha = angle(1, 2);
  beta = angle(0, 2);
  gamma = angle(0, 1);
  return 1;
}

// Returns the index of the new type; the index of the existing type when a
// unique name is already present; -1 when the table is full.
int CCrystal::AddAtomType(const std::string& name, double charge, bool bUnique) {
  if (nAtomTypes >= nMaxAtomTypes) {
    std::printf("nAtomTypes [%d] exceeds maximum [%d].\n", nAtomTypes, nMaxAtomTypes);
    return -1;
  }
  int nSameAtom = 0;
  if (bUnique) {
    int existing = FindAtomType(name);
    if (existing >= 0) return existing;
  } else {
    for (int i = 0; i < nAtomTypes; ++i)
      if (EqualNoCase(CutAtBrace(AtomTypes[i].Name), name)) ++nSameAtom;
  }
  std::printf("nSameAtom=%d\n", nSameAtom);

  std::string newName = name;
  if (nSameAtom > 0) {
    newName += '{';
    newName += static_cast<char>('a' + nSameAtom);
    newName += '}';
    std::printf("   [%s]\n", newName.c_str());
  }

  CAtomType& type = AtomTypes[nAtomTypes];
  type = CAtomType();
  type.Name = newName;
  type.ReadAtomConfiguration(Databases.NONRELPath);
  type.ReadAtomicWeight(Databases.ASFDCPath);
  // The display properties (radii, colours) are a viewer's: a crystal is
  // never given a properties file, so every type takes their defaults.
  type.ReadAtomProperties(name, std::string());
  type.Charge = charge;
  return nAtomTypes++;
}

// A type that is already present is not an addition, so it is not refused
// with the full-table message. Returns the index of the type, or -1.
int CCrystal::AddAtomTypeRecord(const CAtomType& type) {
  int existing = FindAtomType(type.Name);
  if (existing >= 0) return existing;
  if (nAtomTypes >= nMaxAtomTypes) {
    std::printf("nAtomTypes [%d] exceeds maximum [%d].\n", nAtomTypes, nMaxAtomTypes);
    return -1;
  }
  AtomTypes[nAtomTypes] = type;
  return nAtomTypes++;
}

int CCrystal::FindAtomType(const std::string& name) const {
  for (int i = 0; i < nAtomTypes; ++i)
    if (EqualNoCase(AtomTypes[i].Name, name)) return i;
  return -1;
}

// Brings the tally up to the sites in the table: every site is counted once
// however many are added, where counting the sites before each new one
// would compare N * N / 2 names for a reader's step of N atoms. Called for
// every site AddAtomAsymSite adds, with a label or without, so that a table
// cut back and filled again is seen.
void CCrystal::TallyAsymSites() {
  const int nSites = std::max(0, std::min(nAtomAsymSites, static_cast<int>(AtomAsymSites.size())));
  CSiteTally& tally = tally_;
  if (tally.sites != AtomAsymSites.data() || tally.nCounted > nSites ||
      (tally.nCounted > 0 && AtomAsymSites[tally.nCounted - 1].iAtomType != tally.lastType)) {
    tally = CSiteTally();
    tally.sites = AtomAsymSites.data();
  }
  for (; tally.nCounted < nSites; ++tally.nCounted) {
    const int type = AtomAsymSites[tally.nCounted].iAtomType;
    tally.lastType = type;
    if (type < 0 || type >= nAtomTypes) {
      tally.bUntyped = true;
      continue;
    }
    if (tally.perType.size() <= static_cast<size_t>(type)) tally.perType.resize(static_cast<size_t>(type) + 1, 0);
    ++tally.perType[static_cast<size_t>(type)];
  }
}

// The same count as CountAllAsymSitesNamed, from the tally.
int CCrystal::CountAsymSitesNamed(const std::string& name) const {
  const CSiteTally& tally = tally_;
  // Sites that go by their own labels, and types that are gone, are counted
  // the long way.
  if (tally.bUntyped || tally.perType.size() > static_cast<size_t>(nAtomTypes))
    return CountAllAsymSitesNamed(*this, name);
  int count = 0;
  for (size_t t = 0; t < tally.perType.size(); ++t) {
    if (tally.perType[t] == 0) continue;
    const std::string& typeName = AtomTypes[t].NameOrLabel();
    if (typeName.empty()) return CountAllAsymSitesNamed(*this, name);
    if (EqualNoCase(typeName, name)) count += tally.perType[t];
  }
  return count;
}

int CCrystal::AddAtomAsymSite(const std::string& label, const std::string& typeName, double occupancy, double x,
                              double y, double z, double fx, double fy, double fz) {
  const int iNamedType = AddAtomType(typeName, 0.0, true);

  // A full table refuses the site before a label is made for it: the label
  // would not be used, and counting the sites for every refused line of a
  // file with millions of atoms would take hours.
  CAtomSite* const slot = NextSlot(AtomAsymSites, nAtomAsymSites, nMaxAtomAsymSites, "nAtomAsymSites");
  if (!slot) return nAtomAsymSites;

  TallyAsymSites();
  const int runningNumber = label.empty() ? CountAsymSitesNamed(typeName) + 1 : 0;

  // Every field of the record is set here; the label is written into the
  // record's own string, which a reader's earlier steps have sized.
  CAtomSite& site = *slot;
  if (label.empty()) {
    char number[16];
    const char* end = std::to_chars(number, number + sizeof number, runningNumber).ptr;
    site.Label.assign(typeName);
    site.Label.append(number, static_cast<size_t>(end - number));
  } else {
    site.Label.assign(label);
  }
  // A named type is the one just found or added; a full type table refuses
  // before looking, so the name is looked up then. A site without a type
  // name takes the type its label names.
  site.iAtomType = !typeName.empty() && iNamedType >= 0 ? iNamedType
                                                        : FindAtomType(typeName.empty() ? site.Label : typeName);
  site.iAsymSite = nAtomAsymSites;
  Place(site, occupancy, x, y, z, fx, fy, fz);
  return ++nAtomAsymSites;
}

// Adds a prepared site to a site table, whose counter the message of a full
// table names. The site keeps its type index only while that index names a
// type of the crystal (of nTypes); otherwise it has no type.
static int AddSiteRecord(std::vector<CAtomSite>& table, int& nUsed, int nMax, const char* counter,
                         const CAtomSite& site, int nTypes) {
  CAtomSite* const to = NextSlot(table, nUsed, nMax, counter);
  if (!to) return nUsed;
  *to = site;
  if (to->iAtomType >= nTypes) to->iAtomType = -1;
  return ++nUsed;
}

int CCrystal::AddAtomAsymSiteRecord(const CAtomSite& site) {
  tally_ = CSiteTally();
  return AddSiteRecord(AtomAsymSites, nAtomAsymSites, nMaxAtomAsymSites, "nAtomAsymSites", site, nAtomTypes);
}

int CCrystal::AddAtomSiteRecord(const CAtomSite& site) {
  return AddSiteRecord(AtomSites, nAtomSites, nMaxAtomSites, "nAtomSites", site, nAtomTypes);
}

// Returns the new nAtomSites. A type index that names no type of this crystal
// (negative or beyond the types in use) gives a site without type.
int CCrystal::AddAtomSite(const std::string& label, int iAtomType, int iAsymSite, double occupancy, double x,
                          double y, double z, double fx, double fy, double fz) {
  CAtomSite* const slot = NextSlot(AtomSites, nAtomSites, nMaxAtomSites, "nAtomSites");
  if (!slot) return nAtomSites;
  CAtomSite& site = *slot;
  site.iAtomType = (iAtomType >= 0 && iAtomType < nAtomTypes) ? iAtomType : -1;
  site.iAsymSite = iAsymSite;
  site.Label = label;
  Place(site, occupancy, x, y, z, fx, fy, fz);
  return ++nAtomSites;
}

int CCrystal::CopyAsymSitesToSites() {
  nAtomSites = 0;
  for (int i = 0; i < nAtomAsymSites; ++i) {
    const CAtomSite& s = AtomAsymSites[i];
    AddAtomSite(s.Label, s.iAtomType, i, s.Occupancy, s.x, s.y, s.z, s.Force[0], s.Force[1], s.Force[2]);
  }
  return nAtomSites;
}

namespace {

// Finds, for the expansion, the same site as the literal scan of
// FindAtomSite, without visiting every site made so far. The cell [0,1)^3 is
// cut into bins wider (in fractional units) than the largest fractional
// offset a distance below the tolerance allows along that axis, so every
// site that can match lies in the bins within that offset of the query.
// The candidates are tested with the same distance test as the scan and the
// lowest matching index is returned, which is the site the scan would find.
// When the metric is not positive definite or badly conditioned, distances
// carry no such bound and every query falls back to the literal scan.
class CSiteGrid {
 public:
  explicit CSiteGrid(const CCrystal& crystal) : crystal_(crystal) {
    const double(*G)[3] = crystal.MetricTensor;
    double tol = crystal.SameSiteTolerance;
    // Positive definite: the three leading minors are positive.
    double m1 = G[0][0];
    double m2 = G[0][0] * G[1][1] - G[0][1] * G[1][0];
    double det = G[0][0] * (G[1][1] * G[2][2] - G[1][2] * G[2][1]) - G[0][1] * (G[1][0] * G[2][2] - G[1][2] * G[2][0]) +
                 G[0][2] * (G[1][0] * G[2][1] - G[1][1] * G[2][0]);
    if (!(m1 > 0 && m2 > 0 && det > 0) || !(tol > 0) || !std::isfinite(det) || !std::isfinite(tol)) return;
    // Diagonal of the inverse metric: the squared lengths of the reciprocal
    // vectors. A fractional offset along axis i is at most
    // distance * sqrt(Ginv[i][i]).
    double inv[3] = {(G[1][1] * G[2][2] - G[1][2] * G[2][1]) / det, (G[0][0] * G[2][2] - G[0][2] * G[2][0]) / det,
                     (G[0][0] * G[1][1] - G[0][1] * G[1][0]) / det};
    double trace = G[0][0] + G[1][1] + G[2][2];
    double traceInv = inv[0] + inv[1] + inv[2];
    // Rounding in the distance is harmless only for a reasonably shaped cell.
    if (!(inv[0] > 0 && inv[1] > 0 && inv[2] > 0) || !(trace * traceInv < 1e8)) return;
    // About as many bins as the unit cell can hold sites: more would only
    // cost memory to set up.
    int maxBins = 1;
    while ((maxBins + 1) * (maxBins + 1) * (maxBins + 1) <= std::max(crystal.nMaxAtomSites, 8) && maxBins < kMaxBins)
      ++maxBins;
    for (int i = 0; i < 3; ++i) {
      // A query looks at the bins within twice the bound of its position,
      // usually one, two where it lies near a bin's edge; bins four times the
      // bound wide keep that range within the neighbouring bins. Both leave
      // ample room for rounding.
      reach_[i] = 2.0 * tol * std::sqrt(inv[i]);
      double width = 4.0 * tol * std::sqrt(inv[i]);
      double n = std::floor(1.0 / width);
      bins_[i] = n >= maxBins ? maxBins : (n >= 1 ? static_cast<int>(n) : 1);
    }
    cells_.resize(static_cast<size_t>(bins_[0]) * bins_[1] * bins_[2]);
    usable_ = true;
  }

  int Find(int iAtomType, double x, double y, double z) const {
    if (!usable_) return crystal_.FindAtomSite(iAtomType, x, y, z);
    // A position that is not finite is at no finite distance from anything.
    if (!AllFinite(x, y, z)) return -1;
    int best = -1;
    const int x1 = Bin(0, x + reach_[0]), y1 = Bin(1, y + reach_[1]), z1 = Bin(2, z + reach_[2]);
    for (int ix = Bin(0, x - reach_[0]); ix <= x1; ++ix)
      for (int iy = Bin(1, y - reach_[1]); iy <= y1; ++iy)
        for (int iz = Bin(2, z - reach_[2]); iz <= z1; ++iz)
          for (int k : cells_[Index(ix, iy, iz)]) {
            if (best >= 0 && k >= best) break;  // each bin lists its sites in ascending order
            if (IsSameSite(crystal_, k, iAtomType, x, y, z)) best = k;
          }
    return best;
  }

  void Add(int k) {
    if (!usable_) return;
    const CAtomSite& s = crystal_.AtomSites[k];
    if (!AllFinite(s.x, s.y, s.z)) return;  // can never match
    cells_[Index(Bin(0, s.x), Bin(1, s.y), Bin(2, s.z))].push_back(k);
  }

 private:
  static constexpr int kMaxBins = 40;

  // Clamping keeps neighbouring positions in neighbouring bins.
  int Bin(int axis, double f) const {
    double v = std::floor(f * bins_[axis]);
    if (!(v > 0)) return 0;
    if (v >= bins_[axis] - 1) return bins_[axis] - 1;
    return static_cast<int>(v);
  }
  size_t Index(int ix, int iy, int iz) const {
    return (static_cast<size_t>(ix) * bins_[1] + static_cast<size_t>(iy)) * bins_[2] + static_cast<size_t>(iz);
  }

  const CCrystal& crystal_;
  bool usable_ = false;
  int bins_[3] = {1, 1, 1};
  double reach_[3] = {0, 0, 0};
  std::vector<std::vector<int>> cells_;
};

}  // namespace

// Operations, centring translations and inversion, outermost first, with the
// asymmetric sites innermost; the first image of a position wins. Operations
// that carry only their text (it could not be read as an operation) are
// skipped: they were reported when they were stored.
int CCrystal::ExpandAsymSites() {
  nAtomSites = 0;
  CSiteGrid grid(*this);
  int nOperations = std::min(std::max(SpaceGroup.nOperations, 0), static_cast<int>(CSpaceGroup::kMaxOperations));
  int nCentring = std::min(std::max(SpaceGroup.nCentring, 0), static_cast<int>(CSpaceGroup::kMaxCentring));
  int nInversion = SpaceGroup.bInversion > 0 ? 1 : 0;
  for (int i = 0; i < nOperations; ++i) {
    if (!SpaceGroup.HasNumericForm(i)) continue;
    for (int j = 0; j < nCentring; ++j) {
      if (SpaceGroup.Centring[j].Size() != 3) continue;
      for (int k = 0; k <= nInversion; ++k) {
        for (int s = 0; s < nAtomAsymSites; ++s) {
          const CAtomSite& site = AtomAsymSites[s];
          double x, y, z;
          SpaceGroup.ApplyOperation(i, j, k, site.x, site.y, site.z, x, y, z);
          if (grid.Find(site.iAtomType, x, y, z) >= 0) continue;
          int before = nAtomSites;
          AddAtomSite(site.Label, site.iAtomType, s, site.Occupancy, x, y, z, 0, 0, 0);
          if (nAtomSites > before) grid.Add(before);
        }
      }
    }
  }
  CalculateDensity();
  return nAtomSites;
}

int CCrystal::FindAtomSite(int iAtomType, double x, double y, double z) const {
  for (int k = 0; k < nAtomSites; ++k)
    if (IsSameSite(*this, k, iAtomType, x, y, z)) return k;
  return -1;
}

// Every site counts with its own occupancy; a site without a type adds nothing.
double CCrystal::CalculateDensity() {
  double mass = 0;
  for (int k = 0; k < nAtomSites; ++k) {
    const CAtomType* type = TypeOf(AtomSites[k]);
    if (type) mass += type->AtomicWeight * AtomSites[k].Occupancy;
  }
  Density = mass / kAvogadro / (Volume * kNm3ToCm3);
  return Density;
}

int CCrystal::CartesianToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const {
  double m[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i * 3 + j] = LatticeVector[i][j];
  double det = 0;
  int result = minver(m, 3, 3, 1e-6, &det);
  if (result != 0) {
    std::printf("Error in CCrystal::CartesianToFractional: return of minver is %d\n", result);
    return 0;
  }
  fx = m[0] * x + m[3] * y + m[6] * z;
  fy = m[1] * x + m[4] * y + m[7] * z;
  fz = m[2] * x + m[5] * y + m[8] * z;
  return 1;
}

void CCrystal::FractionalToCartesian(double x, double y, double z, double& cx, double& cy, double& cz) const {
  const CMyVector* v = LatticeVector;
  cx = x * v[0][0] + y * v[1][0] + z * v[2][0];
  cy = x * v[0][1] + y * v[1][1] + z * v[2][1];
  cz = x * v[0][2] + y * v[1][2] + z * v[2][2];
}

void CCrystal::Copy(const CCrystal& source) {
  if (&source == this) return;
  tally_ = CSiteTally();
  Name = source.Name;
  Pressure = source.Pressure;
  Temperature = source.Temperature;
  Density = source.Density;
  ChemicalName = source.ChemicalName;
  Volume = source.Volume;
  a = source.a;
  b = source.b;
  c = source.c;
  alpha = source.alpha;
  beta = source.beta;
  gamma = source.gamma;
  for (int i = 0; i < 3; ++i) {
    AssignVector(LatticeVector[i], source.LatticeVector[i]);
    for (int j = 0; j < 3; ++j) MetricTensor[i][j] = source.MetricTensor[i][j];
  }
  CopySpaceGroup(SpaceGroup, source.SpaceGroup);

  // The tables are re-allocated with the source's capacities; sites refer to
  // their types by index, so they refer to the copy's own types.
  nMaxAtomTypes = source.nMaxAtomTypes;
  nAtomTypes = source.nAtomTypes;
  AtomTypes = source.AtomTypes;
  AssignVector(nAtomsInFormula, source.nAtomsInFormula);
  nMaxAtomAsymSites = source.nMaxAtomAsymSites;
  nAtomAsymSites = source.nAtomAsymSites;
  AtomAsymSites = source.AtomAsymSites;
  nMaxAtomSites = source.nMaxAtomSites;
  nAtomSites = source.nAtomSites;
  AtomSites = source.AtomSites;

  Databases = source.Databases;
  SameSiteTolerance = source.SameSiteTolerance;
  FormulaSum = source.FormulaSum;
}

const CAtomType* CCrystal::TypeOf(const CAtomSite& site) const {
  if (site.iAtomType < 0 || site.iAtomType >= nAtomTypes) return nullptr;
  return &AtomTypes[site.iAtomType];
}

std::string CCrystal::GetAtomTypeName(const CAtomSite& site) const {
  const CAtomType* type = TypeOf(site);
  if (type && !type->NameOrLabel().empty()) return type->NameOrLabel();
  return site.Label;
}

}  // namespace quorvel
