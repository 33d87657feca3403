# Installs the built library into a scratch prefix, then configures, builds and
# runs the consumer project against it: it reads a file's envelope, and writes
# the alignment of a plan element file as LandXML through the exchange library.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
# Hosts get the public headers under one root, and nothing of the library's
# own parts.
file(GLOB_RECURSE internals LIST_DIRECTORIES true ${WORK_DIR}/prefix/include/qdat/*/detail
     ${WORK_DIR}/prefix/include/qdat/*/detail/* ${WORK_DIR}/prefix/include/qdat/*/NumberText.h)
if(internals OR NOT EXISTS ${WORK_DIR}/prefix/include/qdat/host/Export.h)
  message(FATAL_ERROR "the installed headers are not the public ones: ${internals}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer/project -B ${WORK_DIR}/build -G Ninja
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "build failed")
endif()
execute_process(COMMAND ${WORK_DIR}/build/consumer ${DATA_FILE} ${PLAN_FILE} ${WORK_DIR}/plan.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
message(STATUS "${out}")
if(rc)
  message(FATAL_ERROR "the consumer failed")
endif()
file(READ ${WORK_DIR}/plan.xml landxml)
if(NOT landxml MATCHES "<LandXML" OR NOT landxml MATCHES "<Spiral")
  message(FATAL_ERROR "the consumer's LandXML holds no alignment")
endif()
