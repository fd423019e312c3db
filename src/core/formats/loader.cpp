#include "core/formats/loader.h"

#include "core/model/say.h"

int LoadStructureFile(const std::string& file, StructureList& structures, vl::Log& log)
{
  const Detection detected = DetectFormat(file);
  log.write(vl::Say("File type = %n \n") << detected.code);
  if (detected.format && detected.format->read)
    detected.format->read(file, detected.code, structures, log);
  return detected.code;
}

void LogStructureList(const StructureList& structures, vl::Log& log)
{
  // One write for the whole list: a trajectory can hold 100,000 structures.
  std::string text;
  text.reserve(structures.size() * 32);
  for (const auto& s : structures) {
    text += "New molecule: ";
    text += s->moleculeName();
    text += " - ";
    text += std::to_string(s->atoms());
    text += " atoms\n";
  }
  if (!text.empty())
    log.write(text);
}
