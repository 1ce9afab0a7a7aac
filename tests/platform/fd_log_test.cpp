// The log as a reader on a pipe sees it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "platform/linux/stdout_log.h"

namespace daylume::test {
namespace {

TEST(FdLogTest, LinesFromTwoThreadsArriveWholeAndAtOnce) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    FdLog log(fds[1]);

    // Each line is readable as soon as it is written: nothing waits in a buffer.
    log.line("✅ first");
    char buffer[64] = {};
    ASSERT_EQ(read(fds[0], buffer, sizeof buffer), ssize_t(std::string("✅ first\n").size()));
    EXPECT_STREQ(buffer, "✅ first\n");

    std::string received;
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) received.append(chunk, n);
    });
    const std::string a(300, 'a'), b(300, 'b');
    std::thread writerA([&] {
        for (int i = 0; i < 500; ++i) log.line("❌ " + a);
    });
    std::thread writerB([&] {
        for (int i = 0; i < 500; ++i) log.line("✅ " + b);
    });
    writerA.join();
    writerB.join();
    close(fds[1]);
    reader.join();
    close(fds[0]);

    std::istringstream lines(received);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(line == "❌ " + a || line == "✅ " + b) << line.substr(0, 20);
    EXPECT_EQ(count, 1000);
}

}  // namespace
}  // namespace daylume::test
