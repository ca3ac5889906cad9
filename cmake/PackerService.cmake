# The packer service (packer/service/packer-service.cjs and what it loads): our own script, run by
# the bundled runtime, that keeps the packer loaded between runs. It lies in the
# resource folder beside the packer, in the build tree as in the installed one:
#   share/lumbrel/service/packer-service.cjs
# Copied at configure time (CMake copies it again when it changes), so every
# target that runs the packer finds it.

set(LUMBREL_SERVICE_SOURCE ${CMAKE_SOURCE_DIR}/packer/service/packer-service.cjs)
set(LUMBREL_SERVICE_SCRIPT ${LUMBREL_RESOURCE_DIR}/service/packer-service.cjs)
set(LUMBREL_SERVICE_FILES packer-service.cjs kept-work.cjs)
foreach(_file IN LISTS LUMBREL_SERVICE_FILES)
    configure_file(${CMAKE_SOURCE_DIR}/packer/service/${_file} ${LUMBREL_RESOURCE_DIR}/service/${_file} COPYONLY)
endforeach()

# The script hooks into the inner modules of one packer version and refuses
# any other at run time (the application then runs the packer's command line
# as before). Say so at configure time when the lock file pins another one.
file(READ ${CMAKE_SOURCE_DIR}/packer/package-lock.json _lock)
string(JSON _locked_version ERROR_VARIABLE _lock_error GET "${_lock}" packages node_modules/repomix version)
file(STRINGS ${LUMBREL_SERVICE_SOURCE} _pinned_line REGEX "^const PACKER_VERSION = '[^']+'")
string(REGEX MATCH "'([^']+)'" _ "${_pinned_line}")
set(_pinned "${CMAKE_MATCH_1}")
if(_lock_error OR NOT _locked_version STREQUAL _pinned)
    message(WARNING "packer/service/packer-service.cjs is written for the packer ${_pinned}, "
                    "but packer/package-lock.json pins ${_locked_version}: the service will refuse to start "
                    "until its hooks are checked against the new version (tst_packer_service) and PACKER_VERSION is updated.")
endif()

if(NOT APPLE)
    list(TRANSFORM LUMBREL_SERVICE_FILES PREPEND ${LUMBREL_RESOURCE_DIR}/service/ OUTPUT_VARIABLE _installed)
    install(FILES ${_installed} DESTINATION ${CMAKE_INSTALL_DATADIR}/lumbrel/service)
endif()
