#include "startup.h"

#include "actionguard.h"
#include "prompter.h"
#include "tdm02repo.h"

#include <QDir>
#include <QFileInfo>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tolva::startup {

void applyJapaneseConventions(QApplication& app)
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);

    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_ja", "qt_ja"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(catalogue), translations))
            QApplication::installTranslator(translator);
        else
            delete translator;
    }

    // Japanese glyph forms, not the Chinese ones a generic CJK fallback may pick.
    for (const QString& family : {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                                  QStringLiteral("IPAexGothic"), QStringLiteral("IPAGothic")}) {
        if (QFontDatabase::hasFamily(family)) {
            QFont font(family);
            font.setPointSizeF(QApplication::font().pointSizeF() > 0 ? QApplication::font().pointSizeF() : 10.0);
            QApplication::setFont(font);
            break;
        }
    }
}

std::unique_ptr<datafolder::Lock> openBooks(const QString& folder, const QString& templateDir)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        prompter().error(nullptr, QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。").arg(shown));
        return nullptr;
    }
    const bool missing = !info.exists();
    if (missing || datafolder::isEmptyFolder(folder)) {
        const QString question = missing
            ? QStringLiteral("データフォルダ「%1」がありません。\n新しい帳簿を作成しますか？").arg(shown)
            : QStringLiteral("データフォルダ「%1」は空です。\n新しい帳簿を作成しますか？").arg(shown);
        if (!QFileInfo::exists(templateDir) || !prompter().confirm(nullptr, question)) {
            prompter().error(nullptr, missing ? QStringLiteral("データフォルダ「%1」が見つかりません。").arg(shown)
                                              : QStringLiteral("データフォルダ「%1」に帳簿がありません。").arg(shown));
            return nullptr;
        }
        if (!guarded(nullptr, [&] { datafolder::initialise(folder, templateDir); }))
            return nullptr;
    }
    // Refused before anything is read or written: a second program on the same books, or a
    // folder that does not hold sound books.
    auto lock = std::make_unique<datafolder::Lock>(folder);
    if (!lock->acquired()) {
        prompter().error(nullptr, lock->refusal());
        return nullptr;
    }
    if (!guarded(nullptr, [&] { datafolder::verify(folder); }))
        return nullptr;
    return lock;
}

QString folderFromOption(const QString& option, const QString& value)
{
    if (value.trimmed().isEmpty())
        throw StoreError(QStringLiteral("%1 のフォルダ名が空です。フォルダを指定してください。").arg(option));
    return QFileInfo(value).absoluteFilePath();
}

std::unique_ptr<Tdm02Repo> createReportModule(Tdm01Keiri& dm, const QString& dataFolder)
{
    auto module = std::make_unique<Tdm02Repo>(dm);
    module->RvProject1Create(dataFolder);
    return module;
}

} // namespace tolva::startup
