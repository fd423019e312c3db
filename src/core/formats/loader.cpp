#include "core/formats/loader.h"

#include "core/model/log.h"
#include "core/model/say.h"

int LoadStructureFile(const std::string& file, StructureList& structures)
{
  const int ftype = CheckFileType(file);
  vl::Log::print(vl::Say("File type = %n \n") << ftype);

  switch (ftype) {
  case FT_Kalder:
    ReadKalderFile(file, FT_Kalder, structures);
    break;
  case FT_Gaussian:
    // Input/Z-matrix orientations are preferred; standard ones are the fallback.
    if (ReadGaussianFile(file, FT_Gaussian, structures, 0) != 0)
      ReadGaussianFile(file, FT_Gaussian, structures, 1);
    break;
  case FT_Gamess:
    ReadGamessFile(file, FT_Gamess, structures);
    break;
  case FT_Cfour:
    ReadCfourLogFile(file, FT_Cfour, structures);
    break;
  case FT_Wfn:
    ReadWfnInpFile(file, FT_Wfn, structures);
    break;
  case FT_XyzNoHeader:
  case FT_Xyz:
    ReadXYZFile(file, ftype, structures);
    break;
  case FT_MdlMol:
    ReadMDLMolFile(file, FT_MdlMol, structures);
    break;
  default: // unrecognised, Priroda (no reader)
    break;
  }
  return ftype;
}

void LogStructureList(const StructureList& structures)
{
  // One write for the whole list: a trajectory can hold 100,000 structures.
  std::string text;
  text.reserve(structures.size() * 32);
  for (const auto& s : structures) {
    text += "New molecule: ";
    text += s->moleculeName();
    text += " - ";
    text += std::to_string(s->atoms());
    text += " atoms\n";
  }
  if (!text.empty())
    vl::Log::print(text);
}
