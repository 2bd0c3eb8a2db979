include(CMakePackageConfigHelpers)

install(TARGETS NorvRemindCore EXPORT NorvRemindCoreTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NorvRemindCore)

# The public headers are exactly those the umbrella header includes; the
# backends' internal headers stay out of the installed tree.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS NorvRemindCore.h)
file(STRINGS NorvRemindCore.h public_includes REGEX "^#include \"")
foreach(line ${public_includes})
  string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" rel "${line}")
  get_filename_component(dir ${rel} DIRECTORY)
  install(FILES ${rel} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NorvRemindCore/${dir})
endforeach()
install(FILES NorvRemindCore.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NorvRemindCore)
install(DIRECTORY schema DESTINATION ${CMAKE_INSTALL_DATADIR}/NorvRemindCore)

install(EXPORT NorvRemindCoreTargets NAMESPACE NorvRemindCore::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NorvRemindCore)
configure_package_config_file(cmake/NorvRemindCoreConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/NorvRemindCoreConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NorvRemindCore)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/NorvRemindCoreConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NorvRemindCoreConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/NorvRemindCoreConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NorvRemindCore)

file(RELATIVE_PATH NORV_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" NORV_PC_TO_PREFIX "${NORV_PC_TO_PREFIX}")
configure_file(cmake/norvremindcore.pc.in ${CMAKE_CURRENT_BINARY_DIR}/norvremindcore.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/norvremindcore.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
