# Fails when PROGRAM needs a Qt Widgets library, or when its needed libraries cannot be read.
find_program(READELF readelf REQUIRED)
execute_process(COMMAND ${READELF} -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT dynamic MATCHES "libQt6Core")
  message(FATAL_ERROR "Cannot read the needed libraries of ${PROGRAM}")
endif()
if(dynamic MATCHES "libQt6(Widgets|PrintSupport)")
  message(FATAL_ERROR "${PROGRAM} needs ${CMAKE_MATCH_0}: a core library reaches Qt Widgets")
endif()
