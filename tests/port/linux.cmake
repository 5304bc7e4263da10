# The /proc lookup and the message need no rights; start-up without access
# runs as nobody, where the ports are refused (as root ioperm could succeed,
# and no test may write to a real port).
pipeserver_add_gtest(port_io_linux_tests SOURCES parport_proc_test.cpp port_io_linux_test.cpp LIBS port_io)

pipeserver_add_test(NAME port_linux_no_access
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/no_access_linux.sh $<TARGET_FILE:port_start>)
set_tests_properties(port_linux_no_access PROPERTIES SKIP_RETURN_CODE 77)
