# What makes a build from scratch shorter on a small machine: a compiler cache when one is
# installed, a faster linker when one is installed, and headers that nearly every file reads
# parsed once per kind of target instead of once per file.

# ccache, unless the caller chose a launcher. Precompiled headers are cached only when ccache
# may ignore the macros and timestamps they carry; in depend mode a file not in the cache is
# compiled once, not preprocessed first to look it up. A cache that starts empty and is thrown
# away (a CI machine) only costs: set CCACHE_DISABLE=1 there.
find_program(TOLVA_CCACHE ccache)
if(TOLVA_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
      "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
      CCACHE_DEPEND=1 ${TOLVA_CCACHE})
endif()

# Line tables are what a backtrace, a sanitizer's report and a debugger's steps need: the full
# debugging information takes a fifth longer to compile and makes every program several times
# larger to link. Turn it off for a session in a debugger that shows variables.
option(TOLVA_LINE_TABLES_ONLY "Debugging information: line tables only" ON)
if(TOLVA_LINE_TABLES_ONLY)
  add_compile_options($<$<CONFIG:RelWithDebInfo,Debug>:-g1>)
endif()

# lld links the test programs, each a few hundred megabytes of objects with their debugging
# information, several times faster than the default linker.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" TOLVA_HAVE_LLD)
if(TOLVA_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

option(TOLVA_PRECOMPILED_HEADERS "Precompile the headers most files read" ON)

# Qt and the standard library as the cores read them, and the store.
set(TOLVA_PCH_CORE
    <QByteArray> <QDate> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QMap>
    <QObject> <QRegularExpression> <QString> <QStringList> <QVariant> <QVector>
    <algorithm> <functional> <map> <memory> <optional> <vector>
    ${PROJECT_SOURCE_DIR}/db/database.h ${PROJECT_SOURCE_DIR}/db/dataset.h ${PROJECT_SOURCE_DIR}/db/money.h)
# ... and the widgets the windows are made of.
set(TOLVA_PCH_WINDOWS ${TOLVA_PCH_CORE}
    <QAction> <QApplication> <QCheckBox> <QComboBox> <QDateEdit> <QDialog> <QGridLayout>
    <QHBoxLayout> <QHeaderView> <QLabel> <QLineEdit> <QMenu> <QMenuBar> <QPushButton>
    <QTableView> <QVBoxLayout> <QWidget>)
# ... and the test framework. Not <QTest>: Qt Test defines the build folder of each test
# program as a macro its headers read, so a header made for one would be refused by the rest.
set(TOLVA_PCH_TESTS ${TOLVA_PCH_WINDOWS} <gtest/gtest.h> <QProcess> <QTemporaryDir>)

# Whether `target` reaches `library` through its links.
function(_tolva_links target library out)
  _tolva_link_closure(${target} closure)
  if(library IN_LIST closure)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Gives every library and program of `folders` the precompiled headers of its kind: those of
# the tests, of the windows or of the cores, built once by `tolva_testmain`, `tolva_ui` and
# `tolva_db` and reused by the rest. A target of Qt Core alone that does not use the store
# keeps its own headers.
function(tolva_precompile_headers)
  if(NOT TOLVA_PRECOMPILED_HEADERS)
    return()
  endif()
  target_precompile_headers(tolva_db PRIVATE ${TOLVA_PCH_CORE})
  target_precompile_headers(tolva_ui PRIVATE ${TOLVA_PCH_WINDOWS})
  if(TARGET tolva_testmain)
    target_precompile_headers(tolva_testmain PRIVATE ${TOLVA_PCH_TESTS})
  endif()
  foreach(folder IN LISTS ARGN)
    if(NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${folder})
      continue()
    endif()
    _tolva_targets_of(${folder} targets)
    foreach(target IN LISTS targets)
      if(target STREQUAL "tolva_db" OR target STREQUAL "tolva_ui" OR target STREQUAL "tolva_testmain")
        continue()
      endif()
      _tolva_links(${target} tolva_testmain tests)
      _tolva_links(${target} Qt6::Widgets windows)
      _tolva_links(${target} tolva_db store)
      if(tests AND TARGET tolva_testmain)
        target_precompile_headers(${target} REUSE_FROM tolva_testmain)
      elseif(windows AND NOT tests)
        target_precompile_headers(${target} REUSE_FROM tolva_ui)
      elseif(store AND NOT windows)
        target_precompile_headers(${target} REUSE_FROM tolva_db)
      endif()
    endforeach()
  endforeach()
endfunction()
