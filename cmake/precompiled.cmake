# Precompiled headers: most of a source file's compile time here is Qt's headers, parsed
# again for every file. Each target with many sources gets the headers its files share,
# precompiled once; the test programs all reuse the one of their common library. FFmpeg's
# headers are C without extern "C" guards and cheap to parse, so they stay out.
if(NOT PARVIX_PCH)
  return()
endif()

set(parvix_pch_core
  <QtCore/QObject> <QtCore/QString> <QtCore/QStringList> <QtCore/QByteArray> <QtCore/QList>
  <QtCore/QHash> <QtCore/QPointer> <QtCore/QTimer> <QtCore/QFile> <QtCore/QDir>
  <QtCore/QFileInfo> <QtCore/QJsonObject> <QtCore/QJsonArray> <QtCore/QJsonDocument>
  <QtCore/QMutex> <QtCore/QThread> <QtCore/QVariant> <QtCore/QDebug>)
set(parvix_pch_gui ${parvix_pch_core} <QtGui/QImage>)
set(parvix_pch_quick ${parvix_pch_gui} <QtQml/QQmlEngine> <QtQuick/QQuickItem>)

target_precompile_headers(parvix_app PRIVATE ${parvix_pch_gui})
target_precompile_headers(parvix_control PRIVATE ${parvix_pch_gui})
target_precompile_headers(parvix_session PRIVATE ${parvix_pch_gui} <QtNetwork/QTcpSocket>)
target_precompile_headers(parvix_media PRIVATE ${parvix_pch_quick})
# The compiled QML files of the module and its type registrations.
target_precompile_headers(parvix_ui PRIVATE ${parvix_pch_quick} <QtQml/qqmlprivate.h>)
if(TARGET phonesim)
  target_precompile_headers(phonesim PRIVATE ${parvix_pch_core} <QtNetwork/QTcpSocket>)
endif()
if(TARGET accountd)
  target_precompile_headers(accountd PRIVATE ${parvix_pch_core})
endif()

if(TARGET parvixtestmain)
  target_precompile_headers(parvixtestmain PRIVATE
    ${parvix_pch_quick} <QtTest/QtTest> <QtNetwork/QTcpSocket> <QtNetwork/QTcpServer>)
  get_property(test_targets DIRECTORY ${PROJECT_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS test_targets)
    get_target_property(type ${target} TYPE)
    if(target MATCHES "^test_" AND type STREQUAL "EXECUTABLE")
      target_precompile_headers(${target} REUSE_FROM parvixtestmain)
    endif()
  endforeach()
endif()
