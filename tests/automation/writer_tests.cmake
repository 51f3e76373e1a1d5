# The file-writer objects driven through IDispatch.
tidemark_add_test(automation_writer_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/writer_dispatch_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/writer_ffmpeg_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)
