# Item-type exclusion, the Item Analyzer data (the build, the kind clause, the line grouping
# and its tables, the two-thread reader, the name order, the rows, the procedure), its grid
# and report, and its windows. Headers with Q_OBJECT are listed so that moc sees them.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ItemTypeStore.cpp ${CMAKE_CURRENT_LIST_DIR}/ItemAging.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemKindClause.cpp ${CMAKE_CURRENT_LIST_DIR}/LineGroups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineReader.cpp ${CMAKE_CURRENT_LIST_DIR}/CustomerOrder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemAgingRows.cpp ${CMAKE_CURRENT_LIST_DIR}/ItemAgingProcedure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemAgingGrid.h ${CMAKE_CURRENT_LIST_DIR}/ItemAgingGrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ItemAgingReport.cpp)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/ItemTypes.h ${CMAKE_CURRENT_LIST_DIR}/ui/ItemTypes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/ItemAging.h ${CMAKE_CURRENT_LIST_DIR}/ui/ItemAging.cpp)
