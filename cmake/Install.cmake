# `cmake --install`: the module, the static JSON library, the public headers,
# the tools, a CMake package (find_package(ZQJson CONFIG) gives
# ZQJson::zqjson, the module, and ZQJson::zqjson_static) and a pkg-config
# file (zqjson.pc, the module). The module exports the JSON API; the static
# library carries the same code for programs that want no run-time loading.
include(CMakePackageConfigHelpers)

set(ZQ_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZQJson)

set_target_properties(zqso_null PROPERTIES EXPORT_NAME zqjson)
set_target_properties(zqjson PROPERTIES EXPORT_NAME zqjson_static)
install(TARGETS zqso_null zqjson EXPORT ZQJsonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS zqjson-tool zqso-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/zqjson.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES SnapCommon/ZQJson.h SnapCommon/ZQExport.h
  DESTINATION ${ZQ_INSTALL_INCLUDEDIR}/SnapCommon)
install(FILES engine/ZQSnapEngine.h DESTINATION ${ZQ_INSTALL_INCLUDEDIR}/engine)

install(EXPORT ZQJsonTargets NAMESPACE ZQJson:: DESTINATION ${ZQ_CMAKE_PACKAGE_DIR})
configure_package_config_file(cmake/ZQJsonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZQJsonConfig.cmake
  INSTALL_DESTINATION ${ZQ_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZQJsonConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZQJsonConfig.cmake ${PROJECT_BINARY_DIR}/ZQJsonConfigVersion.cmake
  DESTINATION ${ZQ_CMAKE_PACKAGE_DIR})

# pkg-config paths are relative to the prefix, so the installed tree can move.
file(RELATIVE_PATH ZQ_PC_PREFIX_FROM_PCFILEDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZQ_PC_PREFIX_FROM_PCFILEDIR ${ZQ_PC_PREFIX_FROM_PCFILEDIR})
configure_file(cmake/zqjson.pc.in ${PROJECT_BINARY_DIR}/zqjson.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zqjson.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
