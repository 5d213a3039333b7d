# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack for each generator.
if(CPACK_GENERATOR STREQUAL "DEB")
    # Installed with the real prefix into a staging DESTDIR, so that the menu entry names the program
    # where the package puts it, not where it was staged.
    set(CPACK_SET_DESTDIR ON)
    set(CPACK_INSTALL_PREFIX /usr)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
    # The portable folder alone, as one folder in the archive.
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL portable)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_LUMSIFTER_PORTABLE_NAME}")
    set(CPACK_ARCHIVE_FILE_NAME "${CPACK_LUMSIFTER_PORTABLE_NAME}")
endif()
