corvina_add_test(analysis_itemaging_test ${CMAKE_CURRENT_LIST_DIR}/ItemAgingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemMonthlySalesTest.cpp)
corvina_add_test(analysis_itemaging_window_test GUI ${CMAKE_CURRENT_LIST_DIR}/ItemAgingWindowTest.cpp LIBS Qt6::Test)
