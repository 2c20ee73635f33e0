# Installation: headers, the shared libraries, qavtas, a CMake package (QAV::TasOptimizer,
# QAV::Platform, QAV::TasEllipseFit) and pkg-config files (QAVTasOptimizer, QAVTasEllipseFit).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QAV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/qavtas)
set(QAV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QAVTasOptimizer)

foreach(lib QAVPlatform QAVTasOptimizer QAVTasEllipseFit)
  target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${QAV_INSTALL_INCLUDEDIR}>)
  target_compile_features(${lib} PUBLIC cxx_std_17)
  set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
                                          INSTALL_RPATH "$ORIGIN")
endforeach()
set_target_properties(QAVPlatform PROPERTIES EXPORT_NAME Platform)
set_target_properties(QAVTasOptimizer PROPERTIES EXPORT_NAME TasOptimizer)
set_target_properties(QAVTasEllipseFit PROPERTIES EXPORT_NAME TasEllipseFit)
add_library(QAV::Platform ALIAS QAVPlatform)
add_library(QAV::TasOptimizer ALIAS QAVTasOptimizer)
add_library(QAV::TasEllipseFit ALIAS QAVTasEllipseFit)
set_target_properties(qavtas PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS QAVPlatform QAVTasOptimizer QAVTasEllipseFit EXPORT QAVTasOptimizerTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${QAV_INSTALL_INCLUDEDIR})
install(TARGETS qavtas RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Only include/ folders install: internal headers live in src/.
list(TRANSFORM QAV_TAS_INCLUDE_DIRS APPEND / OUTPUT_VARIABLE QAV_TAS_INSTALL_DIRS)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/QAVPlatform/include/ ${QAV_TAS_INSTALL_DIRS} ${QAV_FIT_DIR}/include/
        DESTINATION ${QAV_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/QAVTasOptimizerVersion.h DESTINATION ${QAV_INSTALL_INCLUDEDIR})

install(EXPORT QAVTasOptimizerTargets NAMESPACE QAV:: DESTINATION ${QAV_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QAVTasOptimizerConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/QAVTasOptimizerConfig.cmake
                              INSTALL_DESTINATION ${QAV_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QAVTasOptimizerConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QAVTasOptimizerConfig.cmake
              ${PROJECT_BINARY_DIR}/QAVTasOptimizerConfigVersion.cmake
        DESTINATION ${QAV_INSTALL_CMAKEDIR})

# The .pc file finds its prefix from where it lies, so an installed tree can be moved.
file(RELATIVE_PATH QAV_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
foreach(pc QAVTasOptimizer QAVTasEllipseFit)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
