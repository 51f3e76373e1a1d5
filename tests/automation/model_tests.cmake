# The object model's tests: its own rules, and its members driven through
# IDispatch as a script engine calls them.
tidemark_add_test(automation_model_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_rules_test.cpp ${CMAKE_CURRENT_LIST_DIR}/model_dispatch_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/model_edge_test.cpp
  LIBS tidemark_automation tidemark_effects_env tidemark_file_kinds_env)
