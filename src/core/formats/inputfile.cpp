#include "core/formats/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

InputFileKind CheckInputFile(const std::string& file)
{
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return InputFileKind::Missing;
  struct stat st {};
  const bool ok = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (!ok)
    return InputFileKind::Missing;
  if (S_ISDIR(st.st_mode))
    return InputFileKind::Directory;
  return S_ISREG(st.st_mode) ? InputFileKind::Regular : InputFileKind::Other;
}

std::string InputFileProblem(const std::string& file)
{
  const std::string head = "Cannot open file '" + file + "'";
  switch (CheckInputFile(file)) {
  case InputFileKind::Regular:
    return "";
  case InputFileKind::Missing:
    return head + "\n";
  case InputFileKind::Directory:
    return head + ": it is a directory, not a file\n";
  case InputFileKind::Other:
    break;
  }
  return head + ": it is not a regular file (a pipe or a device)\n";
}
