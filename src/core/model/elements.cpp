#include "core/model/elements.h"

#include <cstddef>
#include <cstdint>

namespace vl {

namespace {

constexpr float channel(unsigned rgb, int shift) { return static_cast<float>((rgb >> shift) & 0xFFu) / 255.0f; }

constexpr AtomInfo E(int z, const char* symbol, const char* name, unsigned rgb, float vdw, double covalent)
{
  return AtomInfo{z, symbol, name, fvec4(channel(rgb, 16), channel(rgb, 8), channel(rgb, 0), 1.0f), vdw, covalent};
}

// Index = EAtomType (atomic number minus one); the last entry is AT_Unknown.
// Columns: Z, symbol, name, CPK colour (Jmol), van der Waals radius (Bondi /
// Blue Obelisk), single-bond covalent radius. The covalent radii are the
// project's only copy of the chemistry core's radius table:
// BaseQueryAtomRadiusVal reads them from here. Z 112..118 have no tabulated
// radius and carry the 0.5 default.
constexpr AtomInfo kElements[] = {
    E(1, "H", "Hydrogen", 0xFFFFFF, 1.20f, 0.32),
    E(2, "He", "Helium", 0xD9FFFF, 1.40f, 0.46),
    E(3, "Li", "Lithium", 0xCC80FF, 1.82f, 1.33),
    E(4, "Be", "Beryllium", 0xC2FF00, 1.90f, 1.02),
    E(5, "B", "Boron", 0xFFB5B5, 1.80f, 0.85),
    E(6, "C", "Carbon", 0x909090, 1.70f, 0.75),
    E(7, "N", "Nitrogen", 0x3050F8, 1.55f, 0.71),
    E(8, "O", "Oxygen", 0xFF0D0D, 1.52f, 0.63),
    E(9, "F", "Fluorine", 0x90E050, 1.47f, 0.64),
    E(10, "Ne", "Neon", 0xB3E3F5, 1.54f, 0.67),
    E(11, "Na", "Sodium", 0xAB5CF2, 2.27f, 1.55),
    E(12, "Mg", "Magnesium", 0x8AFF00, 1.73f, 1.39),
    E(13, "Al", "Aluminium", 0xBFA6A6, 2.10f, 1.26),
    E(14, "Si", "Silicon", 0xF0C8A0, 2.10f, 1.16),
    E(15, "P", "Phosphorus", 0xFF8000, 1.80f, 1.11),
    E(16, "S", "Sulfur", 0xFFFF30, 1.80f, 1.03),
    E(17, "Cl", "Chlorine", 0x1FF01F, 1.75f, 0.99),
    E(18, "Ar", "Argon", 0x80D1E3, 1.88f, 0.96),
    E(19, "K", "Potassium", 0x8F40D4, 2.75f, 1.96),
    E(20, "Ca", "Calcium", 0x3DFF00, 2.40f, 1.71),
    E(21, "Sc", "Scandium", 0xE6E6E6, 2.30f, 1.48),
    E(22, "Ti", "Titanium", 0xBFC2C7, 2.15f, 1.36),
    E(23, "V", "Vanadium", 0xA6A6AB, 2.05f, 1.34),
    E(24, "Cr", "Chromium", 0x8A99C7, 2.05f, 1.22),
    E(25, "Mn", "Manganese", 0x9C7AC7, 2.05f, 1.19),
    E(26, "Fe", "Iron", 0xE06633, 2.05f, 1.16),
    E(27, "Co", "Cobalt", 0xF090A0, 2.00f, 1.11),
    E(28, "Ni", "Nickel", 0x50D050, 1.63f, 1.10),
    E(29, "Cu", "Copper", 0xC88033, 1.40f, 1.12),
    E(30, "Zn", "Zinc", 0x7D80B0, 1.39f, 1.18),
    E(31, "Ga", "Gallium", 0xC28F8F, 1.87f, 1.24),
    E(32, "Ge", "Germanium", 0x668F8F, 2.10f, 1.21),
    E(33, "As", "Arsenic", 0xBD80E3, 1.85f, 1.21),
    E(34, "Se", "Selenium", 0xFFA100, 1.90f, 1.16),
    E(35, "Br", "Bromine", 0xA62929, 1.85f, 1.14),
    E(36, "Kr", "Krypton", 0x5CB8D1, 2.02f, 1.17),
    E(37, "Rb", "Rubidium", 0x702EB0, 2.90f, 2.10),
    E(38, "Sr", "Strontium", 0x00FF00, 2.55f, 1.85),
    E(39, "Y", "Yttrium", 0x94FFFF, 2.40f, 1.63),
    E(40, "Zr", "Zirconium", 0x94E0E0, 2.30f, 1.54),
    E(41, "Nb", "Niobium", 0x73C2C9, 2.15f, 1.47),
    E(42, "Mo", "Molybdenum", 0x54B5B5, 2.10f, 1.38),
    E(43, "Tc", "Technetium", 0x3B9E9E, 2.05f, 1.28),
    E(44, "Ru", "Ruthenium", 0x248F8F, 2.05f, 1.25),
    E(45, "Rh", "Rhodium", 0x0A7D8C, 2.00f, 1.25),
    E(46, "Pd", "Palladium", 0x006985, 1.63f, 1.20),
    E(47, "Ag", "Silver", 0xC0C0C0, 1.72f, 1.28),
    E(48, "Cd", "Cadmium", 0xFFD98F, 1.58f, 1.36),
    E(49, "In", "Indium", 0xA67573, 1.93f, 1.42),
    E(50, "Sn", "Tin", 0x668080, 2.17f, 1.40),
    E(51, "Sb", "Antimony", 0x9E63B5, 2.20f, 1.40),
    E(52, "Te", "Tellurium", 0xD47A00, 2.06f, 1.36),
    E(53, "I", "Iodine", 0x940094, 1.98f, 1.33),
    E(54, "Xe", "Xenon", 0x429EB0, 2.16f, 1.31),
    E(55, "Cs", "Caesium", 0x57178F, 3.00f, 2.32),
    E(56, "Ba", "Barium", 0x00C900, 2.70f, 1.96),
    E(57, "La", "Lanthanum", 0x70D4FF, 2.50f, 1.80),
    E(58, "Ce", "Cerium", 0xFFFFC7, 2.48f, 1.63),
    E(59, "Pr", "Praseodymium", 0xD9FFC7, 2.47f, 1.76),
    E(60, "Nd", "Neodymium", 0xC7FFC7, 2.45f, 1.74),
    E(61, "Pm", "Promethium", 0xA3FFC7, 2.43f, 1.73),
    E(62, "Sm", "Samarium", 0x8FFFC7, 2.42f, 1.72),
    E(63, "Eu", "Europium", 0x61FFC7, 2.40f, 1.68),
    E(64, "Gd", "Gadolinium", 0x45FFC7, 2.38f, 1.69),
    E(65, "Tb", "Terbium", 0x30FFC7, 2.37f, 1.68),
    E(66, "Dy", "Dysprosium", 0x1FFFC7, 2.35f, 1.67),
    E(67, "Ho", "Holmium", 0x00FF9C, 2.33f, 1.66),
    E(68, "Er", "Erbium", 0x00E675, 2.32f, 1.65),
    E(69, "Tm", "Thulium", 0x00D452, 2.30f, 1.64),
    E(70, "Yb", "Ytterbium", 0x00BF38, 2.28f, 1.70),
    E(71, "Lu", "Lutetium", 0x00AB24, 2.27f, 1.62),
    E(72, "Hf", "Hafnium", 0x4DC2FF, 2.25f, 1.52),
    E(73, "Ta", "Tantalum", 0x4DA6FF, 2.20f, 1.46),
    E(74, "W", "Tungsten", 0x2194D6, 2.10f, 1.37),
    E(75, "Re", "Rhenium", 0x267DAB, 2.05f, 1.31),
    E(76, "Os", "Osmium", 0x266696, 2.00f, 1.29),
    E(77, "Ir", "Iridium", 0x175487, 2.00f, 1.22),
    E(78, "Pt", "Platinum", 0xD0D0E0, 1.75f, 1.23),
    E(79, "Au", "Gold", 0xFFD123, 1.66f, 1.24),
    E(80, "Hg", "Mercury", 0xB8B8D0, 1.55f, 1.33),
    E(81, "Tl", "Thallium", 0xA6544D, 1.96f, 1.44),
    E(82, "Pb", "Lead", 0x575961, 2.02f, 1.44),
    E(83, "Bi", "Bismuth", 0x9E4FB5, 2.30f, 1.51),
    E(84, "Po", "Polonium", 0xAB5C00, 2.00f, 1.45),
    E(85, "At", "Astatine", 0x754F45, 2.00f, 1.47),
    E(86, "Rn", "Radon", 0x428296, 2.00f, 1.42),
    E(87, "Fr", "Francium", 0x420066, 2.00f, 2.23),
    E(88, "Ra", "Radium", 0x007D00, 2.00f, 2.01),
    E(89, "Ac", "Actinium", 0x70ABFA, 2.00f, 1.86),
    E(90, "Th", "Thorium", 0x00BAFF, 2.40f, 1.75),
    E(91, "Pa", "Protactinium", 0x00A1FF, 2.00f, 1.69),
    E(92, "U", "Uranium", 0x008FFF, 1.86f, 1.70),
    E(93, "Np", "Neptunium", 0x0080FF, 2.00f, 1.71),
    E(94, "Pu", "Plutonium", 0x006BFF, 2.00f, 1.72),
    E(95, "Am", "Americium", 0x545CF2, 2.00f, 1.66),
    E(96, "Cm", "Curium", 0x785CE3, 2.00f, 1.66),
    E(97, "Bk", "Berkelium", 0x8A4FE3, 2.00f, 1.68),
    E(98, "Cf", "Californium", 0xA136D4, 2.00f, 1.68),
    E(99, "Es", "Einsteinium", 0xB31FD4, 2.00f, 1.65),
    E(100, "Fm", "Fermium", 0xB31FBA, 2.00f, 1.67),
    E(101, "Md", "Mendelevium", 0xB30DA6, 2.00f, 1.73),
    E(102, "No", "Nobelium", 0xBD0D87, 2.00f, 1.76),
    E(103, "Lr", "Lawrencium", 0xC70066, 2.00f, 1.61),
    E(104, "Rf", "Rutherfordium", 0xCC0059, 2.00f, 1.57),
    E(105, "Db", "Dubnium", 0xD1004F, 2.00f, 1.49),
    E(106, "Sg", "Seaborgium", 0xD90045, 2.00f, 1.43),
    E(107, "Bh", "Bohrium", 0xE00038, 2.00f, 1.41),
    E(108, "Hs", "Hassium", 0xE6002E, 2.00f, 1.34),
    E(109, "Mt", "Meitnerium", 0xEB0026, 2.00f, 1.29),
    E(110, "Ds", "Darmstadtium", 0xF00024, 2.00f, 1.28),
    E(111, "Rg", "Roentgenium", 0xF00024, 2.00f, 1.21),
    E(112, "Cn", "Copernicium", 0xF00024, 2.00f, 0.5),
    E(113, "Nh", "Nihonium", 0xF00024, 2.00f, 0.5),
    E(114, "Fl", "Flerovium", 0xF00024, 2.00f, 0.5),
    E(115, "Mc", "Moscovium", 0xF00024, 2.00f, 0.5),
    E(116, "Lv", "Livermorium", 0xF00024, 2.00f, 0.5),
    E(117, "Ts", "Tennessine", 0xF00024, 2.00f, 0.5),
    E(118, "Og", "Oganesson", 0xF00024, 2.00f, 0.5),

    AtomInfo{-1, "", "Unknown", fvec4(channel(0xFA1691, 16), channel(0xFA1691, 8), channel(0xFA1691, 0), 1.0f), 1.5f, 0.5},
};
static_assert(sizeof(kElements) / sizeof(kElements[0]) == static_cast<size_t>(AT_Unknown) + 1, "one record per type");

constexpr bool checkTable()
{
  for (int i = 0; i < AT_Unknown; ++i)
    if (kElements[i].mAtomicNumber != i + 1)
      return false;
  return kElements[AT_Unknown].mAtomicNumber == -1;
}
static_assert(checkTable(), "records are ordered by atomic number");

constexpr bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isLower(char c) { return c >= 'a' && c <= 'z'; }

// Perfect lookup tables built at compile time from the symbols above: one
// slot per capital letter for one-letter symbols, one per capital/lower pair
// for two-letter symbols. A slot holds the type, or AT_Unknown.
struct SymbolTables {
  uint8_t one[26];
  uint8_t two[26 * 26];
};

constexpr SymbolTables buildSymbolTables()
{
  SymbolTables t{};
  for (auto& v : t.one)
    v = static_cast<uint8_t>(AT_Unknown);
  for (auto& v : t.two)
    v = static_cast<uint8_t>(AT_Unknown);
  for (int i = 0; i < AT_Unknown; ++i) {
    const char* s = kElements[i].mSymbol;
    if (s[1] == '\0')
      t.one[s[0] - 'A'] = static_cast<uint8_t>(i);
    else
      t.two[(s[0] - 'A') * 26 + (s[1] - 'a')] = static_cast<uint8_t>(i);
  }
  return t;
}

constexpr bool checkSymbols()
{
  for (int i = 0; i < AT_Unknown; ++i) {
    const char* s = kElements[i].mSymbol;
    if (!isUpper(s[0]))
      return false;
    if (s[1] != '\0' && (!isLower(s[1]) || s[2] != '\0'))
      return false;
  }
  return true;
}
static_assert(checkSymbols(), "symbols are one capital, optionally followed by one lower-case letter");

constexpr SymbolTables kSymbols = buildSymbolTables();

constexpr bool checkUnique()
{
  int count = 0;
  for (auto v : kSymbols.one)
    count += v != AT_Unknown;
  for (auto v : kSymbols.two)
    count += v != AT_Unknown;
  return count == AT_Unknown;
}
static_assert(checkUnique(), "every symbol has its own slot");

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

EAtomType atomType(std::string_view symbol)
{
  const char* b = symbol.data();
  const char* e = b + symbol.size();
  while (b != e && isBlank(*b))
    ++b;
  while (e != b && isBlank(e[-1]))
    --e;
  switch (e - b) {
  case 1:
    if (isUpper(b[0]))
      return static_cast<EAtomType>(kSymbols.one[b[0] - 'A']);
    return AT_Unknown;
  case 2:
    if (isUpper(b[0]) && isLower(b[1]))
      return static_cast<EAtomType>(kSymbols.two[(b[0] - 'A') * 26 + (b[1] - 'a')]);
    return AT_Unknown;
  default:
    return AT_Unknown;
  }
}

const AtomInfo& atomInfo(EAtomType type)
{
  // Compare as unsigned so that negative values fall out of range as well.
  const auto i = static_cast<unsigned>(type);
  return kElements[i < static_cast<unsigned>(AT_Unknown) ? i : static_cast<unsigned>(AT_Unknown)];
}

} // namespace vl

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
