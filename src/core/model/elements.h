#pragma once
// Chemical elements as the molecule model knows them.
#include <string_view>

#include "core/model/vector.h"

namespace vl {

// Element type: the atomic number minus one; AT_Unknown for anything else.
enum EAtomType {
  AT_Hydrogen = 0,
  AT_Helium = 1,
  AT_Lithium = 2,
  AT_Beryllium = 3,
  AT_Boron = 4,
  AT_Carbon = 5,
  AT_Nitrogen = 6,
  AT_Oxygen = 7,
  AT_Fluorine = 8,
  AT_Neon = 9,
  AT_Sodium = 10,
  AT_Magnesium = 11,
  AT_Aluminium = 12,
  AT_Silicon = 13,
  AT_Phosphorus = 14,
  AT_Sulfur = 15,
  AT_Chlorine = 16,
  AT_Argon = 17,
  AT_Potassium = 18,
  AT_Calcium = 19,
  AT_Scandium = 20,
  AT_Titanium = 21,
  AT_Vanadium = 22,
  AT_Chromium = 23,
  AT_Manganese = 24,
  AT_Iron = 25,
  AT_Cobalt = 26,
  AT_Nickel = 27,
  AT_Copper = 28,
  AT_Zinc = 29,
  AT_Gallium = 30,
  AT_Germanium = 31,
  AT_Arsenic = 32,
  AT_Selenium = 33,
  AT_Bromine = 34,
  AT_Krypton = 35,
  AT_Rubidium = 36,
  AT_Strontium = 37,
  AT_Yttrium = 38,
  AT_Zirconium = 39,
  AT_Niobium = 40,
  AT_Molybdenum = 41,
  AT_Technetium = 42,
  AT_Ruthenium = 43,
  AT_Rhodium = 44,
  AT_Palladium = 45,
  AT_Silver = 46,
  AT_Cadmium = 47,
  AT_Indium = 48,
  AT_Tin = 49,
  AT_Antimony = 50,
  AT_Tellurium = 51,
  AT_Iodine = 52,
  AT_Xenon = 53,
  AT_Caesium = 54,
  AT_Barium = 55,
  AT_Lanthanum = 56,
  AT_Cerium = 57,
  AT_Praseodymium = 58,
  AT_Neodymium = 59,
  AT_Promethium = 60,
  AT_Samarium = 61,
  AT_Europium = 62,
  AT_Gadolinium = 63,
  AT_Terbium = 64,
  AT_Dysprosium = 65,
  AT_Holmium = 66,
  AT_Erbium = 67,
  AT_Thulium = 68,
  AT_Ytterbium = 69,
  AT_Lutetium = 70,
  AT_Hafnium = 71,
  AT_Tantalum = 72,
  AT_Tungsten = 73,
  AT_Rhenium = 74,
  AT_Osmium = 75,
  AT_Iridium = 76,
  AT_Platinum = 77,
  AT_Gold = 78,
  AT_Mercury = 79,
  AT_Thallium = 80,
  AT_Lead = 81,
  AT_Bismuth = 82,
  AT_Polonium = 83,
  AT_Astatine = 84,
  AT_Radon = 85,
  AT_Francium = 86,
  AT_Radium = 87,
  AT_Actinium = 88,
  AT_Thorium = 89,
  AT_Protactinium = 90,
  AT_Uranium = 91,
  AT_Neptunium = 92,
  AT_Plutonium = 93,
  AT_Americium = 94,
  AT_Curium = 95,
  AT_Berkelium = 96,
  AT_Californium = 97,
  AT_Einsteinium = 98,
  AT_Fermium = 99,
  AT_Mendelevium = 100,
  AT_Nobelium = 101,
  AT_Lawrencium = 102,
  AT_Rutherfordium = 103,
  AT_Dubnium = 104,
  AT_Seaborgium = 105,
  AT_Bohrium = 106,
  AT_Hassium = 107,
  AT_Meitnerium = 108,
  AT_Darmstadtium = 109,
  AT_Roentgenium = 110,
  AT_Copernicium = 111,
  AT_Nihonium = 112,
  AT_Flerovium = 113,
  AT_Moscovium = 114,
  AT_Livermorium = 115,
  AT_Tennessine = 116,
  AT_Oganesson = 117,
  AT_Unknown = 118,
};

struct AtomInfo {
  int mAtomicNumber;           // 1..118, -1 for AT_Unknown
  const char* mSymbol;         // "C", "Cl"; "" for AT_Unknown
  const char* mName;           // "Carbon"; "Unknown"
  fvec4 mCPKColor;             // Jmol element colours
  float mVanDerWaalsRadius;    // angstrom
  double mCovalentRadius;      // single-bond covalent radius, angstrom (0.5 where none is tabulated)
  int atomicNumber() const { return mAtomicNumber; }
  const char* symbol() const { return mSymbol; }
  const fvec4& cpkColor() const { return mCPKColor; }
  float vanDerWaalsRadius() const { return mVanDerWaalsRadius; }
};

// The element with this symbol. Surrounding blanks, tabs, carriage returns and
// line feeds are ignored; the match is exact and case-sensitive ("Cl", not
// "CL"). Anything else, including "X" and element names, is AT_Unknown.
EAtomType atomType(std::string_view symbol);

// Always a valid record; out-of-range values give the AT_Unknown record.
const AtomInfo& atomInfo(EAtomType type);

} // namespace vl

// The element table by atomic number, as the readers and bond perception use it.

// Writes the two characters of the symbol of element n: 'C',' ' for carbon,
// 'C','l' for chlorine, 'X',' ' for 0 and -1, '?','?' outside -1..103.
// Writes nothing else (no terminating NUL).
void BaseSetAtName(int n, char* f, char* s);

// Single-bond covalent radius in angstrom; 0.5 outside 1..111.
double BaseQueryAtomRadiusVal(int an);
