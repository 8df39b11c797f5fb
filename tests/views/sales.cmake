corvina_add_test(views_custsales_test ${CMAKE_CURRENT_LIST_DIR}/CustSalesTest.cpp)
