# The /proc lookup and the message need no rights; start-up without access
# runs as nobody, where the ports are refused (as root ioperm could succeed,
# and no test may write to a real port).
add_executable(port_io_linux_tests parport_proc_test.cpp port_io_linux_test.cpp)
target_link_libraries(port_io_linux_tests PRIVATE port_io GTest::gtest_main)
pipeserver_add_test(NAME port_io_linux_tests COMMAND port_io_linux_tests)

pipeserver_add_test(NAME port_linux_no_access
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/no_access_linux.sh $<TARGET_FILE:port_start>)
set_tests_properties(port_linux_no_access PROPERTIES SKIP_RETURN_CODE 77)
