// Reading a CIF file by its tags, for every file that is not in the fixed
// layout CCIFFile reads by position: loops in any column order, quoted and
// text-field values, standard uncertainties, several data blocks.
#pragma once

#include <string>

namespace quorvel {
class CCIFFile;

// Refills record from the first data block of the file at path that holds
// atom sites: cell, operation texts, space-group name and number, atom types
// and asymmetric sites. Says on standard output that the file was read by its
// tags and from which block. 1 when the block gives a cell and at least one
// site; -1, with a one-line message, when the file cannot be parsed (the
// message names the line), has no cell or no sites.
int ReadCIFTags(const std::string& path, CCIFFile& record);

}  // namespace quorvel
