# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# aq_gzip(<out-var> <built-file>...): compresses built files with gzip -9n, the form Debian
# wants for manual pages and change logs (-n: no name or time stamp inside, so equal input
# gives an equal package). <out-var> receives the files to install: the .gz files, or the
# files themselves where gzip is missing.
function(aq_gzip out)
  find_program(AQ_GZIP gzip)
  set(result)
  foreach(file ${ARGN})
    if(AQ_GZIP)
      add_custom_command(OUTPUT ${file}.gz
        COMMAND ${AQ_GZIP} -9nc ${file} > ${file}.gz
        DEPENDS ${file})
      list(APPEND result ${file}.gz)
    else()
      list(APPEND result ${file})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
