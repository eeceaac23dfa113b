# The macOS application bundle: Info.plist, an icon made with iconutil where it exists (from
# the SVG up to 1024 px where rsvg-convert exists), and
# the adb of Homebrew's platform tools copied to where the application looks for it
# (Contents/MacOS/third_party/adb/mac/adb). scripts/package-macos.sh turns it into a .dmg.
set_target_properties(parvix PROPERTIES
  MACOSX_BUNDLE TRUE
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_LIST_DIR}/Info.plist.in
  MACOSX_BUNDLE_GUI_IDENTIFIER app.parvix.Parvix
  MACOSX_BUNDLE_BUNDLE_NAME Parvix
  MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
  MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
  MACOSX_BUNDLE_COPYRIGHT "Parvix")

find_program(ICONUTIL iconutil)
find_program(SIPS sips)
find_program(RSVG_CONVERT rsvg-convert) # Homebrew's librsvg
if(ICONUTIL AND (RSVG_CONVERT OR SIPS))
  set(svg ${PROJECT_SOURCE_DIR}/packaging/parvix.svg)
  set(logo ${PROJECT_SOURCE_DIR}/src/icons/parvix_logo.png)
  set(iconset ${CMAKE_CURRENT_BINARY_DIR}/parvix.iconset)
  set(icns ${CMAKE_CURRENT_BINARY_DIR}/parvix.icns)
  # Every entry of the set drawn from the SVG; without a converter for it, the 128 px logo
  # gives the entries up to 128 px (larger ones would only be blown up).
  if(RSVG_CONVERT)
    set(entries 16x16:16 16x16@2x:32 32x32:32 32x32@2x:64 128x128:128 128x128@2x:256
                256x256:256 256x256@2x:512 512x512:512 512x512@2x:1024)
  else()
    set(entries 16x16:16 16x16@2x:32 32x32:32 32x32@2x:64 128x128:128)
  endif()
  set(resize_commands)
  foreach(entry IN LISTS entries)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 pixels)
    if(RSVG_CONVERT)
      list(APPEND resize_commands COMMAND ${RSVG_CONVERT} -w ${pixels} -h ${pixels} ${svg}
           -o ${iconset}/icon_${name}.png)
    else()
      list(APPEND resize_commands COMMAND ${SIPS} -z ${pixels} ${pixels} ${logo}
           --out ${iconset}/icon_${name}.png)
    endif()
  endforeach()
  add_custom_command(OUTPUT ${icns}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${iconset}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${iconset}
    ${resize_commands}
    COMMAND ${ICONUTIL} -c icns ${iconset} -o ${icns}
    DEPENDS ${svg} ${logo} VERBATIM)
  target_sources(parvix PRIVATE ${icns})
  set_source_files_properties(${icns} PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
  set_target_properties(parvix PROPERTIES MACOSX_BUNDLE_ICON_FILE parvix.icns)
endif()

# Homebrew's cask android-platform-tools links adb into its bin folder; the copy follows the
# link, so the bundle holds the program itself.
find_program(MACOS_ADB adb HINTS /opt/homebrew/bin /usr/local/bin)
if(MACOS_ADB)
  add_custom_command(TARGET parvix POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:parvix>/third_party/adb/mac
    COMMAND ${CMAKE_COMMAND} -E copy ${MACOS_ADB} $<TARGET_FILE_DIR:parvix>/third_party/adb/mac/adb
    VERBATIM)
else()
  message(WARNING "adb not found: the bundle has none (brew install --cask android-platform-tools)")
endif()
if(PARVIX_SCRCPY_SERVER_FILE)
  add_custom_command(TARGET parvix POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${PARVIX_SCRCPY_SERVER_FILE}
            $<TARGET_FILE_DIR:parvix>/third_party/scrcpy-server
    VERBATIM)
endif()
