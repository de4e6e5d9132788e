// tolva-genbooks FOLDER ROWS [SEED]: makes a data folder with big books, for trying the
// program and its reports on a decade of a busy journal.
#include "bench/bookgenerator.h"
#include "db/datafolder.h"
#include "db/storeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace {

void print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int usage()
{
    std::fputs("使い方: tolva-genbooks フォルダ 行数 [シード]\n"
               "  ひな形から新しいデータフォルダを作り、約10年分の見本の仕訳を行数だけ書き込みます。\n"
               "  同じシードからは同じ帳簿ができます（既定 1）。\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.size() > 4)
        return usage();
    bool ok = false;
    const qint64 rows = QString(args[2]).remove(u',').remove(u'_').toLongLong(&ok);
    if (!ok || rows < 0)
        return usage();
    quint32 seed = 1;
    if (args.size() == 4) {
        seed = args[3].toUInt(&ok);
        if (!ok)
            return usage();
    }

    tolva::bookgen::BookOptions options;
    // Beside the program when installed; in the build tree the tool sits apart from it.
    options.templateDir = tolva::datafolder::templateFolder();
    if (!QFileInfo::exists(QDir(options.templateDir).filePath(QStringLiteral("tolva.sqlite"))))
        options.templateDir = QStringLiteral(TOLVA_TEMPLATE_DIR);
    options.progress = [](qint64 written, qint64 wanted) {
        std::fprintf(stderr, "\r%lld / %lld", static_cast<long long>(written), static_cast<long long>(wanted));
        std::fflush(stderr);
    };

    QElapsedTimer timer;
    timer.start();
    try {
        const auto summary = tolva::bookgen::generateBooks(args[1], rows, seed, options);
        std::fputs("\n", stderr);
        QString modes;
        for (auto it = summary.rowsByMode.cbegin(); it != summary.rowsByMode.cend(); ++it)
            modes += QStringLiteral(" %1:%2").arg(it.key()).arg(it.value());
        print(QStringLiteral("%1: %2 行（%3～%4、科目 %5、細目 %6、決算済み %7 年、貸借不一致 %8 行、処理モード別%9）%10 秒\n")
                  .arg(QDir::toNativeSeparators(QFileInfo(args[1]).absoluteFilePath()))
                  .arg(summary.rows)
                  .arg(summary.firstDay.toString(Qt::ISODate), summary.lastDay.toString(Qt::ISODate))
                  .arg(summary.accounts)
                  .arg(summary.subAccounts)
                  .arg(summary.closedYears)
                  .arg(summary.unequalRows)
                  .arg(modes)
                  .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
    } catch (const tolva::StoreError& e) {
        std::fputs("\n", stderr);
        std::fprintf(stderr, "tolva-genbooks: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
