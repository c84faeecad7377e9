// The order in which a parallel mput hands out its files, and the one line that tells how many
// connections the server took, on real files in a fresh folder.
#include "ftp/file_queue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "ftp/console.h"
#include "tests/support/temp_folder.h"

namespace tunelift::ftp {
namespace {

std::vector<std::string> Names(const std::vector<std::filesystem::path>& files) {
  std::vector<std::string> names;
  for (const std::filesystem::path& file : files) {
    names.push_back(file.filename().string());
  }
  return names;
}

class FileQueueTest : public ::testing::Test {
protected:
  // The files in list order, each of the size given.
  std::vector<std::filesystem::path> Files(
      std::initializer_list<std::pair<const char*, std::size_t>> sizes) {
    std::vector<std::filesystem::path> files;
    for (const auto& [name, size] : sizes) {
      files.push_back(folder_.Write(name, std::string(size, 'x')));
    }
    return files;
  }

  test::TempFolder folder_;
};

TEST_F(FileQueueTest, HandsOutTheLargestFirstAndFilesOfOneSizeInListOrder) {
  FileQueue queue(
      Files({{"a.mp3", 10}, {"b.mp3", 30}, {"c.mp3", 20}, {"d.mp3", 30}, {"e.mp3", 10}}));
  std::vector<std::filesystem::path> taken;
  while (const std::optional<std::filesystem::path> file = queue.Next()) {
    taken.push_back(*file);
    queue.Done();
  }
  EXPECT_EQ(Names(taken), (std::vector<std::string>{"b.mp3", "d.mp3", "c.mp3", "a.mp3", "e.mp3"}));
  EXPECT_TRUE(queue.TakeRest().empty());
}

TEST_F(FileQueueTest, GivesWhatNoConnectionTookInListOrder) {
  FileQueue queue(Files({{"a.mp3", 1}, {"b.mp3", 4}, {"c.mp3", 2}, {"d.mp3", 3}}));
  ASSERT_EQ(queue.Next()->filename(), "b.mp3");
  EXPECT_EQ(Names(queue.TakeRest()), (std::vector<std::string>{"a.mp3", "c.mp3", "d.mp3"}));
  queue.Done();
  EXPECT_FALSE(queue.Next());
}

TEST_F(FileQueueTest, HandsAFileGivenBackOutFirstAndWaitsForItWhileItIsOut) {
  FileQueue queue(Files({{"a.mp3", 1}, {"b.mp3", 2}}));
  const std::filesystem::path b = *queue.Next();
  ASSERT_EQ(queue.Next()->filename(), "a.mp3");
  queue.Done();
  // Nothing is left to take, but b may come back: the next connection waits for it.
  std::optional<std::filesystem::path> waited;
  std::thread waiting([&] { waited = queue.Next(); });
  queue.GiveBack(b);
  waiting.join();
  ASSERT_TRUE(waited);
  EXPECT_EQ(waited->filename(), "b.mp3");
  queue.Done();
  EXPECT_FALSE(queue.Next());
}

TEST(ConnectionCount, SaysOnceWhenTheLastConnectionIsSettledHowManyTheSendGoesOnWith) {
  std::ostringstream out;
  Console console(out, {});
  ConnectionCount count(3, console);
  count.Refused("421 Too many connections from the same IP address.");
  count.Accepted();
  EXPECT_EQ(out.str(), "");
  count.Refused("421 Too many connections (another reason).");
  EXPECT_EQ(out.str(),
            "The server did not take 2 of 4 connections (421 Too many connections "
            "from the same IP address.): going on with 2 connections.\n");
}

TEST(ConnectionCount, SaysNothingWhenTheServerTookEveryConnection) {
  std::ostringstream out;
  Console console(out, {});
  ConnectionCount count(2, console);
  count.Accepted();
  count.Accepted();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace tunelift::ftp
