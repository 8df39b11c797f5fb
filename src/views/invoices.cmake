# Invoice browser: the paged invoice list and totals (core), the InvoiceData window (gui).
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceOrder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceTotals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvoiceList.cpp)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/InvoiceData.cpp)
