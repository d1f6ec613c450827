// One CIF file as read: header values, operation texts, atom types and
// asymmetric sites, exactly as the file states them.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class CCIFFile {
 public:
  static constexpr int kMaxSymmetryOperations = 256;
  static constexpr int kDefaultAtomTypes = 50;
  static constexpr int kDefaultAtomSites = 4096;

  CCIFFile();

  // Reads the whole file: 1 when it was opened, -1 when it cannot be opened.
  // Sets ReadByTags when the file is not in the fixed layout.
  int Read(const std::string& path);
  // Release and re-allocate the row tables; return the capacity (0 on failure).
  int AllocateAtomTypes(int count);
  int AllocateAtomSites(int count);

  std::string Path;
  // The file holds atom sites but not in the fixed layout this record reads
  // by position: it is to be read by its tags (ReadCIFTags) instead.
  bool ReadByTags = false;
  std::string DataName;
  std::string AuditCreationDate;
  std::string AuditCreationMethod;
  int DatabaseCode = 0;
  std::string SystematicName;
  std::string MineralName;
  std::string CompoundSource;
  std::string FormulaStructural;
  std::string FormulaSum;
  std::string PublicationTitle;
  double a = 0, b = 0, c = 0;              // nm
  double alpha = 0, beta = 0, gamma = 0;   // degrees
  double Volume = 0;                       // nm3
  double FormulaUnitsZ = 0;
  double MeasuredDensity = 0;
  std::string SpaceGroupName;
  std::string HallSymbol;  // read by tags only
  int SpaceGroupNumber = 0;
  std::string CellSetting;

  int nSymmetryOperations = 0;
  std::string SymmetryOperations[kMaxSymmetryOperations];

  int nAtomTypes = 0, nMaxAtomTypes = 0;
  std::vector<std::string> AtomTypeSymbols;
  std::vector<double> OxidationNumbers;

  int nAtomSites = 0, nMaxAtomSites = 0;
  std::vector<std::string> SiteLabels;
  std::vector<std::string> SiteTypeSymbols;
  std::vector<int> SiteMultiplicities;
  std::vector<std::string> SiteWyckoffSymbols;
  std::vector<double> SiteX, SiteY, SiteZ;
  std::vector<double> SiteOccupancies;

 private:
  // Reads the file at path into lines_: 1, or -1 when it cannot be opened.
  int Open(const std::string& path);
  void Close();
  // Rewinds and finds the first line that begins with tag: 1, or -1 at end.
  int FindTag(const char* tag);
  // Value after the tag, trimmed and unquoted; "Undefined" when not found.
  // A null tag reads the next line from the current position.
  int ReadStringTag(const char* tag, std::string& value);
  int ReadIntTag(const char* tag, int& value);
  int ReadDoubleTag(const char* tag, double& value);

  // The steps of Read: the values of the header tags, then the loops.
  void ReadHeader();
  void ReadSymmetryOperations(bool siteIdDialect);
  void ReadAtomTypes();
  void ReadAtomSites(bool siteIdDialect);
  // The line after which the site rows are read by position; null when none.
  const char* FindSiteRows(bool siteIdDialect);
  // Whether the file is to be read by its tags (see Read).
  bool NeedsReadingByTags(bool siteIdDialect);
  // Stores the first nFields fields of a site row as row i.
  void StoreSiteFields(int i, const char* const fields[8], int nFields);

  // The file being read, read once by Open: every line as the line reader
  // delivers it, each ended by a '\0'. FindTag and the loops walk this text
  // instead of rereading the file for every tag. Empty outside Read.
  std::string lines_;
  size_t next_ = 0;  // offset in lines_ of the next line to read
};

}  // namespace quorvel
