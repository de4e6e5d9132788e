#include "app/startup.h"
#include "app/tmenu.h"
#include "app/windows.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/largeblocks.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "ui/actionguard.h"
#include "ui/prompter.h"
#include "ui/tdm02repo.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace tolva;

namespace {

struct Options {
    QCommandLineOption help;
    QCommandLineOption dataDir{QStringLiteral("data-dir"), QStringLiteral("このデータフォルダで起動します。"), QStringLiteral("DIR")};
    QCommandLineOption initData{QStringLiteral("init-data"), QStringLiteral("ひな形から新しいデータフォルダを作成して終了します。"),
                                QStringLiteral("DIR")};

    explicit Options(QCommandLineParser& parser) : help(parser.addHelpOption())
    {
        parser.setApplicationDescription(QStringLiteral("複式簿記対応　家計簿 Tolva2"));
        parser.addOption(dataDir);
        parser.addOption(initData);
    }
};

// What --init-data did: new books, or which files it added to a folder whose layout had
// stopped part way and which it kept.
QString layoutReport(const QString& target, const datafolder::Layout& layout)
{
    const QString shown = QDir::toNativeSeparators(target);
    if (layout.newBooks)
        return QStringLiteral("データフォルダ「%1」に新しい帳簿を作成しました。").arg(shown);
    QString text = QStringLiteral("データフォルダ「%1」の足りないファイルをひな形から補いました。\n追加したファイル: %2")
                       .arg(shown, layout.added.join(QStringLiteral("、")));
    if (!layout.kept.isEmpty())
        text += QStringLiteral("\nそのまま残したファイル: %1").arg(layout.kept.join(QStringLiteral("、")));
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QString folder;
    {
        // The command line is read before any window system is touched: --help and --init-data
        // need no display, and a mistaken folder name is told on the terminal where it was typed.
        QCoreApplication commandLine(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tolva"));
        QCommandLineParser parser;
        const Options options(parser);
        // Qt's own options (-platform, -style) are known only to QApplication, which reads the
        // command line again below and refuses what neither knows.
        (void)parser.parse(QCoreApplication::arguments());
        if (parser.isSet(options.help))
            parser.showHelp(0);
        try {
            if (parser.isSet(options.initData)) {
                const QString target = startup::folderFromOption(QStringLiteral("--init-data"), parser.value(options.initData));
                const datafolder::Layout layout = datafolder::initialise(target);
                std::printf("%s\n", layoutReport(target, layout).toLocal8Bit().constData());
                return 0;
            }
            if (parser.isSet(options.dataDir))
                folder = startup::folderFromOption(QStringLiteral("--data-dir"), parser.value(options.dataDir));
        } catch (const StoreError& e) {
            std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
            return 1;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolva"));
    startup::quitOnTerminationSignals(app);
    keepLargeBlocks();
    startup::applyJapaneseConventions(app);

    QCommandLineParser parser;
    const Options options(parser);
    parser.process(app);

    registerWindows();
    // Every window fits the screen when shown, and F1 opens its help.
    WindowSetup::install();

    // The main window is created first and sets the data folder.
    TMenu menu(folder.isEmpty() ? datafolder::besideProgram() : folder);

    auto lock = startup::openBooks(programState().dataFolder);
    if (!lock)
        return startup::terminationRequested() ? 0 : 1;
    // A display that goes away ends the program inside Qt; the books are closed even then.
    startup::closeBooksOnExit(&lock);

    int result = 0;
    {
        Tdm01Keiri dm(programState());
        dm.DataModuleCreate(programState().dataFolder);
        menu.setDataModule(dm);
        const auto reports = startup::createReportModule(dm, programState().dataFolder);

        menu.show();
        if (!startup::terminationRequested())
            result = QApplication::exec();
        // The same on a normal exit and on a termination signal: a row still being typed is
        // discarded as when its window closes.
        dm.closeAll();
    }
    // Closing the connection folds the write-ahead log back into the database file; then the
    // folder is released for the next program.
    Database::closeAll();
    startup::closeBooksOnExit(nullptr);
    lock.reset();
    return result;
}
