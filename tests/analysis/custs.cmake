# Workbooks, the Item Analyzer export and the customers not buying.
corvina_add_test(analysis_custs_test
  ${CMAKE_CURRENT_LIST_DIR}/WorkbookTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemAgingExportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustsNotBuyingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxRead.cpp)
corvina_add_test(analysis_custs_ui_test GUI
  ${CMAKE_CURRENT_LIST_DIR}/ui/ExportCritTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/CustsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxRead.cpp
  LIBS Qt6::Test)
