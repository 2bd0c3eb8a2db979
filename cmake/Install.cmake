include(CMakePackageConfigHelpers)

install(TARGETS NorvRemindCore EXPORT NorvRemindCoreTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NorvRemindCore)

foreach(header ${NORV_HEADERS})
  file(RELATIVE_PATH rel ${CMAKE_CURRENT_SOURCE_DIR} ${header})
  get_filename_component(dir ${rel} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NorvRemindCore/${dir})
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

configure_file(cmake/norvremindcore.pc.in ${CMAKE_CURRENT_BINARY_DIR}/norvremindcore.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/norvremindcore.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
