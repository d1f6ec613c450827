// What a run asks of a conversion (where the databases are, which steps of a
// trajectory become frames, the RDF tables of the structures written), and
// the one way a converter makes its crystals.
#pragma once

#include <memory>
#include <string>

#include "analysis/RDF.h"
#include "crystal/DatabasePaths.h"
#include "formats/XSFWriter.h"

namespace quorvel {
class CCrystal;

struct CConversionSettings {
  CDatabasePaths Databases;
  CTrajectoryPlan Plan;
  CRDFSettings RDF;
};

// Gives the crystal the empty tables of a converter: kConverterAtomTypes
// types, kConverterAtomSites sites of the asymmetric unit and of the cell.
void AllocateConverterTables(CCrystal& crystal);

// A crystal for a converter, on the heap (it is a large record): P1, the
// converter's tables, the run's database paths and the given name.
std::unique_ptr<CCrystal> NewConverterCrystal(const std::string& name, const CDatabasePaths& databases);

// Whether a structure read from path holds atoms to write; false after one
// line saying that nothing is written (a file of no structure replaces no
// earlier output).
bool HoldsAtoms(const CCrystal& crystal, const std::string& path);

}  // namespace quorvel
