# Compiles one include line with the include roots of a layer's own sources
# and checks the result: a header of the layer or of a layer below it must be
# found, a header of a higher layer must not.
#   -DCOMPILER=... -DLAYER=docbase -DINCLUDES=<dir;dir> -DHEADER=qdat/station/QStation.h
#   -DEXPECT=fail|pass -DWORK=<scratch folder>
set(flags)
foreach(dir ${INCLUDES})
  list(APPEND flags -I${dir})
endforeach()
file(WRITE ${WORK}/probe.cpp "#include <${HEADER}>\n")
execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${flags} ${WORK}/probe.cpp
                RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
if(EXPECT STREQUAL "fail" AND rc EQUAL 0)
  message(FATAL_ERROR "layer ${LAYER} can include ${HEADER}, a header of a higher layer")
elseif(EXPECT STREQUAL "pass" AND NOT rc EQUAL 0)
  message(FATAL_ERROR "layer ${LAYER} cannot include ${HEADER}:\n${err}")
endif()
