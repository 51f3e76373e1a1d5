# The file-writer objects driven through IDispatch.
tidemark_add_test(automation_writer_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/writer_dispatch_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)

# The file writers given bad input: wrong types, detached and foreign
# sources, unwritable names, full disks, missing encoder libraries.
tidemark_add_test(automation_writer_bad_input_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/writer_bad_input_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)
