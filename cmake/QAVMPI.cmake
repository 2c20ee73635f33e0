# libQAVTasOptimizerMPI: engine evaluations spread over MPI ranks, its example and its tests.
set(QAV_MPI_DIR ${PROJECT_SOURCE_DIR}/QAVToleranceAnalysis/QAVTasOptimizerMPI.m)
add_library(QAVTasOptimizerMPI SHARED ${QAV_MPI_DIR}/src/QAVTasMPIEvaluation.cpp)
target_include_directories(QAVTasOptimizerMPI PUBLIC $<BUILD_INTERFACE:${QAV_MPI_DIR}/include>)
target_link_libraries(QAVTasOptimizerMPI PUBLIC QAVTasOptimizer MPI::MPI_CXX)
target_compile_options(QAVTasOptimizerMPI PRIVATE ${QAV_WARNINGS})
# Its only API is one class template, instantiated here for both gene types.
set_target_properties(QAVTasOptimizerMPI PROPERTIES CXX_VISIBILITY_PRESET default VISIBILITY_INLINES_HIDDEN OFF
                      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} INSTALL_RPATH "$ORIGIN")
install(TARGETS QAVTasOptimizerMPI LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${QAV_MPI_DIR}/include/QAVTasMPIEvaluation.h DESTINATION ${QAV_INSTALL_INCLUDEDIR})

add_executable(qavtas_mpi_example ${PROJECT_SOURCE_DIR}/examples/mpi/QAVMPIExample.cpp)
target_link_libraries(qavtas_mpi_example PRIVATE QAVTasOptimizerMPI)
target_compile_options(qavtas_mpi_example PRIVATE ${QAV_WARNINGS})

if(QAV_BUILD_TESTS)
  foreach(mode same throw die)
    add_test(NAME mpi_example_${mode}
             COMMAND sh ${PROJECT_SOURCE_DIR}/examples/mpi/mpi_check.sh ${mode} $<TARGET_FILE:qavtas_mpi_example>)
    set_tests_properties(mpi_example_${mode} PROPERTIES LABELS mpi TIMEOUT 60 RUN_SERIAL ON)
  endforeach()
endif()
