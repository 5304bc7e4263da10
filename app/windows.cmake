# The Windows program, pipeserver.exe: the Win32 front end over the shared
# core, with its resources, the named-pipe listener and the port back end.

# The window procedure and the UI operations, apart from WinMain, so the
# Windows tests can drive the real window with a listener of their own. An
# object library: the core calls ui_ops_win.cpp, so both objects
# are always linked whatever the static libraries' order.
add_library(app_win OBJECT main_window_win.cpp ui_ops_win.cpp listener_sink.cpp)
target_link_libraries(app_win PUBLIC app_core)

# All of the program but its NotePaint, so that the flood tests build the same
# program with one that counts. An object library: its objects, resources
# too, go into the link as they did when they were the executable's own; as
# CMake passes on no object library's objects, its users link app_win and
# port_io too.
add_library(pipeserver_win_main OBJECT winmain_win.cpp format_win.cpp ${PROJECT_SOURCE_DIR}/res/pipeserver.rc)
# The listener hands its lines to app/, app/ to lights, lights to the port back end.
target_link_libraries(pipeserver_win_main PUBLIC app_win pipe_listener lights port_io)
# windres finds npserver.ico and strings.h beside the script.
target_include_directories(pipeserver_win_main PRIVATE ${PROJECT_SOURCE_DIR}/res)

add_executable(pipeserver WIN32)
target_link_libraries(pipeserver PRIVATE pipeserver_win_main app_win port_io)
target_link_options(pipeserver PRIVATE ${PIPESERVER_PROGRAM_LINK_OPTIONS})
