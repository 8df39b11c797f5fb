corvina_add_test(analysis_itemaging_test ${CMAKE_CURRENT_LIST_DIR}/ItemAgingTest.cpp)
