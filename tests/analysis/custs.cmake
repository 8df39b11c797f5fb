# Workbooks, the Item Analyzer export and the customers not buying.
corvina_add_test(analysis_custs_test
  ${CMAKE_CURRENT_LIST_DIR}/WorkbookTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxRead.cpp)
