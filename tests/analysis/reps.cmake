# The reps-not-selling list and its window.
corvina_add_test(analysis_reps_test ${CMAKE_CURRENT_LIST_DIR}/RepsNotSellingTest.cpp)
corvina_add_test(analysis_reps_window_test GUI ${CMAKE_CURRENT_LIST_DIR}/RepsWindowTest.cpp LIBS Qt6::Test)
