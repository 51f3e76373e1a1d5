# The file-writer objects driven through IDispatch.
tidemark_add_test(automation_writer_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/writer_dispatch_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/writer_ffmpeg_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)
# The FFmpeg writers from a script, their tags read back by mutagen.
add_test(NAME Automation.ScriptWriters
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/script_writers_test.py)
set_tests_properties(Automation.ScriptWriters PROPERTIES
  ENVIRONMENT "TIDEMARK_SCRIPT=$<TARGET_FILE:tidemark-script>")

# The file writers given bad input: wrong types, detached and foreign
# sources, unwritable names, full disks, missing encoder libraries.
tidemark_add_test(automation_writer_bad_input_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/writer_bad_input_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)
