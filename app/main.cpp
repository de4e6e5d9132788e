#include "actionguard.h"
#include "database.h"
#include "datafolder.h"
#include "programstate.h"
#include "prompter.h"
#include "tdm01keiri.h"
#include "tmenu.h"
#include "windows.h"
#include "startup.h"
#include "tdm02repo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace tolva;

namespace {

// Lays out a new data folder from the template; needs no display, so it runs before any
// window system is touched.
int initialiseDataFolder(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption initData(QStringLiteral("init-data"), QString(), QStringLiteral("DIR"));
    parser.addOption(initData);
    parser.process(app);
    try {
        datafolder::initialise(QFileInfo(parser.value(initData)).absoluteFilePath());
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--init-data" || arg.startsWith("--init-data="))
            return initialiseDataFolder(argc, argv);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolva"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tolva2"));
    startup::applyJapaneseConventions(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("複式簿記対応　家計簿 Tolva2"));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("このデータフォルダで起動します。"), QStringLiteral("DIR"));
    const QCommandLineOption initData(QStringLiteral("init-data"), QStringLiteral("ひな形から新しいデータフォルダを作成して終了します。"),
                                      QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.addOption(initData);
    parser.process(app);

    registerWindows();

    // The main window is created first and sets the data folder.
    const QString folder = parser.isSet(dataDir) ? QFileInfo(parser.value(dataDir)).absoluteFilePath() : datafolder::besideProgram();
    TMenu menu(folder);

    const auto lock = startup::openBooks(programState().dataFolder);
    if (!lock)
        return 1;

    Tdm01Keiri dm(programState());
    dm.DataModuleCreate(programState().dataFolder);
    menu.setDataModule(dm);
    const auto reports = startup::createReportModule(dm, programState().dataFolder);

    menu.show();
    const int result = QApplication::exec();
    dm.closeAll();
    // Closing the connection folds the write-ahead log back into the database file.
    Database::closeAll();
    return result;
}
