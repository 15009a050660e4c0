# Packages: a Debian package of the Linux build (CPack DEB) and, for the Windows
# build, a folder with the programs and every DLL they need (the install tree),
# zipped, and an installer made with NSIS (CPack NSIS).
set(CPACK_PACKAGE_NAME orvo-fm)
set(CPACK_PACKAGE_VENDOR "Orvo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "File manager and command-line tool for a mobile phone on a serial cable")
set(CPACK_PACKAGE_CONTACT "Orvo FM developers <orvo-fm@localhost>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Orvo FM")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # What the programs load at run time: Qt's DLLs and plugins, the mingw runtime.
  get_target_property(_qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
  get_filename_component(_qt_bin "${_qt_core}" DIRECTORY)
  set(_qt_plugins "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")
  install(FILES "${_qt_bin}/Qt6Core.dll" "${_qt_bin}/Qt6Gui.dll" "${_qt_bin}/Qt6Widgets.dll"
          DESTINATION .)
  install(FILES "${_qt_plugins}/platforms/qwindows.dll" DESTINATION platforms)
  install(FILES "${_qt_plugins}/styles/qwindowsvistastyle.dll" DESTINATION styles)
  foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}")
      find_file(_path_${_dll} ${_dll} PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH)
      set(_path "${_path_${_dll}}")
    endif()
    if(NOT EXISTS "${_path}")
      message(FATAL_ERROR "The mingw runtime ${_dll} was not found")
    endif()
    install(FILES "${_path}" DESTINATION .)
  endforeach()

  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_FILE_NAME orvo-fm-setup)
  set(CPACK_NSIS_PACKAGE_NAME "Orvo FM")
  set(CPACK_NSIS_DISPLAY_NAME "Orvo FM ${PROJECT_VERSION}")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  # The Start menu entry for the form (orvo-cli is run from a console).
  set(CPACK_PACKAGE_EXECUTABLES "orvo-fm;Orvo FM")
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN orvo-fm.exe)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries the programs link come from dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
endif()
include(CPack)
