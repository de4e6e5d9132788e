#include "ui/help.h"

#include "db/storeerror.h"
#include "ui/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tolva {

QString helpFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

void showHelp(QWidget* parent, const QString& page)
{
    const QString question = QStringLiteral("家計簿ソフトTolva2 サポートサイトに接続しますか？\n"
                                            "ｲﾝﾀｰﾈｯﾄに接続します。\n"
                                            "(ｾｷｭﾘﾃｨｿﾌﾄによっては警告が出る場合があります。)");
    if (!prompter().confirm(parent, question))
        return;
    const QString path = QDir(helpFolder()).filePath(page + QStringLiteral(".html"));
    if (!QFileInfo::exists(path))
        throw StoreError(QStringLiteral("ヘルプページ「%1」が見つかりません。").arg(QDir::toNativeSeparators(path)));
    if (!prompter().openUrl(QUrl::fromLocalFile(path)))
        throw StoreError(QStringLiteral("ヘルプページ「%1」をブラウザで開けませんでした。").arg(QDir::toNativeSeparators(path)));
}

} // namespace tolva
