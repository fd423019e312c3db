#include <cctype>

#include "core/chemistry/bonds.h"
#include "core/formats/readers.h"

std::string NormalizeSymbol(std::string symbol)
{
  for (size_t i = 0; i < symbol.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(symbol[i]);
    symbol[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
  }
  return symbol;
}

bool FinishStructure(const vl::ref<vl::Molecule>& structure, StructureList& structures)
{
  if (!structure || structure->atoms() == 0)
    return false;
  CreateBonds(structure);
  structure->setCovalentAtomRadii(1.0f);
  structure->setCPKAtomColors();
  structure->computeAtomAdjacency();
  structures.push_back(structure);
  return true;
}
