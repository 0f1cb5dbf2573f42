# Installing lumo (`cmake --install`, `make install PREFIX=...`) and its Debian package
# (`make package`). The build folder mirrors the installed share/ folder, so that lumo finds its
# files next to itself in both places: <prefix>/bin/lumo reads <prefix>/share/lumo/guide/.

# The user guide: copied into the build folder whenever a page changes, and installed.
set(lumo_guide_source ${CMAKE_SOURCE_DIR}/doc/guide)
set(lumo_guide_build ${CMAKE_BINARY_DIR}/share/lumo/guide)
file(GLOB_RECURSE lumo_guide_files CONFIGURE_DEPENDS ${lumo_guide_source}/*)
set(lumo_guide_copies)
foreach(page ${lumo_guide_files})
    file(RELATIVE_PATH relative ${lumo_guide_source} ${page})
    add_custom_command(OUTPUT ${lumo_guide_build}/${relative}
        COMMAND ${CMAKE_COMMAND} -E copy ${page} ${lumo_guide_build}/${relative}
        DEPENDS ${page})
    list(APPEND lumo_guide_copies ${lumo_guide_build}/${relative})
endforeach()
add_custom_target(lumo_guide ALL DEPENDS ${lumo_guide_copies})
if(TARGET lumo)
    add_dependencies(lumo lumo_guide)
endif()
if(lumo_guide_files)
    install(DIRECTORY ${lumo_guide_source}/ DESTINATION share/lumo/guide)
endif()

# Manual pages, compressed as Debian ships them.
set(lumo_man_pages)
foreach(page lumo.1 lumo-cli.1)
    set(compressed ${CMAKE_BINARY_DIR}/share/man/man1/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/man/man1
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/doc/man/${page} > ${compressed}
        DEPENDS ${CMAKE_SOURCE_DIR}/doc/man/${page}
        VERBATIM)
    list(APPEND lumo_man_pages ${compressed})
endforeach()
add_custom_target(lumo_man_pages ALL DEPENDS ${lumo_man_pages})
install(FILES ${lumo_man_pages} DESTINATION share/man/man1)

# The Debian package. Its library dependencies come from dpkg-shlibdeps; what lumo loads at run
# time without linking it is named here: the SVG plugins that draw every picture, the Japanese
# faces the log and dialogs are drawn with, and Qt's own Japanese texts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumo)
set(CPACK_PACKAGE_VENDOR lumo)
set(CPACK_PACKAGE_CONTACT "lumo developers <lumo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FTP client with a Japanese user interface")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "lumo transfers files to and from FTP servers: register hosts, connect, browse the remote\n"
    "folder, download and upload files and folder trees, delete, rename, create folders and\n"
    "change permissions, with a log of every command and reply. It opens ftp:// links.\n"
    "lumo-cli runs the same engine from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-frontend-qt6")
include(CPack)
