# Installation of the solvers as a CMake package and a pkg-config module.
#
#   cmake --install <build> [--prefix DIR] puts
#     lib/libbattery_<name>.a            the solver libraries and what they use
#     include/<name>/*.h                 their public headers (the same #include
#                                        lines as inside the project)
#     lib/cmake/NumericalTestBattery/    package configuration and version file
#     lib/pkgconfig/numerical-test-battery.pc
#     bin/battery                        the battery program
#
# A consumer writes find_package(NumericalTestBattery CONFIG REQUIRED) and links
# NumericalTestBattery::dae, ::lae or ::longdec.
include(CMakePackageConfigHelpers)

set(battery_package NumericalTestBattery)
set(battery_libraries textout layout longdec lae dae)
set(battery_config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${battery_package})

foreach(library IN LISTS battery_libraries)
  set_target_properties(${library} PROPERTIES OUTPUT_NAME battery_${library} EXPORT_NAME ${library})
endforeach()

install(TARGETS ${battery_libraries}
        EXPORT ${battery_package}Targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ${battery_package}Targets NAMESPACE ${battery_package}:: DESTINATION ${battery_config_dir})

configure_package_config_file(cmake/${battery_package}Config.cmake.in
                              ${PROJECT_BINARY_DIR}/${battery_package}Config.cmake
                              INSTALL_DESTINATION ${battery_config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/${battery_package}ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/${battery_package}Config.cmake
              ${PROJECT_BINARY_DIR}/${battery_package}ConfigVersion.cmake
        DESTINATION ${battery_config_dir})

file(RELATIVE_PATH battery_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/numerical-test-battery.pc.in ${PROJECT_BINARY_DIR}/numerical-test-battery.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/numerical-test-battery.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
