# The reps-not-selling list, the grid model of both lists, the report, and the Reps window.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RepsNotSelling.cpp ${CMAKE_CURRENT_LIST_DIR}/RecordsetGridModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RepsReport.cpp)
target_sources(corvina_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ui/Reps.cpp)
