// --export cjson: the document Avogadro 2 reads, byte for byte, and valid JSON to Python's parser; the
// orbitals it holds evaluate to ORBISK's own.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/export/export.h"
#include "core/export/writers.h"
#include "core/orbitals/grid.h"
#include "core/orbitals/readers.h"
#include "qcout_testutil.h"

using namespace qctest;

TEST(Cjson, LastStructureTrajectoryAndEnergiesAsValidJson)
{
  const std::string head = "{\n  \"chemicalJson\": 1,\n  \"name\": ",
                    water = "O 0 0 0.1173|H 0 0.7572 -0.4692|H 0 -0.7572 -0.4692";
  const std::string atoms = ",\n  \"atoms\": {\n    \"elements\": {\"number\": [",
                    sets = ",\n      \"3dSets\": [\n        ";
  const std::string w = "[0, 0, 0.1173, 0, 0.7572, -0.4692, 0, -0.7572, -0.4692]",
                    bonds = "  \"bonds\": {\"connections\": ";
  const struct {
    std::string text, out;
    bool dummy = false;
  } cases[] = {
      // Energies as read, one per coordinate set; a whole number stays a real one.
      {"3|energy=-76.4089647325|" + water + "|3|E -76|" + water,
       head + "\"E -76\"" + atoms + "8, 1, 1]},\n    \"coords\": {\n      \"3d\": " + w + sets + w + ",\n        " + w +
           "\n      ]\n    }\n  },\n" + bonds + "{\"index\": [0, 1, 0, 2]}, \"order\": [1, 1]},\n  \"properties\": " +
           "{\"totalEnergy\": -76.0, \"energies\": [-76.4089647325, -76.0]}\n}\n"},
      // A frame without an energy leaves the energies out; atom counts differ; the title is escaped.
      {"1|no energy|He 1e-07 123456.789 -0.0|2|\"q\\\t\x01\xff\xc3\xa9 energy=-40.25|He 0 0 0|He 3 0 0",
       head + "\"\\\"q\\\\\\u0009\\u0001\\ufffd\xc3\xa9 energy=-40.25\"" + atoms + "2, 2]},\n    \"coords\": {\n" +
           "      \"3d\": [0, 0, 0, 3, 0, 0]" + sets + "[1e-07, 123456.79, -0],\n        [0, 0, 0, 3, 0, 0]\n" +
           "      ]\n    }\n  },\n" + bonds +
           "{\"index\": []}, \"order\": []},\n  \"properties\": {\"totalEnergy\": -40.25}\n}\n"},
      // No energy on the last: no properties; no title: the file's name; a dummy atom is element 0.
      {"1|-3.5|He 0 0 0|1||He 0 0 0",
       head + "\"read.txt\"" + atoms + "0]},\n    \"coords\": {\n      \"3d\": [0, 0, 0]" + sets +
           "[0, 0, 0],\n        [0, 0, 0]\n      ]\n    }\n  },\n" + bonds + "{\"index\": []}, \"order\": []}\n}\n",
       true},
  };
  std::string files;
  for (const auto& c : cases) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    const StructureList list = ReadText(FT_Xyz, Lines(c.text)).list;
    if (c.dummy) // the XYZ reader takes element symbols only
      list.back()->atom(0)->setAtomType(vl::AT_Unknown);
    WriteCjson(f, list, "dir/read.txt");
    std::fclose(f);
    const std::string out(data, size);
    std::free(data);
    EXPECT_EQ(out, c.out);
    files += " '" + WriteFile("doc.cjson", out) + "'";
  }
  if (std::system("python3 -c 'import json' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3 is not installed: the JSON parse is skipped";
  const std::string parse =
      "python3 -c 'import json, sys\nfor p in sys.argv[1:]: json.load(open(p, encoding=\"utf-8\"), "
      "parse_constant=lambda c: sys.exit(c))'";
  EXPECT_EQ(std::system((parse + files).c_str()), 0);
}

namespace {

// Evaluates every orbital of the document at a point (bohr) from its own basis, as the format defines the
// functions (Avogadro's order, unit-norm functions, coefficients of normalised primitives), and compares
// with the values given after the point; the lengths must agree. Basis up to d.
const char* const kEvaluate = R"(import json, math, sys
d = json.load(open(sys.argv[1])); b = d["basisSet"]; o = d["orbitals"]
r, want = [float(v) for v in sys.argv[2:5]], [float(v) for v in sys.argv[5:]]
assert len(b["shellToAtomMap"]) == len(b["primitivesPerShell"]) == len(b["shellTypes"])
assert sum(b["primitivesPerShell"]) == len(b["exponents"]) == len(b["coefficients"])
f, q, xyz = [], 0, d["atoms"]["coords"]["3d"]
for t, atom, k in zip(b["shellTypes"], b["shellToAtomMap"], b["primitivesPerShell"]):
    x, y, z = (r[i] - xyz[3 * atom + i] / 0.52917721067 for i in range(3))
    g = sum(c * (2 * a / math.pi) ** 0.75 * (4 * a) ** (abs(t) / 2) * math.exp(-a * (x * x + y * y + z * z))
            for a, c in zip(b["exponents"][q:q + k], b["coefficients"][q:q + k]))
    q += k
    f += {0: [g], 1: [g * x, g * y, g * z],
          2: [g * v / math.sqrt(3) for v in (x * x, y * y, z * z)] + [g * x * y, g * x * z, g * y * z],
          -2: [g * (2 * z * z - x * x - y * y) / 2 / math.sqrt(3), g * x * z, g * y * z, g * (x * x - y * y) / 2,
               g * x * y]}[t]
got = []
for c, e, n in [("moCoefficients", "energies", "occupations")] + [
        (s + "Coefficients", s + "Energies", s + "Occupations") for s in ("alpha", "beta")]:
    if c in o:
        assert len(o[c]) == len(o[e]) * len(f) and len(o[n]) == len(o[e])
        got += [sum(u * v for u, v in zip(o[c][k * len(f):], f)) for k in range(len(o[e]))]
assert len(got) == len(want), (got, want)
sys.exit(any(abs(u - v) > 1e-5 * (1 + abs(v)) for u, v in zip(got, want)))
)";

} // namespace

TEST(Cjson, WaveFunctionBasisAndOrbitalsAsAvogadroReadsThem)
{
  const std::string data = std::string(ORBISK_TEST_DATA) + "/orbitals/", script = WriteFile("eval.py", kEvaluate);
  const struct {
    std::string orbitals, structures, text; // text: in the document; empty: no basis at all
  } cases[] = {
      {"h2_uhf.molden", "h2_uhf.molden", "\"electronCount\": 3,\n    \"alphaEnergies\": [-16.3268317475928"},
      // Shells s, p (of sp), pure d, Cartesian d; xy the fourth Cartesian d as in Avogadro; energies in eV.
      {"he_sp_d.fchk", "he_sp_d.fchk",
       "\"shellTypes\": [0, 1, -2, 2],\n    \"shellToAtomMap\": [0, 0, 0, 0],\n    \"primitivesPerShell\": "
       "[1, 1, 1, 1],\n    \"exponents\": [0.7, 0.7, 0.9, 0.9],\n    \"coefficients\": [1, 1, 1, 1]\n  },\n  "
       "\"orbitals\": {\n    \"electronCount\": 4,\n    \"energies\": [-13.605693122994, -8.1634158737964, "
       "5.4422772491976],\n    \"occupations\": [2, 2, 0],\n    \"moCoefficients\": [\n      0, 0, 1, 0, 0, 0, 0, 0,"
       " 0, 0, 0, 0, 0, 0, 0,\n      0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,\n      0, 0, 0, 0, 0, 0, 0, 0, 0, "
       "0, 0, 0, 1, 0, 0\n    ]\n  }\n}\n"},
      {"h2_uhf.wfn", "h2_uhf.wfn", ""},      // loose primitives
      {"h2_uhf.molden", "he_sp_d.fchk", ""}, // not the wave function's atoms
  };
  const bool python = std::system("python3 -c 'import json' 2>/dev/null") == 0;
  const auto document = [](const orb::Wavefunction& w, const std::string& structures) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&buffer, &size);
    WriteCjsonWithOrbitals(f, Load(structures).list, structures, &w);
    std::fclose(f);
    const std::string doc(buffer, size);
    std::free(buffer);
    return doc;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.orbitals + " on " + c.structures);
    orb::Wavefunction w;
    std::string error;
    ASSERT_TRUE(orb::ReadWavefunction(data + c.orbitals, w, error)) << error;
    const std::string doc = document(w, data + c.structures);
    EXPECT_EQ(doc.find("\"basisSet\"") != std::string::npos, !c.text.empty());
    EXPECT_NE(doc.find(c.text), std::string::npos) << doc;
    if (c.orbitals == c.structures) { // the export reads the wave function by the file's format
      testing::internal::CaptureStdout();
      testing::internal::CaptureStderr();
      EXPECT_EQ(ExportStructures(data + c.structures, "cjson"), 0);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), doc);
      testing::internal::GetCapturedStderr();
    }
    if (c.text.empty() || !python)
      continue;
    // Every function in every orbital, so that each one's place and norm count.
    std::string command = "python3 '" + script + "' '%s' 0.3 -0.4 0.5";
    for (auto* set : {&w.alpha, &w.beta})
      for (orb::Orbital& o : *set) {
        for (size_t i = 0; i < o.coefficients.size(); ++i)
          o.coefficients[i] = std::cos(static_cast<double>(i) + 0.5 * static_cast<double>(&o - set->data()));
        orb::Grid grid{{0.3, -0.4, 0.5}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {1, 1, 1}, {}}; // ORBISK's value there
        ASSERT_TRUE(orb::EvaluateOnGrid(w, {&o}, {1.0}, false, grid, error)) << error;
        command += " " + std::to_string(grid.values[0]);
      }
    command.replace(command.find("%s"), 2, WriteFile("orbitals.cjson", document(w, data + c.structures)));
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
}
