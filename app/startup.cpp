#include "startup.h"

#include "tdm02repo.h"

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

std::unique_ptr<Tdm02Repo> createReportModule(Tdm01Keiri& dm, const QString& dataFolder)
{
    auto module = std::make_unique<Tdm02Repo>(dm);
    module->RvProject1Create(dataFolder);
    return module;
}

} // namespace tolva::startup
