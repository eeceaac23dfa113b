# Unity builds: each target below compiles its sources a few files per translation unit, so
# the headers and templates those files share (Qt's above all) are parsed and instantiated
# once per batch instead of once per file. Batches of 8 keep both cores busy on the larger
# targets. A file that cannot share a unit (names clashing in anonymous namespaces) is marked
# SKIP_UNITY_BUILD_INCLUSION beside its target.
option(PARVIX_UNITY "Compile the larger targets in batches of sources (unity builds)" ON)
if(NOT PARVIX_UNITY)
  return()
endif()

# The product's libraries and the QML module (whose compiled QML files share Qt's private
# headers). The test programs and the tools stay one unit per file: their files define
# helpers of the same names.
set(parvix_unity_targets
  parvix_adb parvix_account parvix_app parvix_media parvix_control parvix_session parvix_groups
  parvix_ui parvixtestmain)
foreach(target IN LISTS parvix_unity_targets)
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
endforeach()

# Files whose file-local names clash with another file of their target.
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/control/keymapping.cpp
  TARGET_DIRECTORY parvix_control PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
# The test main must stay its own object: programs with a main of their own link the library
# and must not pull it in with a neighbour's symbols.
set_source_files_properties(${PROJECT_SOURCE_DIR}/tests/common/testmain.cpp
  TARGET_DIRECTORY parvixtestmain PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
