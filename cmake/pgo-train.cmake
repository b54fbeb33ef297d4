# Runs the instrumented tavoc (TAVOC) on the training programs, leaving its
# counts in PROFILE: every golden case and example, each compiled in a copy
# under WORK, and the typical, limits and bucket benchmark shapes when PYTHON
# is given. Touches STAMP when done.
file(REMOVE_RECURSE ${PROFILE} ${WORK})
file(GLOB_RECURSE programs ${SOURCE_DIR}/tests/golden/*/o.src ${SOURCE_DIR}/examples/*/o.src)
list(SORT programs)
set(n 0)
foreach(program IN LISTS programs)
  get_filename_component(dir ${program} DIRECTORY)
  math(EXPR n "${n} + 1")
  file(COPY ${dir}/ DESTINATION ${WORK}/${n} PATTERN expected EXCLUDE)
  execute_process(COMMAND ${TAVOC} ${WORK}/${n} OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
endforeach()
if(PYTHON)
  foreach(shape typical limits bucket)
    execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/bench/gen.py ${shape} ${WORK}/${shape}
                    RESULT_VARIABLE failed OUTPUT_QUIET TIMEOUT 60)
    if(NOT failed)
      execute_process(COMMAND ${TAVOC} ${WORK}/${shape} OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
    endif()
  endforeach()
endif()
file(TOUCH ${STAMP})
