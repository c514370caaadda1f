# Script mode: generates the factory bank into a scratch file and fails unless
# it equals the committed one.
#   cmake -DGENERATOR=<exe> -DSOURCE=<programs.txt> -DOUTPUT=<file> -DEXPECTED=<file> -P CheckFactoryBank.cmake
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(REMOVE "${OUTPUT}")
execute_process(COMMAND "${GENERATOR}" "${SOURCE}" "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gen-factory-bank failed: ${result}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUTPUT}" "${EXPECTED}" RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "regenerated bank differs from ${EXPECTED}; run the factory-bank target")
endif()
message(STATUS "factory bank: the regenerated file equals the committed one")
