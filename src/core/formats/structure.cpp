#include <cctype>

#include "core/chemistry/bonds.h"
#include "core/formats/format.h"
#include "core/model/say.h"

std::string NormalizeSymbol(std::string symbol)
{
  for (size_t i = 0; i < symbol.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(symbol[i]);
    symbol[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
  }
  return symbol;
}

bool FinishStructure(const vl::ref<vl::Molecule>& structure, StructureList& structures, vl::Log& log)
{
  if (!structure || structure->atoms() == 0)
    return false;
  if (!CreateBonds(structure))
    log.write(vl::Say("atoms overlap: %n atoms lie so close together that they would need more than %n bonds; "
                      "this structure is shown without bonds\n")
              << structure->atoms() << kMaxBondsPerAtom * static_cast<size_t>(structure->atoms()));
  structure->setCovalentAtomRadii(1.0f);
  structure->setCPKAtomColors();
  structure->computeAtomAdjacency();
  structures.push_back(structure);
  return true;
}
