target_sources(corvina_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CustSales.cpp)
