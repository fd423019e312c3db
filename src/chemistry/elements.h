#pragma once
// Element symbols and covalent radii by atomic number.

// Writes the two characters of the symbol of element n: 'C',' ' for carbon,
// 'C','l' for chlorine, 'X',' ' for 0 and -1, '?','?' outside -1..103.
// Writes nothing else (no terminating NUL).
void BaseSetAtName(int n, char* f, char* s);

// Single-bond covalent radius in angstrom; 0.5 outside 1..111.
double BaseQueryAtomRadiusVal(int an);
