# Installed like a Debian desktop program. The executable reads its chime and loads its sound
# module from its own folder, so they live in a folder of their own and bin/ holds only a relative link to the executable.
# Not CMAKE_INSTALL_LIBDIR: with the /usr prefix on Debian that carries the multiarch triplet.
set(KOKUGO_INSTALL_PKGLIBDIR lib/kokugo-mogi)

# Qt comes from the system, so the installed executable needs no library search path of its own.
set_target_properties(kokugo-mogi PROPERTIES INSTALL_RPATH "")
install(TARGETS kokugo-mogi RUNTIME DESTINATION ${KOKUGO_INSTALL_PKGLIBDIR})
# The sound module is loaded from beside the executable, like the chime.
set_target_properties(kokugo-sound PROPERTIES INSTALL_RPATH "")
install(TARGETS kokugo-sound LIBRARY DESTINATION ${KOKUGO_INSTALL_PKGLIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/kokugo-mogi.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kokugo-mogi)
install(FILES ${PROJECT_SOURCE_DIR}/data/Zikan.wav DESTINATION ${KOKUGO_INSTALL_PKGLIBDIR})

file(RELATIVE_PATH kokugo_link_target /${CMAKE_INSTALL_BINDIR} /${KOKUGO_INSTALL_PKGLIBDIR}/kokugo-mogi)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install-link)
file(CREATE_LINK ${kokugo_link_target} ${PROJECT_BINARY_DIR}/install-link/kokugo-mogi SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/install-link/kokugo-mogi DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/data/kokugo-mogi.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/io.github.kokugo_mogi.kokugo_mogi.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

# The manual page in Japanese with an English one beside it, and the changelog in Debian's
# format, compressed as Debian wants them: at the highest level and without a time stamp.
find_program(KOKUGO_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/docs/kokugo-mogi.ja.1.in ${PROJECT_BINARY_DIR}/man/ja/kokugo-mogi.1
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/kokugo-mogi.1.in ${PROJECT_BINARY_DIR}/man/en/kokugo-mogi.1
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/changelog ${PROJECT_BINARY_DIR}/doc/changelog COPYONLY)
foreach(document man/ja/kokugo-mogi.1 man/en/kokugo-mogi.1 doc/changelog)
    execute_process(COMMAND ${KOKUGO_GZIP} -9nkf ${PROJECT_BINARY_DIR}/${document}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/man/ja/kokugo-mogi.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(FILES ${PROJECT_BINARY_DIR}/man/en/kokugo-mogi.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kokugo-mogi)
set(CPACK_PACKAGE_VENDOR "The kokugo-mogi developers")
set(CPACK_PACKAGE_CONTACT "kokugo-mogi developers <kokugo-mogi@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "timed practice exam for the Japanese section of the entrance test")
set(CPACK_PACKAGE_DESCRIPTION
    "A practice paper in the style of the Japanese-language section (kokugo I
and II) of the national university entrance test. One window holds the
question booklet and four passages, an 80-minute clock that chimes when time
is up, a 34-slot answer sheet and a Score button that marks every slot against
the answer key; a pass-rate window then shows what the score means.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps names the Qt libraries with the versions the executable needs; the font is
# only looked up by name at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-ipafont-gothic)
# Without it the program still runs on a Wayland desktop, through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
