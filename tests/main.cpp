#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

// One Qt application for the whole process. Tests see the same platform, time zone and
// locale wherever they run, also when the binary is started by hand.
int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A test run for another zone names it in HELVANE_TEST_TZ.
    const char *zone = getenv("HELVANE_TEST_TZ");
    setenv("TZ", zone && *zone ? zone : "Europe/Zurich", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    tzset();
    QApplication app(argc, argv);
    // Locks the bridge takes go to a folder of this process, never the user's.
    const QTemporaryDir runtimeFolder;
    setenv("XDG_RUNTIME_DIR", runtimeFolder.path().toLocal8Bit().constData(), 1);
    unsetenv("RUNTIME_DIRECTORY");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
