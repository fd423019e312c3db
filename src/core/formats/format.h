#pragma once
// A file format: its code, how detection recognises it and how it is read
// (and, for some, written). Each format is one file that defines its entry;
// formats.cpp lists the entries in detection order.
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/log.h"
#include "core/model/molecule.h"

using StructureList = std::vector<vl::ref<vl::Molecule>>;

// File-type codes, as logged ("File type = N"). A new format takes the next
// free number in its own entry; the formats' tests check that codes are unique.
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
  FT_Orca = 11,
  FT_QChem = 12,
  FT_Psi4 = 13,
  FT_NWChem = 14,
  FT_Molpro = 15,
  FT_Xtb = 16,
  FT_Fchk = 17,
  FT_Molden = 18,
  FT_Cube = 19,
};

class LineReader;

// Texts the content scan looks for in each line. The group is found when a
// line contains any one of them, or with allOnOneLine, all of them; onLine
// (1-based, counted by the scan) limits the search to that one line.
struct MarkerGroup {
  std::vector<std::string_view> texts;
  bool allOnOneLine = false;
  int onLine = 0;
};

struct FileFormat {
  // Reads every structure in the file and appends it; returns 0 when it
  // appended at least one, a negative value otherwise. May throw on a
  // malformed file; what was appended before stays.
  using ReadFunction = int (*)(const std::string& file, int code, StructureList& structures, vl::Log& log);
  using WriteFunction = void (*)(std::FILE* out, const StructureList& structures, const std::string& source);
  // For formats told by the name's ending: looks at the first lines and
  // returns the code, FT_Unknown, or kScanContent to go on with the content
  // scan from the line it stopped at.
  using NameCheck = int (*)(LineReader& in);
  static constexpr int kScanContent = -1;

  int code = FT_Unknown;
  const char* name = "";
  std::vector<std::string_view> endings; // case-sensitive; they route detection to nameCheck
  NameCheck nameCheck = nullptr;
  std::vector<MarkerGroup> signature; // recognised by content when every group is found
  ReadFunction read = nullptr;        // none: recognised, but nothing is read
  const char* exportName = nullptr;   // --export NAME writes this format
  WriteFunction write = nullptr;
};

// An entry for a program output, recognised by its content alone.
inline FileFormat ContentFormat(int code, const char* name, std::vector<MarkerGroup> signature,
                                FileFormat::ReadFunction read)
{
  FileFormat f;
  f.code = code;
  f.name = name;
  f.signature = std::move(signature);
  f.read = read;
  return f;
}

// An entry for a format told by the ending of the file name.
inline FileFormat NamedFormat(int code, const char* name, std::vector<std::string_view> endings,
                              FileFormat::NameCheck check, FileFormat::ReadFunction read, const char* exportName,
                              FileFormat::WriteFunction write)
{
  FileFormat f = ContentFormat(code, name, {}, read);
  f.endings = std::move(endings);
  f.nameCheck = check;
  f.exportName = exportName;
  f.write = write;
  return f;
}

// Every format, in detection order.
const std::vector<const FileFormat*>& FileFormats();
// The format whose entry has this code; null when none has.
const FileFormat* FindFormat(int code);

struct Detection {
  int code = FT_Unknown;
  const FileFormat* format = nullptr; // null for FT_Unknown
};

// The format of the file: the name-ending checks first, then one scan of the
// content that stops at the first line completing a signature; the first
// complete signature in table order wins. An unreadable file is FT_Unknown.
Detection DetectFormat(const std::string& file);
int CheckFileType(std::string file);

// Text helpers shared by detection and the readers.
bool ends_with(const std::string& value, const std::string& ending);
std::string trim(const std::string& str);

// First character upper case, the rest lower case (cl, CL -> Cl).
std::string NormalizeSymbol(std::string symbol);

// The finishing sequence of every structure: bonds, covalent radii, CPK
// colours, adjacency, then append. Structures without atoms are dropped.
// Returns true when the structure was appended.
bool FinishStructure(const vl::ref<vl::Molecule>& structure, StructureList& structures, vl::Log& log);
