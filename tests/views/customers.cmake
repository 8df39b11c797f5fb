# The customer browser and the customer field printing.
corvina_add_test(views_customers_test
  ${CMAKE_CURRENT_LIST_DIR}/CustomerBrowserTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FieldPrintTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustomerTestRows.cpp
  LIBS Qt6::Test)
corvina_add_test(views_customers_ui_test GUI
  ${CMAKE_CURRENT_LIST_DIR}/ui/CustDataTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/CustFldsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustomerTestRows.cpp
  LIBS Qt6::Test)
