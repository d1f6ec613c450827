// What a run asks of a conversion: where the databases are, which steps of a
// trajectory become frames, and the RDF tables of the structures written.
#pragma once

#include "analysis/RDF.h"
#include "crystal/DatabasePaths.h"
#include "formats/XSFWriter.h"

namespace quorvel {

struct CConversionSettings {
  CDatabasePaths Databases;
  CTrajectoryPlan Plan;
  CRDFSettings RDF;
};

}  // namespace quorvel
