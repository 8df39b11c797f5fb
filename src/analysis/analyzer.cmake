target_sources(corvina_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ItemTypeStore.cpp ${CMAKE_CURRENT_LIST_DIR}/ItemAging.cpp)
target_sources(corvina_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ui/ItemTypes.cpp)
