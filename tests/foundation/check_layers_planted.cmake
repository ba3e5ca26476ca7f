# The layer check must fail on a room that includes a room above it: a tree of two
# rooms where the lower includes the upper. Run as: cmake -DWORK=<dir> -DCHECK=<script> -P
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/pipe/pipe_server.h "#pragma once\n")
file(WRITE ${WORK}/jobs/end_doc.cpp "#include \"jobs/document.h\"\n#include \"pipe/pipe_server.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -P ${CHECK} RESULT_VARIABLE result ERROR_VARIABLE text)
if(result EQUAL 0 OR NOT text MATCHES "jobs/end_doc.cpp: #include \"pipe/pipe_server.h\"")
  message(FATAL_ERROR "the layer check let an upward include pass: ${result} ${text}")
endif()
file(WRITE ${WORK}/jobs/end_doc.cpp "#include \"port/port_record.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -P ${CHECK} RESULT_VARIABLE result ERROR_VARIABLE text)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the layer check refused a downward include: ${text}")
endif()
