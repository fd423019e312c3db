#include "chemistry/elements.h"

#include "vl/atominfo.h"

// Both lookups read the element table of the molecule model (vl/atominfo.cpp),
// which holds the project's only copy of the symbols and covalent radii.

void BaseSetAtName(int n, char* f, char* s)
{
  if (n == -1 || n == 0) {
    *f = 'X';
    *s = ' ';
  } else if (n >= 1 && n <= 103) {
    const char* symbol = vl::atomInfo(static_cast<vl::EAtomType>(n - 1)).mSymbol;
    *f = symbol[0];
    *s = symbol[1] != '\0' ? symbol[1] : ' ';
  } else {
    *f = '?';
    *s = '?';
  }
}

double BaseQueryAtomRadiusVal(int an)
{
  if (an >= 1 && an <= 111)
    return vl::atomInfo(static_cast<vl::EAtomType>(an - 1)).mCovalentRadius;
  return 0.5;
}
