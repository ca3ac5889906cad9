# Install-time script, included by cmake_install.cmake with TREE set to the
# installed resource folder (…/share/lumbrel). The packer's files are read by
# the bundled runtime and never run by themselves, so they lose their
# executable bits, and a "#!" line loses its text: it would name an interpreter
# that the package does not depend on. The line stays, empty, so that line
# numbers in the packer's messages stay right. Only the packer's two trees are
# touched.

file(GLOB_RECURSE _files ${TREE}/repomix/* ${TREE}/node_modules/*)
foreach(_file IN LISTS _files)
    if(IS_SYMLINK ${_file})
        continue()
    endif()
    file(READ ${_file} _head LIMIT 2)
    if(_head MATCHES "^#!")
        file(READ ${_file} _content)
        string(REGEX REPLACE "^#![^\n]*" "" _content "${_content}")
        file(WRITE ${_file} "${_content}")
    endif()
    file(CHMOD ${_file} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
