corvina_add_test(views_invoice_tests
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceListTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceTotalsTest.cpp
  LIBS Qt6::Test)
corvina_add_test(views_invoice_ui_tests GUI
  ${CMAKE_CURRENT_LIST_DIR}/ui/InvoiceDataTest.cpp
  LIBS Qt6::Test)
