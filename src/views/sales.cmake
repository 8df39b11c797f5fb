target_sources(corvina_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CustSales.cpp ${CMAKE_CURRENT_LIST_DIR}/CustSalesReport.cpp)
target_sources(corvina_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ui/DataReport4.cpp)
