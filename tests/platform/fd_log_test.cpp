// The log as a reader on a pipe sees it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "platform/linux/stdout_log.h"

namespace daylume::test {
namespace {

TEST(FdLogTest, EveryEventIsOneWholeLineAtOnce) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    FdLog log(fds[1]);

    // Readable as soon as it is written, and folded: a tool's lines of errors stay one.
    log.line(
        "\a❌ 设置桌面壁纸失败：first\r\n\tsecond \x1b[1mthird\xC2\x85"
        "fourth\n");
    char buffer[128] = {};
    ASSERT_GT(read(fds[0], buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "❌ 设置桌面壁纸失败：first | second  [1mthird | fourth\n");

    // A reader that made the pipe non-blocking, and lines longer than the pipe holds: each
    // write may take only part of a line, and the rest must follow before the next line.
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::string received;
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
            received.append(chunk, std::size_t(n));
            usleep(50);
        }
    });
    const std::string a(100'000, 'a'), b(300, 'b');
    std::thread writerA([&] {
        for (int i = 0; i < 20; ++i) log.line("❌ " + a);
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
    EXPECT_EQ(count, 520);
}

}  // namespace
}  // namespace daylume::test
