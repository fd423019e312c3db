#pragma once
// File-type detection and the structure readers. Every reader opens the file
// itself, appends one finished structure per geometry it finds and returns 0
// when it appended at least one, a negative value otherwise.
#include <string>
#include <vector>

#include "core/model/molecule.h"

using StructureList = std::vector<vl::ref<vl::Molecule>>;

// File-type codes.
enum FileType {
  FT_Unknown = 0,
  FT_Kalder = 1,
  FT_Gaussian = 2,
  FT_Gamess = 3,
  FT_Priroda = 4,
  FT_XyzNoHeader = 6,
  FT_Cfour = 7,
  FT_Wfn = 8,
  FT_Xyz = 9,
  FT_MdlMol = 10,
};

int CheckFileType(std::string file);

int ReadXYZFile(std::string file, int ftype, StructureList& structures);
int ReadMDLMolFile(std::string file, int ftype, StructureList& structures);
int ReadKalderFile(std::string file, int ftype, StructureList& structures);
int ReadGaussianFile(std::string file, int ftype, StructureList& structures, int type);
int ReadGamessFile(std::string file, int ftype, StructureList& structures);
int ReadCfourLogFile(std::string file, int ftype, StructureList& structures);
int ReadWfnInpFile(std::string file, int ftype, StructureList& structures);

// Text helpers shared by detection and the readers.
bool ends_with(const std::string& value, const std::string& ending);
std::string trim(const std::string& str);
size_t strlcpy(char* dst, const char* src, size_t siz);

// First character upper case, the rest lower case (cl, CL -> Cl).
std::string NormalizeSymbol(std::string symbol);

// The finishing sequence of every structure: bonds, covalent radii, CPK
// colours, adjacency, then append. Structures without atoms are dropped.
// Returns true when the structure was appended.
bool FinishStructure(const vl::ref<vl::Molecule>& structure, StructureList& structures);
