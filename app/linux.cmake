# The Linux program: an FLTK window on X11 over the shared core.
find_package(FLTK REQUIRED NO_MODULE)
find_package(X11 REQUIRED)

# Everything but the port back end, so that tests can link a recording one.
add_library(pipeserver_front OBJECT
  main_fltk.cpp
  main_window_fltk.cpp
  message_box_fltk.cpp
  ui_ops_fltk.cpp
)
target_link_libraries(pipeserver_front PUBLIC app_core pipe_listener string_table fltk X11::X11)

# The port back end comes with lights (ppdev, else ioperm).
if(TARGET port_io)
  add_executable(pipeserver)
  target_link_libraries(pipeserver PRIVATE pipeserver_front port_io)
else()
  message(STATUS "pipeserver: no port back end (target port_io) yet; only the test variant is built")
endif()
