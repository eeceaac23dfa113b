# The Debian packages of every QML module the interface loads: the modules its files import,
# with theirs (qmlimportscanner), each mapped to the package that owns its qmldir, plus the
# modules that Qt's own components load only at run time.
set(PARVIX_QML_RUNTIME_MODULES
    Qt/labs/folderlistmodel   # the non-native file and folder dialogs
    QtQuick/Dialogs/quickimpl)

function(parvix_qml_runtime_packages out_var qml_dir)
  set(qml_root ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_QML})
  set(scanner ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBEXECS}/qmlimportscanner)
  find_program(DPKG_QUERY dpkg-query)
  if(NOT DPKG_QUERY OR NOT EXISTS ${scanner})
    set(${out_var} "" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${scanner} -rootPath ${qml_dir} -importPath ${qml_root}
                  OUTPUT_VARIABLE imports RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "qmlimportscanner failed on ${qml_dir}")
  endif()
  set(qmldirs)
  foreach(module IN LISTS PARVIX_QML_RUNTIME_MODULES)
    list(APPEND qmldirs ${qml_root}/${module}/qmldir)
  endforeach()
  string(JSON count LENGTH "${imports}")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON path ERROR_VARIABLE no_path GET "${imports}" ${i} path)
    string(JSON type GET "${imports}" ${i} type)
    if(type STREQUAL "module" AND NOT no_path AND path AND EXISTS ${path}/qmldir)
      list(APPEND qmldirs ${path}/qmldir)
    endif()
  endforeach()
  set(packages)
  foreach(qmldir IN LISTS qmldirs)
    execute_process(COMMAND ${DPKG_QUERY} -S ${qmldir} OUTPUT_VARIABLE owner
                    RESULT_VARIABLE unowned ERROR_QUIET)
    if(unowned)
      message(FATAL_ERROR "no Debian package owns ${qmldir}; scripts/setup.sh installs them")
    endif()
    string(REGEX REPLACE ":.*$" "" owner "${owner}") # "pkg:arch: path" or "pkg: path"
    list(APPEND packages ${owner})
  endforeach()
  list(REMOVE_DUPLICATES packages)
  list(SORT packages)
  set(${out_var} ${packages} PARENT_SCOPE)
endfunction()
