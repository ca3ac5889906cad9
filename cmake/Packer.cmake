# Installs the pinned packer (Repomix) and its Node.js runtime from the
# committed lock file with `npm ci`, and lays them out in the stage tree.
# npm's own cache keeps a rebuild offline; the stamp keeps it from running
# again until the lock file changes.

find_program(LUMBREL_NPM npm)
if(NOT LUMBREL_NPM)
    message(FATAL_ERROR "npm is needed to install the bundled packer (Debian: apt-get install npm)")
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Darwin")
    set(_node_os darwin)
elseif(WIN32)
    set(_node_os win)
else()
    set(_node_os linux)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
    set(_node_arch arm64)
else()
    set(_node_arch x64)
endif()
set(LUMBREL_NODE_PACKAGE "node-${_node_os}-${_node_arch}" CACHE STRING
    "npm package that carries the Node.js runtime for this platform")
set(LUMBREL_NODE_RUNTIME "" CACHE FILEPATH
    "A Node.js 22+ binary to ship instead of the one from LUMBREL_NODE_PACKAGE (for platforms the registry does not carry)")

set(LUMBREL_RESOURCE_DIR ${LUMBREL_STAGE_DIR}/${CMAKE_INSTALL_DATADIR}/lumbrel)
if(APPLE)
    # Inside the bundle, Contents/MacOS holds the runtime under the name of its architecture.
    if(_node_arch STREQUAL "arm64")
        set(_runtime_name arm-node)
    else()
        set(_runtime_name intel-node)
    endif()
    set(LUMBREL_RUNTIME ${LUMBREL_STAGE_DIR}/${CMAKE_INSTALL_LIBEXECDIR}/lumbrel/${_runtime_name})
elseif(WIN32)
    set(LUMBREL_RUNTIME ${LUMBREL_STAGE_DIR}/${CMAKE_INSTALL_BINDIR}/lumbrel-node.exe)
else()
    set(LUMBREL_RUNTIME ${LUMBREL_STAGE_DIR}/${CMAKE_INSTALL_LIBEXECDIR}/lumbrel/node)
endif()
set(LUMBREL_SCRIPT ${LUMBREL_RESOURCE_DIR}/repomix/bin/repomix.cjs)

set(_stamp ${CMAKE_BINARY_DIR}/packer.stamp)
add_custom_command(
    OUTPUT ${_stamp}
    COMMAND ${CMAKE_COMMAND}
            -DNPM=${LUMBREL_NPM}
            -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/packer
            -DRESOURCE_DIR=${LUMBREL_RESOURCE_DIR}
            -DRUNTIME=${LUMBREL_RUNTIME}
            -DNODE_PACKAGE=${LUMBREL_NODE_PACKAGE}
            -DNODE_RUNTIME_OVERRIDE=${LUMBREL_NODE_RUNTIME}
            -DSTAMP=${_stamp}
            -P ${CMAKE_SOURCE_DIR}/cmake/InstallPacker.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/packer/package.json
            ${CMAKE_SOURCE_DIR}/packer/package-lock.json
            ${CMAKE_SOURCE_DIR}/cmake/InstallPacker.cmake
    COMMENT "Installing the bundled packer and Node.js runtime (npm ci)"
    VERBATIM)
add_custom_target(packer ALL DEPENDS ${_stamp})

if(NOT APPLE)
    install(PROGRAMS ${LUMBREL_RUNTIME}
            DESTINATION $<IF:$<BOOL:${WIN32}>,${CMAKE_INSTALL_BINDIR},${CMAKE_INSTALL_LIBEXECDIR}/lumbrel>)
    install(DIRECTORY ${LUMBREL_RESOURCE_DIR}/
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lumbrel
            USE_SOURCE_PERMISSIONS)
endif()
