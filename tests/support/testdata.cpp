#include "testdata.h"

#include "database.h"
#include "datafolder.h"

#include <QDir>

namespace tolva::testing {

QString templateDir()
{
    return QStringLiteral(TOLVA_TEMPLATE_DIR);
}

TestDataFolder::TestDataFolder()
{
    Database::closeAll();
    datafolder::initialise(dir_.path(), templateDir());
}

TestDataFolder::~TestDataFolder()
{
    Database::closeAll();
}

QString TestDataFolder::file(const QString& name) const
{
    return QDir(dir_.path()).filePath(name);
}

} // namespace tolva::testing
