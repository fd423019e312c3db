// Loading a 1,000-step geometry optimisation of a 100-atom molecule from the
// output of every program whose output ORBISK reads. Each output repeats one
// step shaped like that program's own: the coordinate table(s), SCF iterations,
// a per-atom block (charges or gradient), the energy and convergence lines.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/formats/loader.h"
#include "core/model/log.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSteps = 1000;
constexpr double kBohr = 0.52917721067; // angstrom

struct Atom {
  int z;
  double x, y, zc;
};

// A 100-atom saturated chain, C33H67, in a zig-zag conformation. Every step
// moves atoms by 1e-4 angstrom: the readers that merge a reprinted geometry
// with the one before (Psi4, Molpro) must still see each step as new.
std::vector<Atom> Chain(int step)
{
  std::vector<Atom> atoms;
  const double shift = 1e-4 * (kSteps - step);
  for (int i = 0; i < 33; ++i)
    atoms.push_back({6, 1.26 * i + shift, (i % 2 ? 0.89 : 0.0) - shift, 0.0});
  for (int i = 0; i < 33; ++i) {
    const double x = 1.26 * i, y = (i % 2 ? 1.52 : -0.63);
    atoms.push_back({1, x + shift, y, 0.89});
    if (atoms.size() < 100)
      atoms.push_back({1, x - shift, y, -0.89});
  }
  atoms.resize(100, {1, 41.0, 0.0, 0.0});
  return atoms;
}

// What a step prints: energies falling towards the minimum, forces shrinking.
const char* Sym(const Atom& a)
{
  return a.z == 6 ? "C" : "H";
}
double Energy(int step)
{
  return -1267.5 + 0.02 * std::exp(-step / 150.0);
}
double CycleEnergy(int step, int cycle)
{
  return Energy(step) + 0.8 / (cycle * cycle * cycle);
}
double Force(int step)
{
  return 2e-2 * std::exp(-step / 150.0) + 1e-5;
}
double Charge(const Atom& a, int i)
{
  return (a.z == 6 ? -0.21 : 0.07) + 1e-4 * (i % 7);
}
double Grad(int step, int i, int axis)
{
  return Force(step) * std::sin(i + 2.1 * axis);
}

void Put(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void Put(std::string& out, const char* fmt, ...)
{
  va_list args, again;
  va_start(args, fmt);
  va_copy(again, args);
  char buf[1024];
  const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
  if (n >= 0 && size_t(n) < sizeof buf) {
    out.append(buf, size_t(n));
  } else if (n > 0) {
    const size_t at = out.size();
    out.resize(at + size_t(n) + 1);
    std::vsnprintf(&out[at], size_t(n) + 1, fmt, again);
    out.pop_back();
  }
  va_end(again);
  va_end(args);
}

// `row(out, number, atom)` for each atom, numbered from 1.
template <class Row> void Rows(std::string& out, const std::vector<Atom>& atoms, Row row)
{
  for (size_t i = 0; i < atoms.size(); ++i)
    row(out, int(i + 1), atoms[i]);
}

// `line(out, cycle)` for SCF cycles 1..n.
template <class Line> void Cycles(std::string& out, int n, Line line)
{
  for (int k = 1; k <= n; ++k)
    line(out, k);
}

std::string Gaussian()
{
  std::string out = " Entering Gaussian System, Link 0=g16\n Gaussian 16:  ES64L-G16RevC.01  3-Jul-2019\n"
                    " ----------------------------------\n #p opt=(maxcycles=1000) ub3lyp/sto-3g\n"
                    " ----------------------------------\n Symbolic Z-matrix:\n Charge =  0 Multiplicity = 2\n";
  Rows(out, Chain(0),
       [](std::string& o, int, const Atom& a) { Put(o, " %-2s %19.5f %9.5f %9.5f \n", Sym(a), a.x, a.y, a.zc); });
  out += " \n Berny optimization.\n";
  const char* rule = " ---------------------------------------------------------------------\n";
  auto orientation = [&](const char* title, const std::vector<Atom>& atoms) {
    out += title;
    out += rule;
    out += " Center     Atomic      Atomic             Coordinates (Angstroms)\n"
           " Number     Number       Type             X           Y           Z\n";
    out += rule;
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%7d%11d%12d%16.6f%12.6f%12.6f\n", i, a.z, 0, a.x, a.y, a.zc);
    });
    out += rule;
  };
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    orientation("                          Input orientation:                          \n", atoms);
    out += " Stoichiometry    C33H67(2)\n Framework group  C1[X(C33H67)]\n Deg. of freedom   294\n";
    orientation("                         Standard orientation:                         \n", atoms);
    out += " Rotational constants (GHZ):      0.0301542      0.0029871      0.0027644\n"
           " Requested convergence on RMS density matrix=1.00D-08 within 128 cycles.\n";
    Cycles(out, 14, [&](std::string& o, int k) {
      Put(o, " Cycle %3d  Pass 1  IDiag  1:\n E= %.12f     Delta-E=       -0.%012d Rises=F Damp=F\n", k,
          CycleEnergy(s, k), 9999 / k);
    });
    Put(out, " SCF Done:  E(UB3LYP) =  %.10f     A.U. after   14 cycles\n", Energy(s));
    out += "            NFock= 14  Conv=0.54D-08     -V/T= 2.0085\n <Sx>= 0.0000 <Sy>= 0.0000 <Sz>= 0.5000 <S**2>= "
           "0.7532 S= 0.5011\n";
    out += " Mulliken charges and spin densities:\n               1          2\n";
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, " %5d  %-2s  %10.6f   %10.6f\n", i, Sym(a), Charge(a, i), 0.01);
    });
    out += " Sum of Mulliken charges =   0.00000   1.00000\n";
    out += " -------------------------------------------------------------------\n"
           " Center     Atomic                   Forces (Hartrees/Bohr)\n"
           " Number     Number              X              Y              Z\n"
           " -------------------------------------------------------------------\n";
    Rows(out, atoms, [s](std::string& o, int i, const Atom& a) {
      Put(o, " %6d %8d        %14.9f %14.9f %14.9f\n", i, a.z, Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    out += " -------------------------------------------------------------------\n";
    const double f = Force(s);
    Put(out,
        "         Item               Value     Threshold  Converged?\n"
        " Maximum Force            %.6f     0.000450     %s\n RMS     Force            %.6f     0.000300     %s\n"
        " Maximum Displacement     %.6f     0.001800     NO \n RMS     Displacement     %.6f     0.001200     NO \n"
        " Predicted change in Energy=-1.234567D-06\n Step number %4d out of a maximum of 1000\n",
        f, f <= 4.5e-4 ? "YES" : "NO ", f / 3, f / 3 <= 3e-4 ? "YES" : "NO ", 4 * f, 2 * f, s + 1);
  }
  out += " Optimization completed.\n    -- Stationary point found.\n Normal termination of Gaussian 16.\n";
  return out;
}

// The input table in bohr, then one angstrom table per search point.
std::string Gamess()
{
  std::string out = "          ******************************************************\n"
                    "          *         GAMESS VERSION = 30 SEP 2018 (R3)          *\n"
                    "          ******************************************************\n\n"
                    "     $CONTRL SCFTYP=UHF RUNTYP=OPTIMIZE DFTTYP=B3LYP MULT=2 $END\n"
                    "     NSTEP  =     1000     OPTTOL = 1.000E-04     HESS   = GUESS\n\n"
                    " ATOM      ATOMIC                      COORDINATES (BOHR)\n"
                    "           CHARGE         X                   Y                   Z\n";
  Rows(out, Chain(0), [](std::string& o, int, const Atom& a) {
    Put(o, " %-2s %12.1f %16.10f %19.10f %19.10f\n", Sym(a), double(a.z), a.x / kBohr, a.y / kBohr, a.zc / kBohr);
  });
  out += "\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    Put(out, "\n BEGINNING GEOMETRY SEARCH POINT NSERCH=%5d ...\n\n", s);
    out += " COORDINATES OF ALL ATOMS ARE (ANGS)\n   ATOM   CHARGE       X              Y              Z\n"
           " ------------------------------------------------------------\n";
    Rows(out, atoms, [](std::string& o, int, const Atom& a) {
      Put(o, " %-2s%14.1f%15.10f%15.10f%15.10f\n", Sym(a), double(a.z), a.x, a.y, a.zc);
    });
    out += "\n ITER EX DEM     TOTAL ENERGY        E CHANGE  DENSITY CHANGE    DIIS ERROR\n";
    Cycles(out, 16, [&](std::string& o, int k) {
      Put(o, "  %3d  0  0    %.10f  %.10f   %.9f   %.9f\n", k, CycleEnergy(s, k), -0.5 / (k * k), 0.1 / k, 0.05 / k);
    });
    Put(out,
        "\n          -----------------\n          DENSITY CONVERGED\n          -----------------\n\n"
        " FINAL U-B3LYP ENERGY IS    %.10f AFTER  16 ITERATIONS\n\n",
        Energy(s));
    out += "          ----------------------------------------\n"
           "          TOTAL MULLIKEN AND LOWDIN ATOMIC POPULATIONS\n"
           "          ----------------------------------------\n"
           "       ATOM         MULL.POP.    CHARGE          LOW.POP.     CHARGE\n";
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "    %3d %-2s        %9.6f %9.6f        %9.6f %9.6f\n", i, Sym(a), a.z - Charge(a, i), Charge(a, i),
          a.z - 0.8 * Charge(a, i), 0.8 * Charge(a, i));
    });
    out += "\n          ----------------------\n          GRADIENT OF THE ENERGY\n          ----------------------\n\n"
           " UNITS ARE HARTREE/BOHR    E'X               E'Y               E'Z \n";
    Rows(out, atoms, [s](std::string& o, int i, const Atom& a) {
      Put(o, " %4d %-2s  %18.9f %17.9f %17.9f\n", i, Sym(a), Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    Put(out, "\n NSERCH:%4d  E=    %.10f  GRAD. MAX=  %.7f  R.M.S.=  %.7f\n", s, Energy(s), Force(s), Force(s) / 3);
    Put(out, "\n          MAXIMUM GRADIENT =  %.7f    RMS GRADIENT = %.7f\n", Force(s), Force(s) / 3);
  }
  out += "\n      ***** EQUILIBRIUM GEOMETRY LOCATED *****\n EXECUTION OF GAMESS TERMINATED NORMALLY\n";
  return out;
}

std::string Cfour()
{
  std::string out = "                   --------------------------------------------------\n"
                    "                   * CFOUR Coupled-Cluster techniques for Computational Chemistry *\n"
                    "                   --------------------------------------------------\n\n";
  const char* rule = " ----------------------------------------------------------------\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    out += rule;
    out += "         Coordinates used in calculation (QCOMP) \n";
    out += rule;
    out += " Z-matrix   Atomic            Coordinates (in bohr)\n  Symbol    Number           X              Y         "
           "     Z\n";
    out += rule;
    Rows(out, atoms, [](std::string& o, int, const Atom& a) {
      Put(o, "%6s%10d%19.8f%15.8f%15.8f\n", Sym(a), a.z, a.x / kBohr, a.y / kBohr, a.zc / kBohr);
    });
    out += rule;
    out += "   Nuclear repulsion energy :   1234.5678901234 a.u.\n"
           "  --------------------------------------------------------------------\n"
           "  Iteration         Total Energy            Largest Density Difference\n"
           "  --------------------------------------------------------------------\n";
    Cycles(out, 16,
           [&](std::string& o, int k) { Put(o, "%8d%24.10f%28.10e\n", k - 1, CycleEnergy(s, k), 0.1 / (k * k)); });
    Put(out, "  E(SCF)=     %.10f              0.1234D-08\n\n  The final electronic energy is    %.12f a.u.\n",
        Energy(s), Energy(s));
    out += "                            Molecular gradient\n                            ------------------\n\n";
    Rows(out, atoms, [s](std::string& o, int i, const Atom& a) {
      Put(o, "     %-2s #%-4d  %18.10f%18.10f%18.10f\n", Sym(a), i, Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    Put(out, "\n          Molecular gradient norm   %.3E\n   Minimum force:   0.000000119 / RMS force:   %.9f\n\n",
        Force(s), Force(s) / 3);
  }
  out += "  @CHECKOUT-I, Total execution time :       1.2300 seconds.\n";
  return out;
}

std::string Orca()
{
  std::string out = "\n                                 *****************\n"
                    "                                 * O   R   C   A *\n"
                    "                                 *****************\n\n"
                    "                         Program Version 5.0.4 -  RELEASE  -\n\n"
                    "NAME = chain_opt.inp\n|  1> ! UKS B3LYP STO-3G Opt\n|  2> * xyz 0 2\n";
  Rows(out, Chain(0), [](std::string& o, int i, const Atom& a) {
    Put(o, "|%3d>   %s  %10.6f %10.6f %10.6f\n", i + 2, Sym(a), a.x, a.y, a.zc);
  });
  out += "|103> *\n|104>                          ****END OF INPUT****\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    Put(out,
        "\n         *************************************************************\n"
        "         *                GEOMETRY OPTIMIZATION CYCLE %4d           *\n"
        "         *************************************************************\n",
        s + 1);
    out += "---------------------------------\nCARTESIAN COORDINATES (ANGSTROEM)\n---------------------------------\n";
    Rows(out, atoms,
         [](std::string& o, int, const Atom& a) { Put(o, "  %-2s%13.6f%12.6f%12.6f\n", Sym(a), a.x, a.y, a.zc); });
    out += "\n----------------------------\nCARTESIAN COORDINATES (A.U.)\n----------------------------\n"
           "  NO LB      ZA    FRAG     MASS         X           Y           Z\n";
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%4d %-2s %9.4f %4d %9.3f %11.6f %11.6f %11.6f\n", i - 1, Sym(a), double(a.z), 0,
          a.z == 6 ? 12.011 : 1.008, a.x / kBohr, a.y / kBohr, a.zc / kBohr);
    });
    out += "\nHamiltonian:\n Density Functional     Method          .... DFT(GTOs)\n"
           " Exchange Functional    Exchange        .... B88\n Correlation Functional Correlation     .... LYP\n"
           "General Settings:\n Hartree-Fock type      HFTyp           .... UHF\n Multiplicity           Mult          "
           "  ....    2\n"
           "--------------\nSCF ITERATIONS\n--------------\n"
           "ITER       Energy         Delta-E        Max-DP      RMS-DP      [F,P]     Damp\n";
    Cycles(out, 16, [&](std::string& o, int k) {
      Put(o, "%3d %17.10f %16.12f %10.8f %11.8f %10.7f %6.4f\n", k - 1, CycleEnergy(s, k), -0.5 / (k * k), 0.1 / k,
          0.01 / k, 0.02 / k, 0.0);
    });
    Put(out,
        "               *****************************************************\n"
        "               *                     SUCCESS                       *\n"
        "               *           SCF CONVERGED AFTER  16 CYCLES          *\n"
        "               *****************************************************\n"
        "----------------\nTOTAL SCF ENERGY\n----------------\n\n"
        "Total Energy       :        %.14f Eh          %.5f eV\n"
        "Nuclear Repulsion  :         1234.56789012345678 Eh           33594.12345 eV\n\n"
        "--------------------------------------------\nMULLIKEN ATOMIC CHARGES AND SPIN POPULATIONS\n"
        "--------------------------------------------\n",
        Energy(s) + 0.045678901, (Energy(s) + 0.045678901) * 27.211386);
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%4d %-2s:   %9.6f   %9.6f\n", i - 1, Sym(a), Charge(a, i), 0.01);
    });
    const double f = Force(s);
    Put(out,
        "Sum of atomic charges         :   -0.0000000\nSum of atomic spin populations:    1.0000000\n\n"
        "Dispersion correction           -0.045678901\n"
        "-------------------------   --------------------\n"
        "FINAL SINGLE POINT ENERGY     %.12f\n-------------------------   --------------------\n\n"
        "          ----------------------|Geometry convergence|-------------------------\n"
        "          Item                value                   Tolerance       Converged\n"
        "          ---------------------------------------------------------------------\n"
        "          Energy change      -0.0000800000            0.0000050000      NO\n"
        "          RMS gradient        %.10f            0.0001000000      %s\n"
        "          MAX gradient        %.10f            0.0003000000      %s\n"
        "          RMS step            %.10f            0.0020000000      NO\n"
        "          MAX step            %.10f            0.0040000000      NO\n"
        "          ........................................................\n"
        "          Max(Bonds)      0.0010      Max(Angles)    0.20\n",
        Energy(s), f / 3, f / 3 <= 1e-4 ? "YES" : "NO", f, f <= 3e-4 ? "YES" : "NO", 2 * f, 4 * f);
  }
  out += "\n                    ***********************HURRAY********************\n"
         "                    ***        THE OPTIMIZATION HAS CONVERGED     ***\n"
         "                    *************************************************\n"
         "                             ****ORCA TERMINATED NORMALLY****\n";
  return out;
}

std::string QChem()
{
  std::string out = "                  Welcome to Q-Chem\n     A Quantum Leap Into The Future Of Chemistry\n\n"
                    " Q-Chem 5.4, Q-Chem, Inc., Pleasanton, CA (2021)\n\n"
                    "--------------------------------------------------------------\nUser input:\n"
                    "--------------------------------------------------------------\n$molecule\n0 2\n";
  Rows(out, Chain(0),
       [](std::string& o, int, const Atom& a) { Put(o, "%s   %.6f   %.6f   %.6f\n", Sym(a), a.x, a.y, a.zc); });
  out += "$end\n\n$rem\n   jobtype  opt\n   method = b3lyp\n   basis    sto-3g\n   geom_opt_max_cycles 1000\n$end\n"
         "--------------------------------------------------------------\n";
  const char* rule = " ----------------------------------------------------------------\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    out += rule;
    out += "             Standard Nuclear Orientation (Angstroms)\n    I     Atom           X                Y         "
           "       Z\n";
    out += rule;
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%5d%7s%19.10f%17.10f%17.10f\n", i, Sym(a), a.x, a.y, a.zc);
    });
    out += rule;
    out += " Nuclear Repulsion Energy =        1234.5678901234 hartrees\n"
           " There are      133 alpha and      132 beta electrons\n"
           " ---------------------------------------\n  Cycle       Energy         DIIS error\n"
           " ---------------------------------------\n";
    Cycles(out, 16,
           [&](std::string& o, int k) { Put(o, "  %4d   %.10f      %.2e  \n", k, CycleEnergy(s, k), 0.1 / (k * k)); });
    Put(out,
        " ---------------------------------------\n SCF time:   CPU 12.34s  wall  12.40s \n"
        " SCF   energy in the final basis set =    %.10f\n Total energy in the final basis set =    %.10f\n\n"
        "          Ground-State Mulliken Net Atomic Charges\n\n     Atom                 Charge (a.u.)  Spin (a.u.)\n"
        "  --------------------------------------------------------\n",
        Energy(s), Energy(s));
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "  %5d %-2s  %20.6f  %10.6f\n", i, Sym(a), Charge(a, i), 0.01);
    });
    Put(out,
        "  --------------------------------------------------------\n  Sum of atomic charges =     0.000000\n\n"
        "** GEOMETRY OPTIMIZATION IN DELOCALIZED INTERNAL COORDINATES **\n   Searching for a Minimum\n\n"
        "   Optimization Cycle:  %3d\n\n                       Coordinates (Angstroms)\n"
        "     ATOM                X               Y               Z\n",
        s + 1);
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%7d  %-2s %16.10f%16.10f%16.10f\n", i, Sym(a), a.x, a.y, a.zc);
    });
    const double f = Force(s);
    Put(out,
        "   Point Group: c1    Number of degrees of freedom:   294\n\n   Energy is  %.9f\n\n"
        "                             Maximum     Tolerance    Cnvgd?\n"
        "         Gradient           %.6f      0.000300     %3s\n"
        "         Displacement       %.6f      0.001200     %3s\n"
        "         Energy change     -0.000080      0.000001      NO\n\n",
        Energy(s), f, f <= 3e-4 ? "YES" : "NO", 4 * f, 4 * f <= 1.2e-3 ? "YES" : "NO");
  }
  out += " ******************************\n **  OPTIMIZATION CONVERGED  **\n ******************************\n"
         "        *  Thank you very much for using Q-Chem.  Have a nice day.  *\n";
  return out;
}

// Each step starts with the geometry the optimiser printed at the end of the
// step before; the reader keeps one structure per geometry.
std::string Psi4()
{
  std::string out = "\n    -----------------------------------------------------------------------\n"
                    "          Psi4: An Open-Source Ab Initio Electronic Structure Package\n"
                    "                               Psi4 1.7 release\n"
                    "    -----------------------------------------------------------------------\n";
  auto bare = [&](const std::vector<Atom>& atoms) {
    out += "    Geometry (in Angstrom), charge = 0, multiplicity = 2:\n\n";
    Rows(out, atoms, [](std::string& o, int, const Atom& a) {
      Put(o, "    %-2s %25.12f %19.12f %19.12f\n", Sym(a), a.x, a.y, a.zc);
    });
    out += "\n";
  };
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    out += "\n  ==> Geometry <==\n\n    Molecular point group: c1\n    Full point group: C1\n\n"
           "    Geometry (in Angstrom), charge = 0, multiplicity = 2:\n\n"
           "       Center              X                  Y                   Z               Mass       \n"
           "    ------------   -----------------  -----------------  -----------------  -----------------\n";
    Rows(out, atoms, [](std::string& o, int, const Atom& a) {
      Put(o, "    %8s   %17.12f  %17.12f  %17.12f  %17.12f\n", Sym(a), a.x, a.y, a.zc, a.z == 6 ? 12.0 : 1.00782503223);
    });
    out += "\n   => Composite Functional: B3LYP <= \n\n  ==> Iterations <==\n\n"
           "                           Total Energy        Delta E     RMS |[F,P]|\n\n";
    Cycles(out, 16, [&](std::string& o, int k) {
      Put(o, "   @DF-UKS iter %3d:  %.14f   %.5e   %.5e DIIS\n", k, CycleEnergy(s, k), -0.5 / (k * k), 0.01 / k);
    });
    Put(out,
        "\n  ==> Post-Iterations <==\n\n  @DF-UKS Final Energy:   %.14f\n\n   => Energetics <=\n\n"
        "    Nuclear Repulsion Energy =           1234.5678901234567890\n"
        "    Total Energy =                      %.16f\n\n  -Total Gradient:\n"
        "     Atom            X                  Y                   Z\n"
        "    ------   -----------------  -----------------  -----------------\n",
        Energy(s), Energy(s));
    Rows(out, atoms, [s](std::string& o, int i, const Atom&) {
      Put(o, "    %4d     %17.12f  %17.12f  %17.12f\n", i, Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    const double f = Force(s);
    const char* met = f <= 3e-4 ? "*" : " ";
    Put(out,
        "\n\t                                 ==> Convergence Check <==                                  \n\n"
        "\tMeasures of convergence in internal coordinates in au.\n"
        "\t---------------------------------------------------------------------------------------------\n"
        "\t   Step     Total Energy     Delta E     MAX Force     RMS Force      MAX Disp      RMS Disp    \n"
        "\t---------------------------------------------------------------------------------------------\n"
        "\t  Convergence Criteria    1.00e-06 *    3.00e-04 *             o    1.20e-03 *             o\n"
        "\t---------------------------------------------------------------------------------------------\n"
        "\t  %5d   %.8f   -8.00e-05      %.2e %s    %.2e o    %.2e      %.2e o  ~\n"
        "\t---------------------------------------------------------------------------------------------\n\n",
        s + 1, Energy(s), f, met, f / 3, 4 * f, 2 * f);
    if (s + 1 < kSteps) {
      out += "    Structure for next step:\n";
      bare(Chain(s + 1));
    } else {
      out += "    Final optimized geometry and variables:\n";
      bare(atoms);
    }
  }
  out += "*** Psi4 exiting successfully. Buy a developer a beer!\n";
  return out;
}

// The input geometry, then one table per optimiser step.
std::string NWChem()
{
  std::string out = "             Northwest Computational Chemistry Package (NWChem) 7.0.0\n"
                    "             --------------------------------------------------------\n\n";
  auto table = [&](const char* title, const std::vector<Atom>& atoms) {
    out += title;
    out += "\n Output coordinates in angstroms (scale by  1.889725989 to convert to a.u.)\n\n"
           "  No.       Tag          Charge          X              Y              Z\n"
           " ---- ---------------- ---------- -------------- -------------- --------------\n";
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%5d %-16s%11.4f%15.8f%15.8f%15.8f\n", i, Sym(a), double(a.z), a.x, a.y, a.zc);
    });
    out += "\n      Atomic Mass \n      ----------- \n\n      C                 12.000000\n      H                  "
           "1.007825\n\n";
  };
  table("                             Geometry \"geometry\" -> \"\"\n                             "
        "-------------------------\n",
        Chain(0));
  out += " maximum gradient threshold         (gmax) =   0.000450\n rms gradient threshold             (grms) =   "
         "0.000300\n"
         " maximum cartesian step threshold   (xmax) =   0.001800\n rms cartesian step threshold       (xrms) =   "
         "0.001200\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    table("                         Geometry \"geometry\" -> \"geometry\"\n                         "
          "---------------------------------\n",
          atoms);
    out += "              XC Information\n              --------------\n                         B3LYP Method XC "
           "Potential\n\n"
           "   convergence    iter        energy       DeltaE   RMS-Dens  Diis-err    time\n"
           " ---------------- ----- ----------------- --------- --------- ---------  ------\n";
    Cycles(out, 16, [&](std::string& o, int k) {
      Put(o, " d= 0,ls=0.0,diis %5d %17.10f %9.2e %9.2e %9.2e %7.1f\n", k, CycleEnergy(s, k), -0.5 / (k * k), 0.01 / k,
          0.1 / k, 1.5 * k);
    });
    Put(out,
        "\n         Total DFT energy =    %.12f\n      One electron energy =    -4567.123456789012\n"
        "           Coulomb energy =     2012.345678901234\n Nuclear repulsion energy =     1234.567890123456\n\n"
        "                         DFT ENERGY GRADIENTS\n\n    atom               coordinates                        "
        "gradient\n"
        "                 x          y          z           x          y          z\n",
        Energy(s));
    Rows(out, atoms, [s](std::string& o, int i, const Atom& a) {
      Put(o, "%5d %-2s  %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f\n", i, Sym(a), a.x / kBohr, a.y / kBohr, a.zc / kBohr,
          Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    // "ok" under the last two characters of each criterion met: gmax, grms, xrms, xmax.
    const double f = Force(s), values[4] = {f, f / 3, 2 * f, 4 * f}, limits[4] = {4.5e-4, 3e-4, 1.2e-3, 1.8e-3};
    std::string flags(70, ' ');
    for (int c = 0; c < 4; ++c)
      if (values[c] <= limits[c])
        flags.replace(39 + 9 * c, 2, "ok");
    Put(out,
        "\n@ Step       Energy      Delta E   Gmax     Grms     Xrms     Xmax   Walltime\n"
        "@ ---- ---------------- -------- -------- -------- -------- -------- --------\n"
        "@ %4d %16.8f %8s %8.5f %8.5f %8.5f %8.5f %8.1f\n%s\n\n",
        s, Energy(s), "-8.0D-05", values[0], values[1], values[2], values[3], 25.0 * (s + 1), flags.c_str());
  }
  out += "      ----------------------\n      Optimization converged\n      ----------------------\n";
  return out;
}

// Each step: the integral program's table in bohr, the energies, the
// optimiser's row and its xyz block, which repeats the table.
std::string Molpro()
{
  std::string out =
      " ***,chain\n geometry=chain.xyz\n uks,b3lyp\n optg,maxit=1000\n\n"
      "                                         ***  PROGRAM SYSTEM MOLPRO  ***\n"
      "                                    Version 2018.2 linked Nov 10 2018 21:55:55\n\n"
      " ORBITAL =  1.00D-05  CIVEC   =  1.00D-05  COEFF   =  1.00D-04  PRINTCI =  5.00D-02  OPTGRAD =  3.00D-04\n"
      " OPTENERG=  1.00D-06  OPTSTEP =  3.00D-04  THRGRAD =  2.00D-04  COMPRESS=  1.00D-11  VARMIN  =  1.00D-07\n";
  for (int s = 0; s < kSteps; ++s) {
    const auto atoms = Chain(s);
    out += "\n ATOMIC COORDINATES\n\n NR  ATOM    CHARGE       X              Y              Z\n\n";
    Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
      Put(o, "%4d  %-4s%8.2f%15.9f%15.9f%15.9f\n", i, (Sym(a) + std::to_string(i)).c_str(), double(a.z), a.x / kBohr,
          a.y / kBohr, a.zc / kBohr);
    });
    out += "\n NUCLEAR CHARGE:                  265\n NUCLEAR REPULSION ENERGY 1234.56789012\n\n"
           " ITERATION    DDIFF          GRAD             ENERGY        2-EL.EN.            DIPOLE MOMENTS         "
           "DIIS   ORB.\n";
    Cycles(out, 16, [&](std::string& o, int k) {
      Put(o, "%5d      %.3fD-02      %.3fD-02   %16.8f   2345.678901    0.00000   0.00000   0.12345    %d    start\n",
          k, 9.0 / k, 5.0 / k, CycleEnergy(s, k), k - 1);
    });
    Put(out,
        "\n !UKS STATE  1.1 Energy            %.12f\n !UKS STATE  1.1 Dipole moment          0.00000000     0.00000000 "
        "    0.12345678\n\n"
        " SCF GRADIENT FOR STATE 1.1\n\n Atom          dE/dx               dE/dy               dE/dz\n\n",
        Energy(s));
    Rows(out, atoms, [s](std::string& o, int i, const Atom&) {
      Put(o, "%4d      %14.9f      %14.9f      %14.9f\n", i, Grad(s, i, 0), Grad(s, i, 1), Grad(s, i, 2));
    });
    const double f = Force(s);
    Put(out,
        "\n PROGRESS OF GEOMETRY OPTIMIZATION.    TOTAL CPU:    %8.1f SEC\n"
        " %3d %14.8f %14.8f %13.8f %11.8f %11.8f %11.8f %11.8f %11.8f %11.8f\n\n"
        " Current geometry (xyz format, in Angstrom)\n\n  100\n UKS/STO-3G  ENERGY=%.8f\n",
        11.4 * (s + 1), s + 1, Energy(s), Energy(s + 1), Energy(s + 1) - Energy(s), f, 3 * f, f / 3, 4 * f, 6 * f,
        2 * f, Energy(s));
    Rows(out, atoms,
         [](std::string& o, int, const Atom& a) { Put(o, " %-2s %20.10f%20.10f%20.10f\n", Sym(a), a.x, a.y, a.zc); });
  }
  out += "\n END OF GEOMETRY OPTIMIZATION.\n";
  return out;
}

// xtb writes the steps of an optimisation to xtbopt.log, not to its output:
// the output gives the final structure alone.
std::string Xtb()
{
  std::string out = "      -----------------------------------------------------------      \n"
                    "     |                   =====================                   |     \n"
                    "     |                           x T B                           |     \n"
                    "     |                   =====================                   |     \n"
                    "      -----------------------------------------------------------      \n\n"
                    "   * xtb version 6.6.1 (8d0f1dd) compiled by 'user@host' on 2023-08-01\n\n"
                    "   program call               : xtb chain.coord.in --opt extreme --cycles 1000\n\n"
                    "           -------------------------------------------------\n"
                    "          |                 G F N 2 - x T B                 |\n"
                    "           -------------------------------------------------\n\n"
                    "      iter      E             dE          RMSdq      gap      omega  full diag\n";
  Cycles(out, 14, [](std::string& o, int k) {
    Put(o, "   %6d  %.7f %+.6E  %.3E    %6.2f      0.0  T\n", k, CycleEnergy(0, k) / 23, -0.1 / k, 0.1 / k, 1.23);
  });
  out += "         ::::::::::::::::::::::::::::::::::::::::::::::::::::::\n"
         "         :: total energy             -55.123456789012 Eh    ::\n"
         "         :: SCC energy               -56.123456789012 Eh    ::\n\n"
         "      ----------------------------------------------------------- \n"
         "     |                        A N C O P T                        |\n"
         "      ----------------------------------------------------------- \n";
  for (int s = 0; s < kSteps; ++s) {
    if (s % 20 == 0)
      out += "\n generating ANC from model Hessian ...\n Using Lindh-Hessian (1995)\n Shifting diagonal of input "
             "Hessian by    1.0E-03\n"
             " Lowest  eigenvalues of input Hessian\n    0.010000    0.010000    0.010000    0.011234    0.012345    "
             "0.013456\n"
             " Highest eigenvalues\n    1.234567    1.345678    1.456789    1.567890    1.678901    1.789012\n";
    const double f = Force(s);
    Put(out,
        "\n........................................................................\n"
        ".............................. CYCLE %4d ..............................\n"
        "........................................................................\n"
        " * total energy  :   %.7f Eh     change       %.7E Eh\n"
        "   gradient norm :     %.7f Eh/α   predicted    %.7E ( -24.93%%)\n"
        "   displ. norm   :     %.7f α      lambda       -0.1237744E-02\n"
        "   maximum displ.:     %.7f α      in ANC's #1, #5, #3, ...\n",
        s + 1, Energy(s) / 23, -1e-5, f, -8e-6, 6 * f, 4 * f);
  }
  out += "\n   *** GEOMETRY OPTIMIZATION CONVERGED AFTER 1000 ITERATIONS ***\n\n================\n final "
         "structure:\n================\n100\n xtb: 6.6.1 (8d0f1dd)\n";
  const auto atoms = Chain(kSteps - 1);
  Rows(out, atoms,
       [](std::string& o, int, const Atom& a) { Put(o, "%-2s %25.14f %23.14f %23.14f\n", Sym(a), a.x, a.y, a.zc); });
  out += "\n     #   Z          covCN         q      C6AA      α(0)\n";
  Rows(out, atoms, [](std::string& o, int i, const Atom& a) {
    Put(o, "%6d %3d %-2s %12.3f %9.3f %9.3f %9.3f\n", i, a.z, Sym(a), 3.74, Charge(a, i), 22.1, 6.79);
  });
  Put(out,
      "\n         :: total energy             %.12f Eh    ::\n\n"
      "           -------------------------------------------------\n"
      "          | TOTAL ENERGY            %.12f Eh   |\n"
      "          | GRADIENT NORM               0.000100000000 Eh/α |\n"
      "           -------------------------------------------------\n",
      Energy(kSteps - 1) / 23, Energy(kSteps - 1) / 23);
  return out;
}

// A formatted checkpoint: scalars, then arrays as Gaussian writes them.
void FchkInt(std::string& out, const char* name, long value)
{
  Put(out, "%-40s   I     %12ld\n", name, value);
}
void FchkReal(std::string& out, const char* name, double value)
{
  Put(out, "%-40s   R     %22.15E\n", name, value);
}
void FchkArray(std::string& out, const char* name, char type, const std::vector<double>& values)
{
  Put(out, "%-40s   %c   N=%12zu\n", name, type, values.size());
  const size_t perLine = type == 'I' ? 6 : 5;
  for (size_t i = 0; i < values.size(); ++i) {
    if (type == 'I')
      Put(out, "%12ld", long(values[i]));
    else
      Put(out, "%16.8E", values[i]);
    if ((i + 1) % perLine == 0 || i + 1 == values.size())
      out += '\n';
  }
}

// Values for arrays the reader skips.
std::vector<double> Filler(size_t n, double scale)
{
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = scale * std::sin(0.37 * double(i));
  return v;
}

std::vector<double> Bohr(const std::vector<Atom>& atoms)
{
  std::vector<double> v;
  for (const Atom& a : atoms)
    v.insert(v.end(), {a.x / kBohr, a.y / kBohr, a.zc / kBohr});
  return v;
}

// STO-3G: 5 basis functions per carbon, 1 per hydrogen.
constexpr size_t kBasis = 33 * 5 + 67;

// The optimisation's steps are the "Opt point 1" arrays; the current geometry
// is the last of them.
std::string Fchk()
{
  std::string out = "C33H67 chain optimisation\n";
  Put(out, "%-10s%-30s%-30s\n", "FOpt", "UB3LYP", "STO-3G");
  const auto last = Chain(kSteps - 1);
  std::vector<double> numbers;
  for (const Atom& a : last)
    numbers.push_back(a.z);
  FchkInt(out, "Number of atoms", 100);
  out += "Route                                      C   N=           2\n#p opt ub3lyp/sto-3g\n";
  FchkInt(out, "Charge", 0);
  FchkInt(out, "Multiplicity", 2);
  FchkInt(out, "Number of electrons", 265);
  FchkInt(out, "Number of basis functions", kBasis);
  FchkArray(out, "Atomic numbers", 'I', numbers);
  FchkArray(out, "Nuclear charges", 'R', numbers);
  FchkArray(out, "Current cartesian coordinates", 'R', Bohr(last));
  FchkArray(out, "Primitive exponents", 'R', Filler(3 * 133, 50.0));
  FchkArray(out, "Contraction coefficients", 'R', Filler(3 * 133, 0.5));
  FchkReal(out, "SCF Energy", Energy(kSteps - 1));
  FchkReal(out, "Total Energy", Energy(kSteps - 1));
  FchkReal(out, "RMS Force", Force(kSteps - 1) / 3);
  FchkArray(out, "Alpha Orbital Energies", 'R', Filler(kBasis, 10.0));
  FchkArray(out, "Beta Orbital Energies", 'R', Filler(kBasis, 10.0));
  FchkArray(out, "Alpha MO coefficients", 'R', Filler(kBasis * kBasis, 0.7));
  FchkArray(out, "Beta MO coefficients", 'R', Filler(kBasis * kBasis, 0.7));
  FchkArray(out, "Total SCF Density", 'R', Filler(kBasis * (kBasis + 1) / 2, 0.3));
  FchkArray(out, "Mulliken Charges", 'R', Filler(100, 0.2));
  FchkArray(out, "Cartesian Gradient", 'R', Filler(300, 1e-5));
  FchkInt(out, "Optimization Num results per geometry", 2);
  std::vector<double> results, geometries;
  for (int s = 0; s < kSteps; ++s) {
    results.insert(results.end(), {Energy(s), Force(s)});
    const auto bohr = Bohr(Chain(s));
    geometries.insert(geometries.end(), bohr.begin(), bohr.end());
  }
  FchkArray(out, "Opt point       1 Results for each geome", 'R', results);
  FchkArray(out, "Opt point       1 Geometries", 'R', geometries);
  FchkArray(out, "Optimization Number of geometries", 'I', {double(kSteps)});
  return out;
}

// The orbitals at the last geometry ([Atoms] in bohr, basis, MOs), then the
// optimisation: [GEOCONV] values and [GEOMETRIES] frames.
std::string Molden()
{
  std::string out = "[Molden Format]\n[Title]\n C33H67 chain optimisation\n[Atoms] AU\n";
  const auto last = Chain(kSteps - 1);
  Rows(out, last, [](std::string& o, int i, const Atom& a) {
    Put(o, "%-2s %5d %4d %16.10f %16.10f %16.10f\n", Sym(a), i, a.z, a.x / kBohr, a.y / kBohr, a.zc / kBohr);
  });
  out += "[GTO]\n";
  Rows(out, last, [](std::string& o, int i, const Atom& a) {
    Put(o,
        "%4d 0\ns    3 1.00\n     71.6168370000      0.1543289673\n     13.0450960000      0.5353281423\n"
        "      3.5305122000      0.4446345422\n",
        i);
    if (a.z == 6)
      o += "sp   3 1.00\n      2.9412494000     -0.0999672292      0.1559162750\n"
           "      0.6834831000      0.3995128261      0.6076837186\n      0.2222899000      0.7001154689      "
           "0.3919573931\n";
    o += "\n";
  });
  out += "[MO]\n";
  for (size_t m = 0; m < kBasis; ++m) {
    Put(out, " Sym=     %zua\n Ene= %12.4f\n Spin= Alpha\n Occup= %.6f\n", m + 1, -10.0 + 0.05 * double(m),
        m < 133 ? 1.0 : 0.0);
    for (size_t b = 0; b < kBasis; ++b)
      Put(out, "%4zu %16.6f\n", b + 1, 0.7 * std::sin(0.37 * double(m * kBasis + b)));
  }
  out += "[GEOCONV]\nenergy\n";
  Cycles(out, kSteps, [](std::string& o, int k) { Put(o, "%18.10f\n", Energy(k - 1)); });
  const char* keywords[] = {"max-force", "rms-force", "max-step", "rms-step"};
  const double factors[] = {1.0, 1.0 / 3, 4.0, 2.0};
  for (int q = 0; q < 4; ++q) {
    Put(out, "%s\n", keywords[q]);
    Cycles(out, kSteps, [&](std::string& o, int k) { Put(o, "%18.10f\n", factors[q] * Force(k - 1)); });
  }
  out += "[GEOMETRIES] (XYZ)\n";
  for (int s = 0; s < kSteps; ++s) {
    Put(out, "   100\n step %d\n", s + 1);
    Rows(out, Chain(s),
         [](std::string& o, int, const Atom& a) { Put(o, "%-2s %13.6f %13.6f %13.6f\n", Sym(a), a.x, a.y, a.zc); });
  }
  return out;
}

struct Program {
  const char* file;
  std::string (*make)();
  int code;          // the format detection must find
  size_t structures; // what the reader gives by design
  size_t energies;   // structures with a total energy: those of the last steps, in order
  double scale = 1;  // of the energies printed
};

// GAMESS and NWChem print the input geometry before the first step, with no
// energy of its own; xtb's output holds the final structure alone.
const Program kGaussian{"gaussian.log", Gaussian, FT_Gaussian, kSteps, kSteps};
const Program kGamess{"gamess.gamout", Gamess, FT_Gamess, kSteps + 1, kSteps};
const Program kCfour{"cfour.out", Cfour, FT_Cfour, kSteps, kSteps};
const Program kOrca{"orca.out", Orca, FT_Orca, kSteps, kSteps};
const Program kQChem{"qchem.out", QChem, FT_QChem, kSteps, kSteps};
const Program kPsi4{"psi4.out", Psi4, FT_Psi4, kSteps, kSteps};
const Program kNWChem{"nwchem.out", NWChem, FT_NWChem, kSteps + 1, kSteps};
const Program kMolpro{"molpro.out", Molpro, FT_Molpro, kSteps, kSteps};
const Program kXtb{"xtb.out", Xtb, FT_Xtb, 1, 1, 1.0 / 23};
const Program kFchk{"opt.fchk", Fchk, FT_Fchk, kSteps, kSteps};
const Program kMolden{"opt.molden", Molden, FT_Molden, kSteps, kSteps};

// The outputs, each written on first use to a folder removed at exit.
class Inputs {
public:
  Inputs() : mDir(fs::temp_directory_path() / ("orbisk-bench-programs-" + std::to_string(::getpid())))
  {
    fs::create_directories(mDir);
  }
  ~Inputs()
  {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  std::string path(const Program& p)
  {
    const fs::path file = mDir / p.file;
    if (!fs::exists(file))
      std::ofstream(file, std::ios::binary) << p.make();
    return file.string();
  }

private:
  fs::path mDir;
};

Inputs& TheInputs()
{
  static Inputs inputs;
  return inputs;
}

// What the reader got wrong in the file; empty when it read it as generated.
std::string Misread(const Program& p, const std::string& path)
{
  StructureList list;
  vl::BufferLog log;
  const int code = LoadStructureFile(path, list, log);
  size_t energies = 0, wrongSize = 0, wrongEnergy = 0;
  for (const auto& m : list) {
    wrongSize += m->atoms() != 100 ? 1 : 0;
    if (const auto e = m->calculation().totalEnergy) {
      const int step = kSteps - int(p.energies) + int(energies++);
      wrongEnergy += std::fabs(*e - p.scale * Energy(step)) > 1e-5 ? 1 : 0;
    }
  }
  if (code == p.code && list.size() == p.structures && energies == p.energies && wrongSize + wrongEnergy == 0)
    return {};
  return "read wrongly: type " + std::to_string(code) + ", " + std::to_string(list.size()) + " structures, " +
         std::to_string(energies) + " with energy (" + std::to_string(wrongEnergy) + " wrong), " +
         std::to_string(wrongSize) + " without 100 atoms";
}

void BM_Load(benchmark::State& state, const Program* p)
{
  const std::string path = TheInputs().path(*p);
  if (const std::string wrong = Misread(*p, path); !wrong.empty()) {
    state.SkipWithError(wrong.c_str());
    return;
  }
  for (auto _ : state) {
    StructureList list;
    vl::BufferLog log;
    LoadStructureFile(path, list, log);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
  state.counters["MB"] = double(fs::file_size(path)) / (1 << 20);
  state.counters["structures"] = double(p->structures);
}

} // namespace

BENCHMARK_CAPTURE(BM_Load, Gaussian, &kGaussian)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, GAMESS, &kGamess)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, CFOUR, &kCfour)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, ORCA, &kOrca)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, QChem, &kQChem)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, Psi4, &kPsi4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, NWChem, &kNWChem)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, Molpro, &kMolpro)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, xtb, &kXtb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, Fchk, &kFchk)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, Molden, &kMolden)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
