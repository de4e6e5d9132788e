// The program itself, started as a user starts it.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Without a display: neither the test's offscreen platform nor an X or Wayland display.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

TEST(Program, TheCommandLineIsReadWithoutADisplay)
{
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* expected;  // part of what the program prints
    };
    const Case cases[] = {
        {{QStringLiteral("--help")}, 0, "--data-dir"},
        {{QStringLiteral("--data-dir"), QString()}, 1, "--data-dir のフォルダ名が空です"},
        {{QStringLiteral("--data-dir=")}, 1, "--data-dir のフォルダ名が空です"},
        {{QStringLiteral("--init-data"), QString()}, 1, "--init-data のフォルダ名が空です"},
        {{QStringLiteral("--init-data=")}, 1, "--init-data のフォルダ名が空です"},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments.join(u' ').toStdString();
        // Run in an empty folder: an empty folder name must not mean this one.
        QTemporaryDir workingFolder;
        QProcess tolva;
        tolva.setProcessEnvironment(withoutDisplay());
        tolva.setWorkingDirectory(workingFolder.path());
        tolva.start(QStringLiteral(TOLVA_PROGRAM), c.arguments);
        ASSERT_TRUE(tolva.waitForFinished(30000)) << what;
        const QString output = QString::fromUtf8(tolva.readAllStandardOutput() + tolva.readAllStandardError());
        EXPECT_EQ(tolva.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(tolva.exitCode(), c.exitCode) << what << ": " << output.toStdString();
        EXPECT_TRUE(output.contains(QString::fromUtf8(c.expected))) << what << ": " << output.toStdString();
        EXPECT_TRUE(QDir(workingFolder.path()).isEmpty()) << what << ": something was written into the current folder";
    }
}
