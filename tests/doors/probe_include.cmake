# Preprocesses a file that holds only `#include "HEADER"`, with the include folders INCLUDES
# ("|"-separated) that a library's own sources see, and checks that HEADER is reachable or not
# as EXPECT says. Run by CTest: cmake -DCOMPILER=... -DINCLUDES=... -DHEADER=... -DEXPECT=...
# -DWORK_DIR=... -P probe_include.cmake
foreach(input COMPILER INCLUDES HEADER EXPECT WORK_DIR)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "probe_include.cmake needs -D${input}=...")
  endif()
endforeach()

string(MAKE_C_IDENTIFIER "${HEADER}" probe_name)
set(probe "${WORK_DIR}/${probe_name}.cpp")
file(WRITE "${probe}" "#include \"${HEADER}\"\n")
string(REPLACE "|" ";" folders "${INCLUDES}")
set(flags)
foreach(folder IN LISTS folders)
  list(APPEND flags "-I${folder}")
endforeach()
execute_process(
  COMMAND "${COMPILER}" -E ${flags} "${probe}" -o "${WORK_DIR}/${probe_name}.i"
  RESULT_VARIABLE result
  ERROR_VARIABLE errors)

if(EXPECT STREQUAL "reachable")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "'${HEADER}' should be reachable from ${INCLUDES}:\n${errors}")
  endif()
elseif(EXPECT STREQUAL "unreachable")
  if(result EQUAL 0)
    message(FATAL_ERROR "'${HEADER}' is a private header, yet it compiles from ${INCLUDES}")
  endif()
  # Failing for another reason (a bad compiler, a bad flag) proves nothing.
  string(FIND "${errors}" "${HEADER}" named)
  if(named EQUAL -1)
    message(FATAL_ERROR "The probe failed, but not for want of '${HEADER}':\n${errors}")
  endif()
else()
  message(FATAL_ERROR "EXPECT is reachable or unreachable, not '${EXPECT}'")
endif()
message(STATUS "'${HEADER}' is ${EXPECT} from ${INCLUDES}")
