#include "testdata.h"

#include "database.h"
#include "datafolder.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <gtest/gtest.h>

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

void expectNoWindowLeftOpen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "a window was left open: " << w->windowTitle().toStdString();
}

QString TestDataFolder::file(const QString& name) const
{
    return QDir(dir_.path()).filePath(name);
}

} // namespace tolva::testing
