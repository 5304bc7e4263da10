# The Windows back end decides by what lies beside the .exe, so each case has
# a folder of its own and no other program sees the driver stand-ins.
get_target_property(port_driver port_io PORT_DRIVER_NAME)

# A stand-in of the driver DLL, under the real DLL's name, in <folder> of
# the caller's build folder (the Windows program's tests use it too).
function(add_fake_driver target folder)
  add_library(${target} SHARED ${PROJECT_SOURCE_DIR}/tests/port/fake_inpout.cpp)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${port_driver} PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${folder}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${folder}/lib)
  target_compile_definitions(${target} PRIVATE ${ARGN})
  # Undecorated exports (Inp32, not Inp32@4) for i686's __stdcall.
  target_link_options(${target} PRIVATE -Wl,--kill-at)
endfunction()

add_fake_driver(fake_inpout driver)
add_fake_driver(fake_inpout_old old_driver FAKE_INPOUT_WITHOUT_DRIVER_QUESTION)
add_fake_driver(fake_inpout_bad bad_driver FAKE_INPOUT_WITHOUT_OUT32)

# port_start.exe in each case's folder; no_driver has the .exe alone.
set(port_folders driver old_driver bad_driver no_driver)
set_target_properties(port_start PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/driver)
foreach(folder old_driver bad_driver no_driver)
  add_custom_command(TARGET port_start POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:port_start> ${CMAKE_CURRENT_BINARY_DIR}/${folder}/)
endforeach()
add_dependencies(port_start fake_inpout fake_inpout_old fake_inpout_bad)

pipeserver_add_test(NAME port_win_start
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_port_win.sh
          ${CMAKE_CROSSCOMPILING_EMULATOR} ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/expected
  ENVIRONMENT PORT_DRIVER_DLL=${port_driver}.dll
  TIMEOUT 300)

# The back end itself with no DLL beside it: the probe and its refusal.
pipeserver_add_gtest(port_io_win_tests SOURCES port_io_win_test.cpp LIBS port_io)
target_compile_definitions(port_io_win_tests PRIVATE PORT_DRIVER_DLL="${port_driver}.dll")
set_target_properties(port_io_win_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/unit)
