#include "core/export/export.h"

#include <cstdio>
#include <exception>

#include "core/export/writers.h"
#include "core/formats/inputfile.h"
#include "core/formats/loader.h"

namespace {

// Writers that belong to no file format: the calculation's results.
struct ResultWriter {
  const char* name;
  FileFormat::WriteFunction write;
};
const ResultWriter kResultWriters[] = {{"table", WriteTable}, {"cjson", WriteCjson}};

FileFormat::WriteFunction writerNamed(const std::string& name)
{
  for (const FileFormat* format : FileFormats())
    if (format->write && format->exportName && name == format->exportName)
      return format->write;
  for (const ResultWriter& writer : kResultWriters)
    if (name == writer.name)
      return writer.write;
  return nullptr;
}

void printError(const std::string& text)
{
  std::fputs(text.c_str(), stderr);
}

} // namespace

std::vector<std::string> ExportFormatNames()
{
  std::vector<std::string> names;
  for (const FileFormat* format : FileFormats())
    if (format->write && format->exportName)
      names.emplace_back(format->exportName);
  for (const ResultWriter& writer : kResultWriters)
    names.emplace_back(writer.name);
  return names;
}

int ExportStructures(const std::string& file, const std::string& format)
{
  // Standard output carries the data; the log goes to standard error.
  vl::Log& log = vl::Log::standardError();
  const FileFormat::WriteFunction write = writerNamed(format);
  if (!write) {
    std::string names;
    for (const std::string& name : ExportFormatNames())
      names += (names.empty() ? "" : " or ") + name;
    printError("Unknown export format '" + format + "': use " + names + "\n");
    return 1;
  }
  const std::string problem = InputFileProblem(file);
  if (!problem.empty()) {
    printError(problem);
    return 1;
  }

  StructureList structures;
  bool failed = false;
  try {
    LoadStructureFile(file, structures, log);
  } catch (const std::exception& e) {
    // What was read before the error is still written.
    printError(std::string("ERROR: ") + e.what() + "\n");
    failed = true;
  }
  if (structures.empty()) {
    log.write("No molecules could be found!\n");
    return 1;
  }
  LogStructureList(structures, log);

  write(stdout, structures, file);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    printError("Cannot write to standard output\n");
    return 1;
  }
  return failed ? 1 : 0;
}
