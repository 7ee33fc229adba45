# Installing the Linux tools the way Linux tools are installed (cmake --install, or the .deb
# that cpack builds): each tool with its man page. A new tool takes one line in its folder:
#   brind_install_tool(<target> <man section>)
# with its page in man/<target>.<section> beside it. Section 8 tools go to sbin, others to bin.
include(GNUInstallDirs)

function(brind_install_tool target section)
  if(section STREQUAL "8")
    set(dir ${CMAKE_INSTALL_SBINDIR})
  else()
    set(dir ${CMAKE_INSTALL_BINDIR})
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${dir})
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/man/${target}.${section}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  # The package test checks each installed tool against its man page.
  set_property(GLOBAL APPEND PROPERTY BRIND_INSTALLED_TOOLS "${dir}/${target}:${section}")
endfunction()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlewood)
set(CPACK_PACKAGE_VENDOR "Oakhurst")
set(CPACK_PACKAGE_CONTACT "Brindlewood developers <brindlewood@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Format 1.44 MB floppy disks and images as empty Macintosh HFS volumes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "brindlewood-format formats floppy images, floppy drives and USB floppy drives as empty\n\
Macintosh HFS volumes; brindlewood-charmap shows, writes, checks and applies the\n\
character map files (CHARMAP.MAC) of the Windows programs.")
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Depends: from the libraries the programs load (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
