// The crystal's sites: adding them to the asymmetric unit and to the unit
// cell, and the running numbers of unlabelled sites.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "crystal/Crystal.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// The position, occupancy and force of a site being added.
void Place(CAtomSite& site, double occupancy, double x, double y, double z, double fx, double fy, double fz) {
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
// move); null, with the refusal counted, when the table is full.
CAtomSite* NextSlot(std::vector<CAtomSite>& table, int nUsed, int nMax, long long& nRefused) {
  if (nUsed >= nMax) {
    ++nRefused;
    return nullptr;
  }
  if (static_cast<size_t>(nUsed) >= table.size()) table.resize(static_cast<size_t>(nUsed) + 1);
  return &table[static_cast<size_t>(nUsed)];
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

// Brings the counts up to the sites in the table: every site is counted once
// however many are added, where counting the sites before each new one
// would compare N * N / 2 names for a reader's step of N atoms. Called for
// every site AddAtomAsymSite adds, with a label or without, so that a table
// cut back and filled again is seen.
void CCrystal::TallyAsymSites() {
  const int nSites = std::max(0, std::min(nAtomAsymSites, static_cast<int>(AtomAsymSites.size())));
  CSiteCounts& tally = tally_.counts;
  if (tally.sites != AtomAsymSites.data() || tally.nCounted > nSites ||
      (tally.nCounted > 0 && AtomAsymSites[tally.nCounted - 1].iAtomType != tally.lastType)) {
    tally = CSiteCounts();
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
  const CSiteCounts& tally = tally_.counts;
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
  return AddAtomAsymSiteOfType(label, typeName, AddAtomType(typeName, 0.0, true), occupancy, x, y, z, fx, fy, fz);
}

int CCrystal::AddAtomAsymSiteOfType(const std::string& label, const std::string& typeName, int iNamedType,
                                    double occupancy, double x, double y, double z, double fx, double fy, double fz) {
  // A full table refuses the site before a label is made for it: the label
  // would not be used, and counting the sites for every refused line of a
  // file with millions of atoms would take hours.
  CAtomSite* const slot = NextSlot(AtomAsymSites, nAtomAsymSites, nMaxAtomAsymSites, refused_.asym.nRefused);
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

// The site keeps its type index only while that index names a type of the
// crystal; otherwise it has no type.
int CCrystal::AddAtomAsymSiteRecord(const CAtomSite& site) {
  tally_.counts = CSiteCounts();
  CAtomSite* const to = NextSlot(AtomAsymSites, nAtomAsymSites, nMaxAtomAsymSites, refused_.asym.nRefused);
  if (!to) return nAtomAsymSites;
  *to = site;
  if (to->iAtomType >= nAtomTypes) to->iAtomType = -1;
  return ++nAtomAsymSites;
}

// Returns the new nAtomSites. A type index that names no type of this crystal
// (negative or beyond the types in use) gives a site without type.
int CCrystal::AddAtomSite(const std::string& label, int iAtomType, int iAsymSite, double occupancy, double x,
                          double y, double z, double fx, double fy, double fz) {
  CAtomSite* const slot = NextSlot(AtomSites, nAtomSites, nMaxAtomSites, refused_.cell.nRefused);
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
  ReportRefusedSites();
  return nAtomSites;
}

// A reader adds the sites of a structure one by one and then builds its
// cell: one line per full table tells how many sites it left out, and a
// trajectory whose every step leaves out as many says so once.
void CCrystal::ReportRefusedSites() {
  const auto report = [](CRefusedSites::CTable& table, const char* counter, int nMax) {
    if (table.nRefused > 0 && table.nRefused != table.nReported)
      std::printf("%s [%d] exceeds maximum [%d]: %lld sites are left out.\n", counter, nMax, nMax, table.nRefused);
    if (table.nRefused > 0) table.nReported = table.nRefused;
    table.nRefused = 0;
  };
  report(refused_.asym, "nAtomAsymSites", nMaxAtomAsymSites);
  report(refused_.cell, "nAtomSites", nMaxAtomSites);
}

}  // namespace quorvel
