# The Debian package, made by `cpack -G DEB` in the build folder from what `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Velloran)
set(CPACK_PACKAGE_CONTACT "Velloran <velloran@users.noreply.github.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/velloran/quillmark")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
# CPack puts the summary on the Description's first line and indents each line of the rest by one blank; an
# empty line becomes the " ." that separates paragraphs.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see how far the gettext translations in a folder have come")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillmark lists every PO file in a folder, checks each one with msgfmt and
shows per file a status, a bar of translated, fuzzy and untranslated
messages, the counts and a state icon. Files that change are checked again
when they are saved, and the full msgfmt output of one file has a page of
its own.

quillmark-report prints the same catalog as a table, tab-separated rows,
JSON or JUnit XML, for maintainers' scripts and continuous integration.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link come from dpkg-shlibdeps; msgfmt is run, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gettext")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# Stripping keeps the compiler's version notes; Debian's packages leave them out, as dh_strip does.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(program quillmark quillmark-report)
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
