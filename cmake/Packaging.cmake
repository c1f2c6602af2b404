# The Debian package: `cmake --build build --target package` (make package) writes
# build/korvane-vantrix_<version>_<arch>.deb.
#
# The program directory goes under /opt/korvane-vantrix exactly as `cmake --install` lays it
# out. What the desktop needs lies outside that prefix, in the install component "desktop",
# which a plain `cmake --install` leaves out: the commands korvane-vantrix and vantrix-cli in
# /usr/bin (links into the program directory; both programs find their directory through
# /proc/self/exe), the menu entry, the icon, the AppStream metainfo, the man pages, the bash
# completion of vantrix-cli, the copyright notes and the changelog.

set(KV_PACKAGE_NAME korvane-vantrix)
set(KV_PACKAGE_PREFIX /opt/${KV_PACKAGE_NAME})
set(KV_APP_ID example.korvane.Vantrix)
set(KV_PACKAGING_SRC ${CMAKE_SOURCE_DIR}/packaging)
set(KV_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${KV_PACKAGING_OUT})

find_program(KV_HELP2MAN help2man)
if(NOT KV_HELP2MAN)
    message(FATAL_ERROR "help2man not found: it writes the man page of vantrix-cli for the "
                        "package (install it, or configure with -DKV_PACKAGE=OFF)")
endif()

# Texts that carry the version: the window's man page and the changelog, gzipped.
foreach(text korvane-vantrix.1 changelog)
    configure_file(${KV_PACKAGING_SRC}/${text}.in ${KV_PACKAGING_OUT}/${text} @ONLY)
    list(APPEND KV_PACKAGE_TEXTS ${KV_PACKAGING_OUT}/${text}.gz)
    add_custom_command(OUTPUT ${KV_PACKAGING_OUT}/${text}.gz
                       COMMAND gzip -9nkf ${KV_PACKAGING_OUT}/${text}
                       DEPENDS ${KV_PACKAGING_OUT}/${text} VERBATIM)
endforeach()

# The man page of vantrix-cli comes from its --help, so it shows the options of this build.
configure_file(${KV_PACKAGING_SRC}/vantrix-cli.h2m.in ${KV_PACKAGING_OUT}/vantrix-cli.h2m @ONLY)
set(KV_MANPAGE ${KV_PACKAGING_OUT}/vantrix-cli.1)
add_custom_command(
    OUTPUT ${KV_MANPAGE}.gz
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            ${KV_HELP2MAN} --locale=C.UTF-8 --no-info --version-string=${PROJECT_VERSION}
            --name=rate\ refrigeration\ compressors\ from\ the\ catalogue
            --include=${KV_PACKAGING_OUT}/vantrix-cli.h2m --output=${KV_MANPAGE}
            $<TARGET_FILE:vantrix-cli>
    COMMAND gzip -9nf ${KV_MANPAGE}
    DEPENDS vantrix-cli ${KV_PACKAGING_OUT}/vantrix-cli.h2m
    COMMENT "Writing the man page of vantrix-cli" VERBATIM)
add_custom_target(kv_package_texts ALL DEPENDS ${KV_MANPAGE}.gz ${KV_PACKAGE_TEXTS})

# Links in /usr/bin; absolute, as they lead from /usr into /opt.
foreach(link korvane-vantrix:Korvane_Vantrix vantrix-cli:vantrix-cli)
    string(REPLACE ":" ";" link ${link})
    list(GET link 0 command)
    list(GET link 1 target)
    file(CREATE_LINK ${KV_PACKAGE_PREFIX}/${target} ${KV_PACKAGING_OUT}/${command} SYMBOLIC)
    install(FILES ${KV_PACKAGING_OUT}/${command} DESTINATION /usr/bin
            COMPONENT desktop EXCLUDE_FROM_ALL)
endforeach()

install(FILES ${KV_PACKAGING_SRC}/${KV_APP_ID}.desktop DESTINATION /usr/share/applications
        COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_PACKAGING_SRC}/${KV_APP_ID}.svg DESTINATION /usr/share/icons/hicolor/scalable/apps
        COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_PACKAGING_SRC}/${KV_APP_ID}.metainfo.xml DESTINATION /usr/share/metainfo
        COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_MANPAGE}.gz ${KV_PACKAGING_OUT}/korvane-vantrix.1.gz DESTINATION /usr/share/man/man1
        COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_PACKAGING_SRC}/vantrix-cli.bash-completion
        DESTINATION /usr/share/bash-completion/completions RENAME vantrix-cli
        COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_PACKAGING_SRC}/copyright ${KV_PACKAGING_OUT}/changelog.gz
        DESTINATION /usr/share/doc/${KV_PACKAGE_NAME} COMPONENT desktop EXCLUDE_FROM_ALL)
install(FILES ${KV_PACKAGING_SRC}/lintian-overrides DESTINATION /usr/share/lintian/overrides
        RENAME ${KV_PACKAGE_NAME} COMPONENT desktop EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KV_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Korvane)
set(CPACK_PACKAGE_CONTACT "Korvane <support@korvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "selection and rating of refrigeration compressors")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvane Vantrix rates every compressor of the maker's catalogue that matches\n"
    "a refrigerant, a product type and a power supply at the chosen operating\n"
    "conditions, with its operating envelope checked. The window and the command\n"
    "vantrix-cli give the same results.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${KV_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified desktop)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://korvane.example/vantrix/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module (in /usr/lib/python3/dist-packages, component "desktop") is for
# Debian's python3 of this release and gives its arrays with NumPy.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3 (>= 3.11), python3 (<< 3.12), python3-numpy")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
