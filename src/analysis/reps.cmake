# The reps-not-selling list, its grid and report, and the Reps window.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RepsNotSelling.cpp ${CMAKE_CURRENT_LIST_DIR}/RepsGridModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RepsReport.cpp)
target_sources(corvina_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ui/Reps.cpp)
