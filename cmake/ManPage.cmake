# cmake -DTOOL=... -DHELP2MAN=... -DGZIP=... -DVERSION=... -DOUT=.../ecc-crypt.1.gz -P ManPage.cmake
# The tool's manual page, made by help2man from its --help, with a COMMANDS section that holds
# each command's own --help; compressed with gzip -9n, so that the same input gives the same file.
get_filename_component(page "${OUT}" NAME_WLE)
get_filename_component(dir "${OUT}" DIRECTORY)
set(include "[COMMANDS]\n")
foreach(command keygen encrypt decrypt)
  execute_process(COMMAND "${TOOL}" ${command} --help
    OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ecc-crypt ${command} --help failed (${rc}): no manual page")
  endif()
  # Backslashes and hyphens as roff wants them, so that the options read as typed.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(APPEND include ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE "${dir}/${page}.include" "${include}")
execute_process(COMMAND "${HELP2MAN}" --no-info --version-string=${VERSION}
    "--name=public-key encryption of files on the P-256 curve (ECIES)"
    "--include=${dir}/${page}.include" "--output=${dir}/${page}" "${TOOL}"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed (${rc}) on ${TOOL}: no manual page")
endif()
execute_process(COMMAND "${GZIP}" -9nf "${dir}/${page}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed (${rc}) on ${dir}/${page}")
endif()
