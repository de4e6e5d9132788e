#include "tests/support/readonlyfs.h"

#include <QFile>
#include <QProcessEnvironment>

namespace tolva::testing {

ReadOnlyMedium::ReadOnlyMedium(const QString& folder)
{
    tolva_readonly_set_root(QFile::encodeName(folder).constData());
}

ReadOnlyMedium::~ReadOnlyMedium()
{
    tolva_readonly_set_root(nullptr);
}

QString ReadOnlyMedium::refusedChanges()
{
    return QString::fromLocal8Bit(tolva_readonly_refusal_lines());
}

QProcessEnvironment readOnlyEnvironment(const QString& folder, const QString& log)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TOLVA_READONLY_FS));
    env.insert(QStringLiteral("TOLVA_READONLY_ROOT"), folder);
    env.insert(QStringLiteral("TOLVA_READONLY_LOG"), log);
    // A sanitized program wants its runtime first among its libraries; the preloaded one is.
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    return env;
}

} // namespace tolva::testing
