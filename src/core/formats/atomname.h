#pragma once
// Atom names of the simple formats: the normalised symbol immediately followed
// by the atom's 1-based index (C1, H2, Cl13).
#include <charconv>
#include <string>

#include "core/model/molecule.h"

inline std::string AtomName(const std::string& symbol, int index)
{
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
  std::string name;
  name.reserve(symbol.size() + static_cast<size_t>(end - digits));
  name.append(symbol).append(digits, end);
  return name;
}

// Creates the atom in the order every reader follows: coordinates, name, type.
inline void AddAtom(vl::Molecule& molecule, float x, float y, float z, std::string name, vl::EAtomType type)
{
  auto atom = vl::make_ref<vl::Atom>();
  atom->setCoordinates(vl::fvec3(x, y, z));
  atom->setAtomName(std::move(name));
  atom->setAtomType(type);
  molecule.addAtom(atom);
}
