# The Debian package of the Linux programs: the programs in /usr/bin, a
# manual page for each, pipeserver's desktop entry and icon, the changelog
# and copyright file every Debian package has. Its dependencies come from
# dpkg-shlibdeps.
find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)

set(debian_dir ${CMAKE_CURRENT_SOURCE_DIR}/debian)
set(out ${CMAKE_CURRENT_BINARY_DIR})
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(generated)

# The changelog's newest entry must be this version: a version raised in
# the tree without a word in the changelog stops here.
file(STRINGS ${debian_dir}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^${CPACK_PACKAGE_NAME} \\(([^)]+)\\)")
  message(FATAL_ERROR "packaging: cannot read the version in packaging/debian/changelog")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "packaging: packaging/debian/changelog ends at ${CMAKE_MATCH_1}, "
    "the tree is at ${CPACK_PACKAGE_VERSION}: add an entry for it")
endif()

# gzip -n: no name or time stamp in the file, so the same tree gives the
# same package.
function(gzip_file source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

gzip_file(${debian_dir}/changelog ${out}/changelog.gz)
list(APPEND generated ${out}/changelog.gz)
install(FILES ${out}/changelog.gz ${debian_dir}/copyright
  DESTINATION ${doc_dir} COMPONENT ${component})

# Manual pages: pipeserver's written here; the clients' made from their
# --help, so that they say what the programs do.
configure_file(man/pipeserver.1 ${out}/pipeserver.1 @ONLY)
gzip_file(${out}/pipeserver.1 ${out}/pipeserver.1.gz)
set(man_pages ${out}/pipeserver.1.gz)
set(man_name_lightsend "send light commands and patterns to pipeserver")
set(man_name_lightbeat "make pipeserver's lamps follow what the system plays")
foreach(client lightsend lightbeat)
  if(NOT TARGET ${client})
    continue()
  endif()
  add_custom_command(OUTPUT ${out}/${client}.1
    COMMAND ${HELP2MAN} --no-info --section=1 --version-string=${PIPESERVER_VERSION}
            "--name=${man_name_${client}}" --output=${out}/${client}.1
            $<TARGET_FILE:${client}>
    DEPENDS ${client} VERBATIM)
  gzip_file(${out}/${client}.1 ${out}/${client}.1.gz)
  list(APPEND man_pages ${out}/${client}.1.gz)
endforeach()
list(APPEND generated ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})

# The user service for a computer without a display (--no-window), and the
# example of its outputs file, which the service reads from the user's
# ~/.config/pipeserver/outputs.
install(FILES ${debian_dir}/pipeserver.service
  DESTINATION lib/systemd/user COMPONENT ${component})
install(FILES ${debian_dir}/outputs.example RENAME outputs
  DESTINATION ${doc_dir}/examples COMPONENT ${component})

# The desktop entry and the icon in the hicolor theme, from the program's
# own 32 x 32 icon; enlarged pixel for pixel (the picture is pixel art).
install(FILES ${debian_dir}/pipeserver.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${component})
foreach(size 16 32 48 64 128 256)
  set(png ${out}/icons/${size}x${size}/pipeserver.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}x${size}
    # The largest image of the .ico ([0]); no time stamps in the PNG.
    COMMAND ${IMAGEMAGICK_CONVERT} ${PROJECT_SOURCE_DIR}/res/npserver.ico[0]
            -filter point -resize ${size}x${size} -strip
            -define png:exclude-chunks=date,time PNG32:${png}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/npserver.ico VERBATIM)
  list(APPEND generated ${png})
  install(FILES ${png}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    COMPONENT ${component})
endforeach()

# In every build, so that `cmake --install` finds them.
add_custom_target(debian_files ALL DEPENDS ${generated})
add_dependencies(release_files debian_files)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "Pipe Server Vantrelle developers <maintainers@users.noreply.c-seed-633aa440.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION
"A media player's plug-in writes light commands into a pipe; pipeserver
shows them as two rows of eight lamps in a small window and, given a
parallel-port address, latches the lamp states onto the port's pins for
real lamps. lightsend plays fixed patterns into it.")
if(TARGET lightbeat)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
    "\nlightbeat makes the lamps follow what the system plays.")
endif()
