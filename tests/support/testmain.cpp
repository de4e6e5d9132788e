#include "db/checksumvfs.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Tests never depend on the machine: offscreen windows, Tokyo time, and a C locale
    // underneath the program's own Japanese formats.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "Asia/Tokyo", 1);
    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    // Tests also open the books with SQLite alone: through the same layer as the program.
    tolva::checksumvfs::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
