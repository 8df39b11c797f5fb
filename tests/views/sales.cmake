corvina_add_test(views_custsales_test ${CMAKE_CURRENT_LIST_DIR}/CustSalesTest.cpp)
corvina_add_test(views_datareport4_test GUI ${CMAKE_CURRENT_LIST_DIR}/DataReport4Test.cpp)
