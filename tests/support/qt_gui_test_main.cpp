// gtest main for tests that need a QApplication on an X display.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>

static int run(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}

// Qt picks the tray icon's kind, StatusNotifierItem or X11 tray, once per process at its first
// icon (the program makes one), so a run of them all gives each test a process of its own, as
// CTest does.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(filter) != "*" || GTEST_FLAG_GET(list_tests)) return run(argc, argv);
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    int failed = 0;
    for (int i = 0; i < unit.total_test_suite_count(); ++i)
        for (int j = 0; j < unit.GetTestSuite(i)->total_test_count(); ++j) {
            const ::testing::TestInfo& test = *unit.GetTestSuite(i)->GetTestInfo(j);
            const pid_t child = fork();
            if (child == 0) {
                GTEST_FLAG_SET(filter, std::string(test.test_suite_name()) + "." + test.name());
                return run(argc, argv);
            }
            int status = 1;
            waitpid(child, &status, 0);
            failed += status != 0;
        }
    return failed != 0;
}
