#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <fstream>
#include <iterator>

#include "view/capture.h"

namespace {

bool exists(const std::string& path)
{
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

} // namespace

// The PNG lands under exactly the bytes of the name, replaces an older file
// whole, and a target that cannot be written leaves no temporary file behind.
TEST(CaptureFile, NameBytesReplaceAndFailure)
{
  const std::string dir = testing::TempDir() + "capture-" + std::to_string(getpid()) + "/";
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  QImage image(8, 4, QImage::Format_RGB888);
  image.fill(Qt::red);

  const std::string latin1 = dir + "caf\xe9.xyz.png"; // not UTF-8
  std::string error;
  ASSERT_TRUE(vl::writePng(image, latin1, &error)) << error;
  image.fill(Qt::blue);
  ASSERT_TRUE(vl::writePng(image, latin1, &error)) << error; // replaces the first
  std::ifstream in(latin1, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const QImage back = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  ASSERT_EQ(back.size(), image.size());
  EXPECT_EQ(back.pixelColor(0, 0), QColor(Qt::blue));

  // A folder where the image should go: an error, and nothing left over.
  const std::string blocked = dir + "blocked.png";
  ASSERT_EQ(::mkdir(blocked.c_str(), 0700), 0);
  EXPECT_FALSE(vl::writePng(image, blocked, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(exists(dir + ".orbisk-capture-" + std::to_string(getpid()) + ".tmp"));
}
