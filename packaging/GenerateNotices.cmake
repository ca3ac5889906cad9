# Script mode: writes the third-party notices from what the build installed in
# RESOURCE_DIR, so that they follow the lock file without being kept by hand.
#
#   -DRESOURCE_DIR=   the packer's resource folder (repomix/ and node_modules/)
#   -DOWN_LICENSE=    Lumbrel's own licence text
#   -DVERSION=        Lumbrel's version
#   -DCONTACT=        "Name <address>" of the maintainer
#   -DDATA_PATH=      where RESOURCE_DIR lands in the package, e.g. usr/share/lumbrel
#   -DRUNTIME_PATH=   where the runtime lands in the package, e.g. usr/libexec/lumbrel/node
#   -DOUTPUT_DIR=     gets copyright (Debian's machine-readable format),
#                     notices.txt (plain text) and ThirdPartyNotices.js (the
#                     same text for the About dialog)
#
# Every package under node_modules is one component: its package.json gives
# name, version and licence, its licence and notice files the text and the
# copyright lines. Packages whose licence text is identical share an entry.
# The Node.js runtime is the package named like node-<os>-<arch>, of which
# the build kept the manifest and the licence.

cmake_minimum_required(VERSION 3.22)

foreach(_required RESOURCE_DIR OWN_LICENSE VERSION CONTACT DATA_PATH RUNTIME_PATH OUTPUT_DIR)
    if(NOT DEFINED ${_required})
        message(FATAL_ERROR "GenerateNotices.cmake needs -D${_required}=")
    endif()
endforeach()

# CMake lists split on semicolons; licence texts keep theirs behind this mark.
set(_semicolon "<<semicolon>>")

# A JSON string field, or empty.
function(_json_string out json)
    string(JSON _type ERROR_VARIABLE _error TYPE "${json}" ${ARGN})
    if(_error OR NOT _type STREQUAL "STRING")
        set(${out} "" PARENT_SCOPE)
    else()
        string(JSON _value GET "${json}" ${ARGN})
        set(${out} "${_value}" PARENT_SCOPE)
    endif()
endfunction()

# The licence of a manifest as an SPDX-like expression: "license" as text or
# as {type}, or the old "licenses": [{type}, ...].
function(_manifest_license out json)
    _json_string(_license "${json}" license)
    if(NOT _license)
        _json_string(_license "${json}" license type)
    endif()
    if(NOT _license)
        string(JSON _count ERROR_VARIABLE _error LENGTH "${json}" licenses)
        if(NOT _error AND _count GREATER 0)
            math(EXPR _last "${_count} - 1")
            set(_names "")
            foreach(_index RANGE ${_last})
                _json_string(_name "${json}" licenses ${_index} type)
                if(_name)
                    list(APPEND _names "${_name}")
                endif()
            endforeach()
            list(JOIN _names " or " _license)
        endif()
    endif()
    if(NOT _license)
        set(_license "unknown")
    endif()
    # Debian's format writes "or"/"and" in lower case and needs no brackets.
    string(REGEX REPLACE "[()]" "" _license "${_license}")
    string(REPLACE " OR " " or " _license "${_license}")
    string(REPLACE " AND " " and " _license "${_license}")
    set(${out} "${_license}" PARENT_SCOPE)
endfunction()

function(_manifest_author out json)
    _json_string(_author "${json}" author)
    if(NOT _author)
        _json_string(_author "${json}" author name)
    endif()
    string(REGEX REPLACE " *[<(].*$" "" _author "${_author}")
    set(${out} "${_author}" PARENT_SCOPE)
endfunction()

# The text of the licence and notice files in a package folder, tidied:
# Unix line ends, no trailing blanks, at most one empty line in a row.
function(_license_text out dir)
    file(GLOB _candidates LIST_DIRECTORIES false ${dir}/*)
    list(SORT _candidates)
    set(_text "")
    foreach(_file IN LISTS _candidates)
        get_filename_component(_name ${_file} NAME)
        string(TOLOWER "${_name}" _lower)
        if(NOT _lower MATCHES "^(licen[cs]e|copying|copyright|notice|authors|patents|thirdpartynotices)")
            continue()
        endif()
        file(READ ${_file} _content)
        string(REPLACE ";" "${_semicolon}" _content "${_content}")
        if(_text)
            string(APPEND _text "\n\n")
        endif()
        string(APPEND _text "${_content}")
    endforeach()
    string(REPLACE "\r\n" "\n" _text "${_text}")
    string(REPLACE "\r" "\n" _text "${_text}")
    string(REGEX REPLACE "[ \t]+\n" "\n" _text "${_text}")
    string(REGEX REPLACE "\n\n\n+" "\n\n" _text "${_text}")
    string(STRIP "${_text}" _text)
    set(${out} "${_text}" PARENT_SCOPE)
endfunction()

# The copyright lines of a licence text: "Copyright ..." (not the clauses
# about "the above copyright notice"), or "(c)"/"©" with a year (not the
# clauses that licences number (a), (b), (c)).
function(_copyright_lines out text)
    string(REGEX MATCHALL "[^\n]+" _lines "${text}")
    set(_found "")
    foreach(_line IN LISTS _lines)
        string(STRIP "${_line}" _line)
        string(TOLOWER "${_line}" _lower)
        if(_line MATCHES "\\[yyyy\\]|<year>|{yyyy}")
            continue() # a licence's own template for the notice
        endif()
        if((_line MATCHES "^(Copyright|COPYRIGHT)[: ]" AND NOT _lower MATCHES "^copyright (notice|holder|owner|and|law|license)")
           OR _line MATCHES "^(\\([Cc]\\)|©).*[0-9][0-9][0-9][0-9]")
            string(REGEX REPLACE "^[Cc][Oo][Pp][Yy][Rr][Ii][Gg][Hh][Tt]:? *" "" _line "${_line}")
            if(_line)
                list(APPEND _found "${_line}")
            endif()
        endif()
    endforeach()
    list(REMOVE_DUPLICATES _found)
    set(${out} "${_found}" PARENT_SCOPE)
endfunction()

# Debian's format: continuation lines start with a space, empty ones are " .".
function(_dep5_block out text)
    string(REPLACE "\n" "\n " _block "${text}")
    string(REPLACE "\n \n" "\n .\n" _block "${_block}")
    set(${out} "${_block}" PARENT_SCOPE)
endfunction()

# Debian's copyright files point to /usr/share/common-licenses for the licences
# found there instead of repeating them: each full copy of the Apache License
# 2.0 or the LGPL 2.1 in a text becomes such a reference.
function(_refer_to_common_licenses out text)
    set(_result "")
    set(_rest "${text}")
    while(TRUE)
        string(REGEX MATCH "Apache License[ \t\n]+Version 2\\.0, January 2004|GNU LESSER GENERAL PUBLIC LICENSE[ \t\n]+Version 2\\.1, February 1999"
               _header "${_rest}")
        if(NOT _header)
            break()
        endif()
        if(_header MATCHES "^Apache")
            set(_name Apache-2.0)
            set(_title "the Apache License, Version 2.0")
            set(_ends "END OF TERMS AND CONDITIONS")
        else()
            set(_name LGPL-2.1)
            set(_title "the GNU Lesser General Public License, version 2.1")
            set(_ends "That's all there is to it!" "END OF TERMS AND CONDITIONS")
        endif()
        string(FIND "${_rest}" "${_header}" _start)
        string(SUBSTRING "${_rest}" ${_start} -1 _tail)
        set(_end -1)
        foreach(_marker IN LISTS _ends)
            string(FIND "${_tail}" "${_marker}" _end)
            if(NOT _end EQUAL -1)
                string(LENGTH "${_marker}" _length)
                math(EXPR _end "${_end} + ${_length}")
                break()
            endif()
        endforeach()
        if(_end EQUAL -1)
            break()
        endif()
        string(SUBSTRING "${_rest}" 0 ${_start} _before)
        string(APPEND _result "${_before}On Debian systems, the full text of ${_title} can be found in\n"
                              "/usr/share/common-licenses/${_name}.")
        string(SUBSTRING "${_tail}" ${_end} -1 _rest)
    endwhile()
    set(${out} "${_result}${_rest}" PARENT_SCOPE)
endfunction()

# ---- The components -------------------------------------------------------------
file(GLOB_RECURSE _manifests ${RESOURCE_DIR}/node_modules/package.json)
list(FILTER _manifests INCLUDE REGEX "/node_modules/(@[^/]+/)?[^/@][^/]*/package\\.json$")
list(SORT _manifests)
list(PREPEND _manifests ${RESOURCE_DIR}/repomix/package.json)

set(_groups "")
set(_runtime_entry "")
foreach(_manifest IN LISTS _manifests)
    get_filename_component(_dir ${_manifest} DIRECTORY)
    file(READ ${_manifest} _json)
    _json_string(_name "${_json}" name)
    _json_string(_version "${_json}" version)
    _manifest_license(_license "${_json}")
    _manifest_author(_author "${_json}")
    _license_text(_text ${_dir})
    if(NOT _text)
        set(_text "The package ships no licence file; its manifest names the licence ${_license}.")
    endif()
    file(RELATIVE_PATH _relative ${RESOURCE_DIR} ${_dir})

    if(_name MATCHES "^node-(linux|darwin|win)-")
        set(_runtime_entry "Node.js ${_version}")
        set(_runtime_license "${_license}")
        set(_runtime_text "${_text}")
        _refer_to_common_licenses(_own_part "${_text}") # not the copyright lines of licence texts
        _copyright_lines(_runtime_copyright "${_own_part}")
        continue()
    endif()

    string(SHA1 _key "${_license}\n${_text}")
    if(NOT DEFINED _group_${_key}_license)
        list(APPEND _groups ${_key})
        set(_group_${_key}_license "${_license}")
        set(_group_${_key}_text "${_text}")
        set(_group_${_key}_names "")
        set(_group_${_key}_files "")
        _refer_to_common_licenses(_own_part "${_text}")
        _copyright_lines(_group_${_key}_copyright "${_own_part}")
        if(NOT _group_${_key}_copyright)
            if(_author)
                set(_group_${_key}_copyright "${_author}")
            else()
                set(_group_${_key}_copyright "the authors of ${_name}")
            endif()
        endif()
    endif()
    list(APPEND _group_${_key}_names "${_name} ${_version}")
    list(APPEND _group_${_key}_files "${DATA_PATH}/${_relative}/*")
endforeach()
if(NOT _runtime_entry)
    # A runtime given by LUMBREL_NODE_RUNTIME comes without its package.
    message(WARNING "GenerateNotices: no manifest of the Node.js runtime in ${RESOURCE_DIR}/node_modules; "
                    "the notices name its licence without its text")
    set(_runtime_entry "Node.js")
    set(_runtime_license "MIT")
    set(_runtime_text "Node.js is licensed under the MIT licence; the full notice, with the licences of the \
libraries it contains, is the LICENSE file of the Node.js release this runtime was taken from.")
    set(_runtime_copyright "Node.js contributors")
endif()
list(LENGTH _manifests _package_count)
math(EXPR _package_count "${_package_count} - 2") # without the runtime and the packer

file(READ ${OWN_LICENSE} _own_text)
string(REPLACE ";" "${_semicolon}" _own_text "${_own_text}")
string(STRIP "${_own_text}" _own_text)
_copyright_lines(_own_copyright "${_own_text}")
list(JOIN _own_copyright "\n" _own_copyright)

# ---- Plain text: the third-party part, then the whole of notices.txt --------------
set(_rule "==============================")
set(_third_party "Lumbrel ships the Node.js runtime and the packer Repomix with the ${_package_count} \
packages it depends on. They come under their own licences, which follow.\n")
string(APPEND _third_party "\n${_rule}\n${_runtime_entry} (the runtime)\nLicence: ${_runtime_license}\n\n${_runtime_text}\n")
foreach(_key IN LISTS _groups)
    list(JOIN _group_${_key}_names ", " _names)
    string(APPEND _third_party "\n${_rule}\n${_names}\nLicence: ${_group_${_key}_license}\n\n${_group_${_key}_text}\n")
endforeach()
set(_notices "Lumbrel ${VERSION}\n\n${_own_text}\n\n${_third_party}")

# ---- Debian's machine-readable copyright file ------------------------------------
set(_copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Lumbrel
Upstream-Contact: ${CONTACT}
Comment: The Node.js runtime and the packer Repomix with its modules are
 shipped inside Lumbrel under their own licences, listed below. The list is
 made from the installed packages when Lumbrel is built.

Files: *
Copyright: ${_own_copyright}
License: proprietary\n")
_dep5_block(_block "${_own_text}")
string(APPEND _copyright " ${_block}\n")

list(JOIN _runtime_copyright "\n" _lines)
_dep5_block(_lines "${_lines}")
_refer_to_common_licenses(_block "${_runtime_text}")
_dep5_block(_block "${_block}")
string(APPEND _copyright "\nFiles: ${RUNTIME_PATH}\nCopyright: ${_lines}\nLicense: ${_runtime_license}\n ${_block}\nComment: ${_runtime_entry}\n")

foreach(_key IN LISTS _groups)
    list(JOIN _group_${_key}_files "\n " _files)
    list(JOIN _group_${_key}_copyright "\n" _lines)
    _dep5_block(_lines "${_lines}")
    _refer_to_common_licenses(_block "${_group_${_key}_text}")
    _dep5_block(_block "${_block}")
    list(JOIN _group_${_key}_names ", " _names)
    string(APPEND _copyright "\nFiles: ${_files}\nCopyright: ${_lines}\nLicense: ${_group_${_key}_license}\n ${_block}\nComment: ${_names}\n")
endforeach()

# ---- The same texts as JavaScript strings, for the About dialog -----------------
function(_javascript_string out text)
    string(REPLACE "\\" "\\\\" _text "${text}")
    string(REPLACE "\"" "\\\"" _text "${_text}")
    string(REPLACE "\t" "\\t" _text "${_text}")
    # One element per line: a chain of thousands of "+" is too deep for the engine.
    string(REPLACE "\n" "\",\n    \"" _text "${_text}")
    set(${out} "[\n    \"${_text}\"\n].join(\"\\n\")" PARENT_SCOPE)
endfunction()
_javascript_string(_license_js "${_own_text}")
_javascript_string(_notices_js "${_third_party}")
set(_script ".pragma library\n// Generated by packaging/GenerateNotices.cmake from the installed packages.\n\n")
string(APPEND _script "// Lumbrel's own licence.\nvar license = ${_license_js}\n\n")
string(APPEND _script "// The licences of the runtime and the packer's packages.\nvar notices = ${_notices_js}\n")

foreach(_variable _notices _copyright _script)
    string(REPLACE "${_semicolon}" ";" ${_variable} "${${_variable}}")
endforeach()

# Each file is written only when it changed, so that nothing is rebuilt for nothing.
function(_write_if_changed path content)
    if(EXISTS ${path})
        file(READ ${path} _old)
        if(_old STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE ${path} "${content}")
endfunction()
file(MAKE_DIRECTORY ${OUTPUT_DIR})
_write_if_changed(${OUTPUT_DIR}/notices.txt "${_notices}")
_write_if_changed(${OUTPUT_DIR}/copyright "${_copyright}")
_write_if_changed(${OUTPUT_DIR}/ThirdPartyNotices.js "${_script}")
