# The Linux program: an FLTK window on X11 over the shared core.
find_package(FLTK REQUIRED NO_MODULE)
find_package(X11 REQUIRED)

# Everything but the port back end, so that tests can link a recording one.
add_library(pipeserver_front OBJECT
  headless_linux.cpp
  main_fltk.cpp
  main_window_fltk.cpp
  message_box_fltk.cpp
  listener_sink.cpp
  ui_ops_fltk.cpp
)
# --help and the outputs' faults on the console, before any window.
target_sources(app_core PRIVATE output_console.cpp)
target_link_libraries(pipeserver_front PUBLIC app_core pipe_listener load_text_table fltk X11::X11)

# With the real port back end (port/port_io_linux.cpp: ppdev, else ioperm).
add_executable(pipeserver)
target_link_libraries(pipeserver PRIVATE pipeserver_front port_io)
