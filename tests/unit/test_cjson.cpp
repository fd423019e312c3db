// --export cjson: the document Avogadro 2 reads, byte for byte, and valid JSON to Python's parser.
#include <cstdio>
#include <cstdlib>

#include "core/export/writers.h"
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
