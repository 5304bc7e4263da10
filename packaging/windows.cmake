# The Windows ZIP of one bitness: the programs, the plug-in DLL and a
# README.txt with Windows line ends.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bitness win64)
  set(BITNESS_TEXT 64-bit)
  set(PORT_DLL inpoutx64.dll)
  set(PLUGIN_BITNESS_NOTE "This DLL is for 64-bit hosts. Winamp is a 32-bit program: it loads\nthe DLL of the 32-bit ZIP.")
else()
  set(bitness win32)
  set(BITNESS_TEXT 32-bit)
  set(PORT_DLL inpout32.dll)
  set(PLUGIN_BITNESS_NOTE "This is the 32-bit DLL, the one Winamp loads.")
endif()

set(README_TITLE "Pipe Server Vantrelle ${PIPESERVER_VERSION}, ${BITNESS_TEXT} Windows")
string(LENGTH "${README_TITLE}" title_length)
string(REPEAT "=" ${title_length} README_TITLE_RULE)

# Only what this ZIP carries is described.
set(README_LIGHTBEAT "")
if(TARGET lightbeat)
  file(READ windows/readme_lightbeat.txt README_LIGHTBEAT)
endif()
set(README_PLUGIN "")
if(TARGET ${plugin_target})
  # The file's own name, whatever prefix or output name the target sets.
  set(PLUGIN_FILE "$<TARGET_FILE_NAME:${plugin_target}>")
  file(READ windows/readme_plugin.txt plugin_text)
  string(CONFIGURE "${plugin_text}" README_PLUGIN @ONLY)
endif()
# The licence the programs carry, indented as a quotation: from LICENSE (its
# terms; the copyright line is in the README itself).
function(indented_text file skip_regex variable)
  file(READ ${file} text)
  if(skip_regex)
    string(REGEX REPLACE "${skip_regex}" "" text "${text}")
  endif()
  string(STRIP "${text}" text)
  string(REGEX REPLACE "\n([^\n])" "\n    \\1" text "${text}")
  set(${variable} "    ${text}" PARENT_SCOPE)
endfunction()
indented_text(${PROJECT_SOURCE_DIR}/LICENSE "^MIT License\n\nCopyright[^\n]*\n" LICENCE_TEXT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(windows/README.txt.in README.txt.in @ONLY)
file(GENERATE OUTPUT README.txt INPUT ${CMAKE_CURRENT_BINARY_DIR}/README.txt.in NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION . COMPONENT ${component})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME pipeserver-${PIPESERVER_VERSION}-${bitness})
# The ZIP unpacks into one folder of that name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
