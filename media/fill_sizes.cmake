# Writes the medium's setup.inf from its template (run with cmake -P):
#   -DTEMPLATE=<template setup.inf> -DMEDIUM=<medium folder> -DOUTPUT=<setup.inf to write>
# Every token @SIZE:<name>@ becomes the size in bytes of the file <name> in the
# medium; @DSTTOTAL@ and @SYSTOTAL@ become the sums of the size fields of the
# [files] entries of kind 1 (destination folder) and of every other kind
# (system folder). setup.inf lists itself, so its own size is found by
# rendering again until the text keeps its length.
#
# The template is CP932 text with CR LF line ends. It is handled as a byte
# string and never as a CMake list (the second byte of a double-byte
# character can be '[', ']' or '\'), so only the ASCII tokens change.

foreach(var TEMPLATE MEDIUM OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "fill_sizes.cmake: -D${var}=... is missing")
    endif()
endforeach()

# file(READ) hands over the text with each CR LF turned into LF; the template
# must be pure CR LF text (no lone CR or LF) so that putting the CRs back
# gives its bytes exactly.
file(READ "${TEMPLATE}" template)
file(READ "${TEMPLATE}" template_hex HEX)
string(LENGTH "${template_hex}" template_bytes)
math(EXPR template_bytes "${template_bytes} / 2")
string(LENGTH "${template}" text_length)
string(REGEX MATCHALL "\n" line_feeds "${template}")
list(LENGTH line_feeds line_count)
math(EXPR expected_bytes "${text_length} + ${line_count}")
if(template MATCHES "\r" OR NOT template_bytes EQUAL expected_bytes)
    message(FATAL_ERROR "fill_sizes.cmake: ${TEMPLATE} is not CR LF text throughout")
endif()
string(REPLACE "\n" "\r\n" template "${template}")
get_filename_component(output_name "${OUTPUT}" NAME)

# Sizes of the files that the tokens name (except setup.inf itself).
string(REGEX MATCHALL "@SIZE:[A-Za-z0-9_.~-]+@" size_tokens "${template}")
list(REMOVE_DUPLICATES size_tokens)
foreach(token IN LISTS size_tokens)
    string(REGEX REPLACE "^@SIZE:(.*)@$" "\\1" name "${token}")
    if(NOT name STREQUAL output_name)
        if(NOT EXISTS "${MEDIUM}/${name}")
            message(FATAL_ERROR "fill_sizes.cmake: ${name} is not in ${MEDIUM}")
        endif()
        file(SIZE "${MEDIUM}/${name}" size_${name})
    endif()
endforeach()
string(REGEX MATCH "@SIZE:[^@\r\n]*[^A-Za-z0-9_.~@-][^@\r\n]*@" odd_token "${template}")
if(odd_token)
    message(FATAL_ERROR "fill_sizes.cmake: unusable file name in ${odd_token}")
endif()

# The [files] section of the template: from its header to the next header.
string(FIND "${template}" "\r\n[files]\r\n" files_start)
if(files_start EQUAL -1)
    message(FATAL_ERROR "fill_sizes.cmake: no [files] section in ${TEMPLATE}")
endif()
math(EXPR files_start "${files_start} + 11")
string(SUBSTRING "${template}" ${files_start} -1 files_section)
string(FIND "${files_section}" "\r\n[" files_end)
if(NOT files_end EQUAL -1)
    string(SUBSTRING "${files_section}" 0 ${files_end} files_section)
endif()

# Replaces the size tokens in `text` (setup.inf counted as `inf_size` bytes)
# and the two totals; the result goes to `result`.
function(render text inf_size result)
    set(size_${output_name} ${inf_size})
    set(dst_total 0)
    set(sys_total 0)
    # Walk the lines of the [files] section: file_N=source,target,label,kind,size
    # (a run of commas is one separator, leading commas are skipped).
    set(rest "${files_section}\r\n")
    while(NOT rest STREQUAL "")
        string(FIND "${rest}" "\r\n" line_end)
        string(SUBSTRING "${rest}" 0 ${line_end} line)
        math(EXPR line_end "${line_end} + 2")
        string(SUBSTRING "${rest}" ${line_end} -1 rest)
        if(line MATCHES "^file_[0-9]+=")
            if(NOT line MATCHES "^file_[0-9]+=,*[^,]+,+[^,]+,+[^,]+,+([^,]+),+([^,]+)")
                message(FATAL_ERROR "fill_sizes.cmake: fewer than five fields: ${line}")
            endif()
            set(kind "${CMAKE_MATCH_1}")
            set(size_field "${CMAKE_MATCH_2}")
            if(size_field MATCHES "^@SIZE:(.+)@$")
                set(size "${size_${CMAKE_MATCH_1}}")
            elseif(size_field MATCHES "^ *([0-9]+)")
                set(size "${CMAKE_MATCH_1}")
            else()
                message(FATAL_ERROR "fill_sizes.cmake: no size in ${line}")
            endif()
            if(kind MATCHES "^[ \t]*[+]?0*1([^0-9].*)?$")
                math(EXPR dst_total "${dst_total} + ${size}")
            else()
                math(EXPR sys_total "${sys_total} + ${size}")
            endif()
        endif()
    endwhile()
    foreach(token IN LISTS size_tokens)
        string(REGEX REPLACE "^@SIZE:(.*)@$" "\\1" name "${token}")
        string(REPLACE "${token}" "${size_${name}}" text "${text}")
    endforeach()
    string(REPLACE "@DSTTOTAL@" "${dst_total}" text "${text}")
    string(REPLACE "@SYSTOTAL@" "${sys_total}" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

string(LENGTH "${template}" inf_size)
foreach(round RANGE 1 8)
    render("${template}" ${inf_size} rendered)
    string(LENGTH "${rendered}" rendered_size)
    if(rendered_size EQUAL inf_size)
        break()
    endif()
    set(inf_size ${rendered_size})
endforeach()
if(NOT rendered_size EQUAL inf_size)
    message(FATAL_ERROR "fill_sizes.cmake: the size of ${output_name} does not settle "
        "(a size field crosses a power of ten); add or remove a byte of text in ${TEMPLATE}")
endif()
if(rendered MATCHES "@(SIZE:[^@]*|DSTTOTAL|SYSTOTAL)@")
    message(FATAL_ERROR "fill_sizes.cmake: token left in ${OUTPUT}: ${CMAKE_MATCH_0}")
endif()
file(WRITE "${OUTPUT}" "${rendered}")
